// The shell around the board: menus and keys from both windows, the question
// before unsaved changes would be lost, the board's keys, the values of a swatch,
// and the picture window's zoom, clicks and blinking.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <filesystem>
#include <map>

#include "formats/picture_io.h"
#include "formats/png.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 240; ++k) pixels_.push_back(static_cast<uint8_t>((k * 7 + k / 24) % 40));
    WritePicture(path_, 24, 10, pixels_, DistinctPalette());
    rig_.LoadPicture(path_);
    ASSERT_TRUE(rig_.editor.PictureLoaded());
    rig_.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig_.form));
  }
  PictureWindow* Pic() { return rig_.form.picture_window(); }
  PictureView* Box() { return Pic()->View(); }
  QAction* Action(const char* name) { return rig_.form.Action(name); }
  void Change() { rig_.Drop(5, 9); }

  TempDir dir_;
  std::string path_ = dir_.File("sample.pcx");
  Bytes pixels_;
  FormRig rig_;
};

TEST_F(Shell, MenusHoldEveryCommandOnce) {
  std::map<QString, int> seen;
  QStringList menus;
  for (QAction* top : rig_.form.menuBar()->actions()) {
    menus << top->text();
    for (QAction* a : top->menu()->actions()) {
      if (!a->isSeparator()) ++seen[a->objectName()];
    }
  }
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Help"}));
  for (const char* name : {"actionLoadPic",
                           "actionSave",
                           "actionSavePic",
                           "actionLoadPalette",
                           "actionSavePalette",
                           "actionQuit",
                           "actionUndo",
                           "actionRedo",
                           "actionSort",
                           "actionReverseRange",
                           "actionSpreadRGB",
                           "actionSpreadHSV",
                           "actionSpreadHSVReverse",
                           "actionPictureWindow",
                           "actionZoomIn",
                           "actionZoomOut",
                           "actionZoom1",
                           "actionZoomFit",
                           "actionFlip",
                           "actionMarkUnused",
                           "actionBlink",
                           "actionKeys",
                           "actionAbout"}) {
    EXPECT_EQ(seen[name], 1) << name;
  }
  EXPECT_EQ(rig_.Find<QAbstractButton>("ButtonSave")->text(), "Save Pic...");
}

// Every key fires its action exactly once, and no other action, from either window.
TEST_F(Shell, EachKeyFiresItsActionOnceFromEitherWindow) {
  std::map<QString, int> fired;
  for (QAction* a : rig_.form.actions()) {
    QObject::connect(a, &QAction::triggered, [&fired, a] { ++fired[a->objectName()]; });
  }
  const struct {
    QKeyCombination keys;
    const char* action;
  } keys[] = {
      {Qt::CTRL | Qt::Key_O, "actionLoadPic"},
      {Qt::CTRL | Qt::Key_S, "actionSave"},
      {Qt::CTRL | Qt::SHIFT | Qt::Key_S, "actionSavePic"},
      {Qt::CTRL | Qt::Key_Z, "actionUndo"},
      {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "actionRedo"},
      {Qt::CTRL | Qt::Key_Y, "actionRedo"},
      {Qt::CTRL | Qt::Key_Q, "actionQuit"},
      {Qt::Key_F1, "actionKeys"},
      {Qt::Key_Plus, "actionZoomIn"},
      {Qt::Key_Minus, "actionZoomOut"},
      {Qt::CTRL | Qt::Key_1, "actionZoom1"},
      {Qt::CTRL | Qt::Key_0, "actionZoomFit"},
  };
  for (QWidget* window : {static_cast<QWidget*>(&rig_.form), static_cast<QWidget*>(Pic())}) {
    for (const auto& k : keys) {
      SCOPED_TRACE(std::string(k.action) + " in " + window->objectName().toStdString());
      // Unsaved changes: Ctrl+O and Ctrl+Q ask, and the fake answers Cancel.
      if (!rig_.editor.Modified()) Change();
      const bool history = k.keys.key() == Qt::Key_Z || k.keys.key() == Qt::Key_Y;
      // Something to redo for the redo keys.
      if (history && std::string(k.action) == "actionRedo") rig_.Click("ButtonUndo");
      fired.clear();
      const Palette before = rig_.BoardColours();
      rig_.PressIn(window, k.keys);
      EXPECT_EQ(fired, (std::map<QString, int>{{k.action, 1}}));
      if (history) {
        EXPECT_NE(rig_.BoardColours(), before);  // the key undid or redid the drop
      }
    }
  }
  EXPECT_TRUE(rig_.form.isVisible());  // Ctrl+Q was cancelled
  EXPECT_EQ(rig_.question.asked, 4);   // Ctrl+O and Ctrl+Q, from each window
  EXPECT_TRUE(rig_.Find("KeysPage")->isVisible());
}

TEST_F(Shell, TitleNamesThePictureAndShowsUnsavedChanges) {
  EXPECT_EQ(rig_.form.windowTitle(), "sample.pcx[*] - Huewright ver 1.0");
  EXPECT_FALSE(rig_.form.isWindowModified());
  Change();
  EXPECT_TRUE(rig_.form.isWindowModified());
  rig_.Click("ButtonUndo");
  EXPECT_FALSE(rig_.form.isWindowModified());  // back where the file is
  rig_.Click("ButtonRedo");
  // Ctrl+S writes the loaded file in its own format without a dialog.
  Action("actionSave")->trigger();
  EXPECT_FALSE(rig_.form.isWindowModified());
  EXPECT_EQ(rig_.files.kinds.size(), 1u);  // only the load asked for a file
  auto saved = LoadPictureFile(path_);
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(saved->pixels, rig_.editor.Pixels());
  EXPECT_EQ(Pic()->windowTitle(), QString::fromStdString(path_) + ":  24 x  10");
}

// After "Save Pic As..." the title, Ctrl+S and the unsaved-changes question follow
// the new file; a save that would lose alpha asks, and its Cancel cancels the quit.
TEST_F(Shell, SaveAsMovesThePictureToTheNewFile) {
  const Bytes original = ReadBytes(path_);
  Change();
  const std::string copy = dir_.File("copy.png");
  rig_.files.saves.push_back(copy);
  Action("actionSavePic")->trigger();
  EXPECT_EQ(rig_.form.windowTitle(), "copy.png[*] - Huewright ver 1.0");
  EXPECT_FALSE(rig_.form.isWindowModified());
  Change();
  Action("actionSave")->trigger();
  auto saved = DecodeIndexedPng(ReadBytes(copy));
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(saved->pixels, rig_.editor.Pixels());
  EXPECT_EQ(ReadBytes(path_), original);

  BoardEntries entries{};
  entries[1].A = 100;
  auto png = EncodeIndexedPng(2, 1, Bytes{0, 1}, entries);
  ASSERT_TRUE(png.ok());
  WriteBytes(dir_.File("clear.png"), *png);
  rig_.LoadPicture(dir_.File("clear.png"));
  rig_.files.saves.push_back(dir_.File("clear.pcx"));
  rig_.loss.answers = {true, false};
  Action("actionSavePic")->trigger();
  EXPECT_EQ(rig_.form.windowTitle(), "clear.pcx[*] - Huewright ver 1.0");
  rig_.Drop(3, 0);
  rig_.question.answers = {SaveAnswer::Save};
  rig_.Click("ButtonQuit");
  EXPECT_EQ(rig_.loss.asked, (std::vector<std::string>(
                                 2, dir_.File("clear.pcx") +
                                        ": the alpha of 1 entry: a PCX file has no transparency")));
  EXPECT_TRUE(rig_.form.isVisible());
  EXPECT_TRUE(rig_.form.isWindowModified());
}

// Quit, closing the window and "Load Pic..." with unsaved changes ask first.
TEST_F(Shell, UnsavedChangesAreSavedDiscardedOrKeptAsAnswered) {
  const std::string other = dir_.File("other.pcx");
  WritePicture(other, 4, 4, Bytes(16, 1), DistinctPalette(2));
  enum Way { kQuit, kClose, kLoad };
  const struct {
    Way way;
    SaveAnswer answer;
    bool save_fails;
  } cases[] = {
      {kQuit, SaveAnswer::Cancel, false},  {kQuit, SaveAnswer::Discard, false},
      {kQuit, SaveAnswer::Save, false},    {kQuit, SaveAnswer::Save, true},
      {kClose, SaveAnswer::Cancel, false}, {kClose, SaveAnswer::Discard, false},
      {kClose, SaveAnswer::Save, true},    {kLoad, SaveAnswer::Cancel, false},
      {kLoad, SaveAnswer::Discard, false}, {kLoad, SaveAnswer::Save, false},
      {kLoad, SaveAnswer::Save, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "way " << c.way << " answer " << int(c.answer)
                                      << (c.save_fails ? " failing" : ""));
    FormRig rig;
    TempDir dir;
    const std::string path = dir.File("p.pcx");
    WritePicture(path, 24, 10, pixels_, DistinctPalette());
    rig.LoadPicture(path);
    rig.form.show();
    rig.Drop(5, 9);
    const Bytes changed = rig.editor.Pixels();
    // Where a directory stands in for the file, every save fails.
    if (c.save_fails) {
      std::filesystem::remove(path);
      std::filesystem::create_directory(path);
    }
    rig.question.answers = {c.answer};
    rig.files.opens.push_back(other);
    if (c.way == kQuit) rig.Click("ButtonQuit");
    if (c.way == kClose) rig.form.close();
    if (c.way == kLoad) rig.Click("ButtonLoad");

    EXPECT_EQ(rig.question.asked, 1);
    EXPECT_EQ(rig.question.file, "p.pcx");
    const bool kept = c.answer == SaveAnswer::Cancel || c.save_fails;
    EXPECT_EQ(rig.errors.messages.size(), c.save_fails ? 1u : 0u);
    if (kept) {
      EXPECT_TRUE(rig.form.isVisible());
      EXPECT_TRUE(rig.editor.Modified());
      EXPECT_EQ(rig.editor.Pixels(), changed);
      EXPECT_EQ(rig.editor.PictureWidth(), 24);
      continue;
    }
    if (c.answer == SaveAnswer::Save) {
      auto saved = LoadPictureFile(path);
      ASSERT_TRUE(saved.ok());
      EXPECT_EQ(saved->pixels, changed);
    }
    if (c.way == kLoad) {
      EXPECT_EQ(rig.editor.PictureWidth(), 4);
      EXPECT_TRUE(rig.form.isVisible());
    } else {
      EXPECT_FALSE(rig.form.isVisible());
    }
  }
}

TEST_F(Shell, ArrowKeysFollowTheScreenInBothOrientations) {
  const struct {
    bool flipped;
    int from;
    QKeyCombination keys;
    int prev, cur;
  } cases[] = {
      // Column-major: position n in column n / 16, row n % 16.
      {false, 17, Qt::Key_Right, 33, 33},
      {false, 17, Qt::Key_Left, 1, 1},
      {false, 17, Qt::Key_Down, 18, 18},
      {false, 17, Qt::Key_Up, 16, 16},
      {false, 15, Qt::Key_Down, 15, 15},  // the board's edge
      {false, 240, Qt::Key_Right, 240, 240},
      {false, 17, Qt::SHIFT | Qt::Key_Right, 17, 33},
      // Row-major: position n in row n / 16, column n % 16.
      {true, 17, Qt::Key_Right, 18, 18},
      {true, 17, Qt::Key_Down, 33, 33},
      {true, 17, Qt::Key_Up, 1, 1},
      {true, 16, Qt::Key_Left, 16, 16},
      {true, 17, Qt::SHIFT | Qt::Key_Down, 17, 33},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << (c.flipped ? "flipped " : "") << c.from << " key " << c.keys.toCombined());
    if (rig_.editor.Flipped() != c.flipped) rig_.Click("CommanFlip");
    rig_.Drop(c.from, c.from);  // two clicks: both marks there
    rig_.Drop(c.from, c.from);
    QTest::keyClick(rig_.form.Surface(), c.keys.key(), c.keys.keyboardModifiers());
    EXPECT_EQ(std::tuple(int{rig_.editor.Board().prev}, int{rig_.editor.Board().cur}),
              std::tuple(c.prev, c.cur));
  }
  // Two Shift+arrows from 17 set a range of three; Enter edits the current entry.
  rig_.Drop(17, 17);
  rig_.Drop(17, 17);
  for (int i = 0; i < 2; ++i)
    QTest::keyClick(rig_.form.Surface(), Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(std::tuple(int{rig_.editor.Board().prev}, int{rig_.editor.Board().cur}),
            std::tuple(17, 19));
  rig_.colours.answer = PackRGB(RGBTriple{1, 2, 3});
  QTest::keyClick(rig_.form.Surface(), Qt::Key_Return);
  EXPECT_EQ(rig_.editor.Board().entries[19].rgb, (RGBTriple{1, 2, 3}));
  EXPECT_EQ(std::tuple(int{rig_.editor.Board().prev}, int{rig_.editor.Board().cur}),
            std::tuple(17, 19));
}

TEST_F(Shell, SwatchValuesRangeAndUnusedEntriesShow) {
  const uint32_t used = rig_.editor.Usage()[7];
  ASSERT_GT(used, 1u);
  const RGBTriple c = rig_.editor.Board().entries[7].rgb;
  const QString values = QString::asprintf("Index 7   RGB %d, %d, %d   #%02x%02x%02x   used by ",
                                           c.R, c.G, c.B, c.R, c.G, c.B) +
                         QString::number(used) + " pixels";
  EXPECT_EQ(rig_.form.SwatchValues(7), values);
  EXPECT_TRUE(rig_.form.SwatchValues(200).endsWith("unused"));
  // Hovering shows the hovered swatch; leaving shows the selected one again.
  auto* label = rig_.Find<QLabel>("LabelValues");
  rig_.Drop(30, 30);
  EXPECT_TRUE(label->text().startsWith("Index 30 "));
  QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
  QApplication::sendEvent(rig_.form.Swatch(7), &enter);
  EXPECT_EQ(label->text(), values);
  QHelpEvent tip(QEvent::ToolTip, QPoint(3, 3), rig_.form.Swatch(7)->mapToGlobal(QPoint(3, 3)));
  QApplication::sendEvent(rig_.form.Swatch(7), &tip);
  EXPECT_EQ(QToolTip::text(), values);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(rig_.form.Swatch(7), &leave);
  EXPECT_TRUE(label->text().startsWith("Index 30 "));
  EXPECT_EQ(rig_.Find<QLabel>("Label1")->text(), QString::fromStdString(path_) + ":  24 x  10");

  // The swatches between the marks, in board order, are framed in the highlight colour.
  rig_.Drop(10, 10);
  rig_.Drop(20, 20);
  const QRgb highlight = rig_.form.Surface()->palette().color(QPalette::Highlight).rgb();
  for (int i : {9, 10, 15, 20, 21}) {
    EXPECT_EQ(rig_.form.Swatch(i)->grab().toImage().pixel(0, 0) == highlight, i >= 10 && i <= 20)
        << i;
  }
  // Unused entries are struck through once the toggle is on.
  const auto stroke = [&](int i) {
    const QImage img = rig_.form.Swatch(i)->grab().toImage();
    return img.pixel(3, 3) != img.pixel(3, img.height() - 4);
  };
  EXPECT_FALSE(stroke(200));
  Action("actionMarkUnused")->trigger();
  EXPECT_TRUE(stroke(200));
  EXPECT_FALSE(stroke(7));
}

TEST(Zoom, StepsAreWholeAndFitPicksTheLargestThatFits) {
  const struct {
    int from, in, out;
  } steps[] = {{1, 2, -2},
               {2, 3, 1},
               {-2, 1, -3},
               {-3, -2, -4},
               {kMaxZoom, kMaxZoom, kMaxZoom - 1},
               {-kMaxShrink, -kMaxShrink + 1, -kMaxShrink}};
  for (const auto& s : steps) {
    EXPECT_EQ(ZoomIn(s.from), s.in) << s.from;
    EXPECT_EQ(ZoomOut(s.from), s.out) << s.from;
  }
  const struct {
    QSize picture, room;
    int zoom;
  } fits[] = {
      {{24, 10}, {100, 100}, 4},    {{100, 100}, {100, 100}, 1},   {{101, 50}, {100, 100}, -2},
      {{500, 300}, {296, 197}, -2}, {{1000, 10}, {100, 100}, -10}, {{1, 1}, {500, 500}, kMaxZoom},
  };
  for (const auto& f : fits) EXPECT_EQ(FitZoom(f.picture, f.room), f.zoom) << f.picture.width();
  EXPECT_EQ(ZoomText(3), "3:1");
  EXPECT_EQ(ZoomText(-4), "1:4");
}

TEST_F(Shell, PictureZoomsNearestNeighbourAndAClickSelectsThePixelsEntry) {
  for (int zoom : {3, 1, -2}) {
    SCOPED_TRACE(zoom);
    Pic()->SetZoom(zoom);
    const int up = zoom >= 1 ? zoom : 1, down = zoom >= 1 ? 1 : -zoom;
    EXPECT_EQ(Box()->size(), QSize((24 * up + down - 1) / down, (10 * up + down - 1) / down));
    const QImage shown = Box()->grab().toImage();
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFF,
                  Box()->ShownColour(x * down / up, y * down / up) & 0xFFFFFF)
            << x << "," << y;
      }
    }
    // A click on the cell of pixel (14, 6) selects the entry it uses.
    const QPoint at(14 * up / down + up / 2, 6 * up / down + up / 2);
    rig_.SendMouse(Box(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    rig_.SendMouse(Box(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(rig_.editor.Board().cur, rig_.editor.Pixels()[6 * 24 + 14]);
  }
  EXPECT_EQ(rig_.Find<QLabel>("LabelZoom")->text(), "Zoom 1:2");
  // Fit: the largest step at which the picture fits the window, margins included.
  Pic()->resize(300, 200);
  QCoreApplication::processEvents();
  Action("actionZoomFit")->trigger();
  EXPECT_EQ(Pic()->Zoom(), 11);  // 24 x 10 in 284 x 184
  Action("actionZoomOut")->trigger();
  Action("actionZoom1")->trigger();
  EXPECT_EQ(Pic()->Zoom(), 1);
}

TEST_F(Shell, LargePictureScrollsAndPansAndCtrlWheelZooms) {
  WritePicture(dir_.File("wide.pcx"), 500, 300, Bytes(500 * 300, 3), DistinctPalette());
  rig_.LoadPicture(dir_.File("wide.pcx"));
  EXPECT_EQ(Pic()->size(), QSize(312, 213));  // the window keeps its size
  EXPECT_EQ(Box()->size(), QSize(500, 300));
  QScrollBar* h = Pic()->ScrollArea()->horizontalScrollBar();
  QScrollBar* v = Pic()->ScrollArea()->verticalScrollBar();
  EXPECT_GT(h->maximum(), 0);
  EXPECT_GT(v->maximum(), 0);
  // A middle drag pans; the board's marks stay.
  const int cur = rig_.editor.Board().cur;
  rig_.SendMouse(Box(), QEvent::MouseButtonPress, QPoint(100, 100), Qt::MiddleButton,
                 Qt::MiddleButton);
  rig_.SendMouse(Box(), QEvent::MouseMove, QPoint(60, 70), Qt::NoButton, Qt::MiddleButton);
  rig_.SendMouse(Box(), QEvent::MouseButtonRelease, QPoint(60, 70), Qt::MiddleButton, Qt::NoButton);
  EXPECT_EQ(std::tuple(h->value(), v->value()), std::tuple(40, 30));
  EXPECT_EQ(rig_.editor.Board().cur, cur);
  // Ctrl+wheel zooms one step, keeping the point under the pointer.
  QWidget* viewport = Pic()->ScrollArea()->viewport();
  const QPoint pointer(50, 50);
  QWheelEvent wheel(pointer, viewport->mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewport, &wheel);
  EXPECT_EQ(Pic()->Zoom(), 2);
  EXPECT_EQ(Box()->PixelAt(Box()->mapFrom(viewport, pointer)), QPoint(82, 72));
}

TEST_F(Shell, BlinkingIsAPreviewAndTheClosedPictureWindowComesBack) {
  const Bytes pixels = rig_.editor.Pixels();
  const Palette board = rig_.BoardColours();
  Action("actionBlink")->trigger();
  QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
  QApplication::sendEvent(rig_.form.Swatch(7), &enter);
  EXPECT_EQ(Box()->BlinkIndex(), 7);
  const QImage lit = Box()->grab().toImage();
  int blinking = 0;
  for (int k = 0; k < 240; ++k) {
    const bool uses = pixels[static_cast<size_t>(k)] == 7;
    const bool differs =
        (lit.pixel(k % 24, k / 24) & 0xFFFFFF) != (Box()->ShownColour(k % 24, k / 24) & 0xFFFFFF);
    EXPECT_EQ(differs, uses) << k;
    blinking += differs;
  }
  EXPECT_GT(blinking, 0);
  EXPECT_EQ(rig_.editor.Pixels(), pixels);
  EXPECT_EQ(rig_.BoardColours(), board);
  EXPECT_FALSE(rig_.editor.Modified());
  Action("actionBlink")->trigger();  // off: nothing blinks, even under the pointer
  EXPECT_EQ(Box()->BlinkIndex(), -1);

  Pic()->close();
  EXPECT_FALSE(Pic()->isVisible());
  Action("actionPictureWindow")->trigger();
  EXPECT_TRUE(Pic()->isVisible());
  EXPECT_EQ(Box()->PictureSize(), QSize(24, 10));
  EXPECT_EQ(rig_.files.kinds.size(), 1u);  // not loaded again
}

}  // namespace
}  // namespace hw::test
