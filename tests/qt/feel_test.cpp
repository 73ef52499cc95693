// What a user meets first: see-through entries, the picture window's first size
// and place, moves from the keyboard, a resized window, the dialogs' starting
// points, the picture's pixels under the pointer and the target hardware.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <functional>
#include <regex>
#include <set>

#include "qt/file_dialogs.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

class Loaded : public ::testing::Test {
 protected:
  void SetUp() override {
    Palette palette{};
    for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3)};
    Bytes pixels;
    for (int k = 0; k < 64 * 32; ++k)
      pixels.push_back(static_cast<uint8_t>(k % 64 / 8 + k / 64 * 8));
    WritePicture(path_, 64, 32, pixels, palette);
    rig_.LoadPicture(path_);
    ASSERT_TRUE(rig_.editor.PictureLoaded());
  }
  // The status bar's values, their lines joined as the fields were.
  QString Values() {
    return rig_.Find<QLabel>("LabelValues")->text().replace(QLatin1Char('\n'), "   ");
  }

  TempDir dir_;
  std::string path_ = dir_.File("p.pcx");
  FormRig rig_;
};

TEST_F(Loaded, SeeThroughEntriesShowACheckerboardAndTheirAlpha) {
  rig_.colours.answer = PackRGB({200, 0, 0});
  rig_.colours.answer_alpha = 110;
  rig_.DoubleClick(5);
  ASSERT_EQ(rig_.editor.Board().entries[5], (BoardEntry{{200, 0, 0}, 110}));
  EXPECT_NE(rig_.form.SwatchValues(5).indexOf("#c800006e   alpha 110"), -1)
      << rig_.form.SwatchValues(5).toStdString();
  EXPECT_EQ(rig_.form.SwatchValues(6).indexOf("alpha"), -1);
  // The swatch's interior shows two blends of the colour, one per checker square;
  // an opaque swatch is one colour.
  const auto shades = [this](int index) {
    const QImage image = rig_.form.Swatch(index)->grab().toImage();
    std::set<QRgb> seen;
    for (int y = 3; y < image.height() - 3; ++y)
      for (int x = 3; x < image.width() - 3; ++x) seen.insert(image.pixel(x, y));
    return seen.size();
  };
  EXPECT_GE(shades(5), 2u);
  EXPECT_EQ(shades(6), 1u);
  // In the picture, the pixels of entry 5 (x 40..47 of row 0) are laid over the
  // checkerboard too: red, but not the opaque red.
  const QRgb shown = rig_.form.picture_window()->View()->grab().toImage().pixel(44, 0);
  EXPECT_NE(shown, qRgb(200, 0, 0));
  EXPECT_GT(qRed(shown), qGreen(shown) + 40) << std::hex << shown;
  // The dialog opens on the alpha too.
  rig_.colours.answer.reset();
  rig_.DoubleClick(5);
  EXPECT_EQ(rig_.colours.initial_entries.back().A, 110);
}

TEST(PictureWindowPlan, FitsTheRoomBesideTheMainWindowAtEachScale) {
  const QMargins decoration(2, 24, 2, 2);
  for (const int scale : {1, 2}) {
    // A 1920 x 1080 screen; at scale 2 it is half as many logical pixels.
    const QRect screen(0, 0, 1920 / scale, 1080 / scale - 30);
    const QRect main(0, 0, 404, 540);
    for (const QSize picture : {QSize(64, 40), QSize(1600, 1200), QSize(16000, 12000)}) {
      SCOPED_TRACE(::testing::Message() << "scale " << scale << ", " << picture.width());
      const PictureWindowPlan plan = PlanPictureWindow(picture, main, screen, decoration);
      EXPECT_LE(plan.zoom, 1);
      const QSize room =
          QSize(screen.right() - main.right() - 12, screen.height()) - QSize(4 + 16, 26 + 16);
      const auto fits = [&](int zoom) {
        const QSize z = zoom >= 1 ? picture
                                  : QSize((picture.width() - zoom - 1) / -zoom,
                                          (picture.height() - zoom - 1) / -zoom);
        return z.width() <= room.width() && z.height() <= room.height();
      };
      EXPECT_TRUE(fits(plan.zoom));
      if (plan.zoom < 1) {
        EXPECT_FALSE(fits(ZoomIn(plan.zoom)));  // the largest step
      }
      EXPECT_EQ(plan.frame.size(), plan.client + QSize(4, 26));
      EXPECT_TRUE(screen.contains(plan.frame));
      EXPECT_FALSE(plan.frame.intersects(main));
      EXPECT_EQ(plan.frame.left(), main.right() + 1 + 12);
    }
  }
  // A main window with little room on either side: the picture overlaps it as
  // little as it can, against the screen's edge on the roomier side.
  const QRect screen(0, 0, 800, 600);
  const PictureWindowPlan plan =
      PlanPictureWindow(QSize(700, 500), QRect(150, 0, 500, 600), screen, decoration);
  EXPECT_TRUE(screen.contains(plan.frame));
  EXPECT_EQ(plan.frame.right(), screen.right());
}

TEST_F(Loaded, AltArrowIsTheDropOfTheMoveRunOneSwatchAway) {
  FormRig pointer;
  pointer.LoadPicture(path_);
  for (FormRig* r : {&rig_, &pointer}) {
    r->TypeCount("3");
    r->SetBox("CheckMoveColor", false);
  }
  const BoardState start = rig_.editor.Board();
  rig_.form.show();
  QTest::mouseClick(rig_.form.Swatch(16), Qt::LeftButton);  // also gives the board the keyboard
  QTest::mouseClick(pointer.form.Swatch(16), Qt::LeftButton);
  rig_.form.Surface()->setFocus();
  QTest::keyClick(rig_.form.Surface(), Qt::Key_Right, Qt::AltModifier);  // one column: 16 -> 32
  pointer.Drop(32, 16);
  EXPECT_EQ(rig_.editor.Board(), pointer.editor.Board());
  EXPECT_NE(rig_.editor.Board().map, start.map);
  QTest::keyClick(rig_.form.Surface(), Qt::Key_Down, Qt::AltModifier);
  pointer.Drop(pointer.editor.Board().cur + 1, pointer.editor.Board().cur);
  EXPECT_EQ(rig_.editor.Board(), pointer.editor.Board());
  // At the board's edge nothing happens; each press was one step of the history.
  QTest::mouseClick(rig_.form.Swatch(0), Qt::LeftButton);
  const BoardState before_edge = rig_.editor.Board();
  QTest::keyClick(rig_.form.Surface(), Qt::Key_Left, Qt::AltModifier);
  QTest::keyClick(rig_.form.Surface(), Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(rig_.editor.Board(), before_edge);
  rig_.Click("ButtonUndo");
  rig_.Click("ButtonUndo");
  EXPECT_EQ(rig_.editor.Board().map, start.map);
  EXPECT_FALSE(rig_.Find("ButtonUndo")->isEnabled());
}

TEST_F(Loaded, AResizedWindowGrowsTheBoardInWholePixelsAndKeepsControlsBesideIt) {
  rig_.form.show();
  const auto beside = [this] {
    return rig_.Find("CommandSpreadRGB")->pos() - rig_.form.Swatch(240)->pos();
  };
  const auto below = [this] { return rig_.Find("Label3")->pos() - rig_.form.Swatch(15)->pos(); };
  const QPoint right_of = beside(), under = below();
  rig_.form.resize(rig_.form.size() + QSize(100, 100));
  QApplication::processEvents();
  const QRect s0 = rig_.form.Swatch(0)->geometry(), s17 = rig_.form.Swatch(17)->geometry();
  EXPECT_EQ(s17.topLeft() - s0.topLeft(), QPoint(20, 20));  // 6 more pixels a swatch
  EXPECT_EQ(s0.size(), QSize(18, 18));
  // The last column moved 15 x 6 pixels, the board's far edges 16 x 6, and the
  // controls with them.
  EXPECT_EQ(beside(), right_of + QPoint(6, 0));
  EXPECT_EQ(below(), under + QPoint(0, 6));
  // A click where swatch n is shown selects n.
  for (const int n : {0, 37, 200, 255}) {
    const QRect place = rig_.form.Swatch(n)->geometry();
    QWidget* hit = rig_.form.Surface()->childAt(place.center());
    ASSERT_NE(hit, nullptr);
    QTest::mouseClick(hit, Qt::LeftButton);
    EXPECT_EQ(rig_.editor.Board().cur, n);
  }
}

TEST_F(Loaded, PointingAtThePictureShowsThePixelAndAClickMarksItsEntry) {
  PictureView* view = rig_.form.picture_window()->View();
  rig_.form.picture_window()->SetZoom(2);
  // At 2:1, (35, 7) is on pixel (17, 3), which uses entry 26.
  QMouseEvent move(QEvent::MouseMove, QPointF(35, 7), view->mapToGlobal(QPointF(35, 7)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view, &move);
  EXPECT_TRUE(Values().startsWith("Pixel 17, 3   Index 26   RGB 182, 229, 78"))
      << Values().toStdString();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(35, 7), view->mapToGlobal(QPointF(35, 7)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QTest::mouseClick(rig_.form.Swatch(3), Qt::LeftButton);
  QApplication::sendEvent(view, &press);
  EXPECT_EQ(std::tuple(rig_.editor.Board().prev, rig_.editor.Board().cur), std::tuple(26, 26));
}

TEST_F(Loaded, SavesSayWhereAndDialogsStartOnThePicture) {
  rig_.files.saves.push_back(dir_.File("copy.png"));
  rig_.Click("ButtonSave");
  EXPECT_EQ(rig_.files.suggested.back(), path_);  // the picture's folder, name and format
  EXPECT_EQ(rig_.Find<QLabel>("LabelStatus")->text(), "Saved 'copy.png' (PNG picture)");
  rig_.Click("ButtonSave");  // cancelled
  EXPECT_EQ(rig_.files.suggested.back(), dir_.File("copy.png"));

  QTemporaryDir folder;
  QSettings settings(folder.filePath("s.ini"), QSettings::IniFormat);
  DialogStart start = StartOf(FileKind::Picture, true, "/pics/title.png", settings);
  EXPECT_EQ(std::tuple(start.folder, start.name, start.filter),
            std::tuple(QString("/pics"), QString("title.png"), 1));
  // A palette save starts on the folder and format used last.
  RememberChoice(FileKind::Palette, true, "/pals/x.act", 3, settings);
  start = StartOf(FileKind::Palette, true, QString(), settings);
  EXPECT_EQ(std::tuple(start.folder, start.name, start.filter),
            std::tuple(QString("/pals"), QString(), 3));
  EXPECT_EQ(StartOf(FileKind::Palette, false, QString(), settings).folder, "/pals");
  const DialogFilter png = DialogFilters(FileKind::Picture, true)[1];
  EXPECT_EQ(WithFilterSuffix("/a/b", png), "/a/b.png");
  EXPECT_EQ(WithFilterSuffix("/a/b.pcx", png), "/a/b.pcx");
}

// The menu's machine sets the target; swatches off its colours carry the corner
// mark and say so; Snap All clears every mark; a console filter names its format.
TEST_F(Loaded, TargetHardwareMarksOffSwatchesUntilSnapAll) {
  // The distinct colours inside a swatch's frame: one for a plain swatch.
  const auto shades = [this](int index) {
    const QImage image = rig_.form.Swatch(index)->grab().toImage();
    std::set<QRgb> seen;
    for (int y = 1; y < image.height() - 1; ++y)
      for (int x = 1; x < image.width() - 1; ++x) seen.insert(image.pixel(x, y));
    return seen.size();
  };
  EXPECT_EQ(shades(100), 1u);  // (188, 155, 44) is off the megadrive's levels
  rig_.form.Action("actionTarget_megadrive")->trigger();
  EXPECT_EQ(rig_.editor.Board().target, *TargetByName("megadrive"));
  EXPECT_TRUE(rig_.form.Action("actionTarget_megadrive")->isChecked());
  EXPECT_EQ(rig_.Find<QLabel>("LabelTarget")->text(), "Target: Mega Drive");
  EXPECT_GE(shades(100), 2u);
  EXPECT_NE(rig_.form.SwatchValues(100).indexOf("off Mega Drive: snaps to #b69224"), -1)
      << rig_.form.SwatchValues(100).toStdString();
  rig_.form.Action("actionSnapAll")->trigger();
  EXPECT_TRUE(rig_.Find<QLabel>("LabelStatus")->text().startsWith("Snap All: "));
  EXPECT_EQ(shades(100), 1u);
  EXPECT_EQ(rig_.form.SwatchValues(100).indexOf("off"), -1);
  rig_.Click("ButtonUndo");
  rig_.Click("ButtonUndo");
  EXPECT_EQ(rig_.Find<QLabel>("LabelTarget")->text(), "Target: None");
  EXPECT_FALSE(rig_.form.Action("actionTarget_megadrive")->isChecked());

  const auto open = DialogFilters(FileKind::Palette, false);
  const auto save = DialogFilters(FileKind::Palette, true);
  EXPECT_EQ(std::tuple(FilterFormat(open[0]), FilterFormat(open[2]), FilterFormat(save.back())),
            std::tuple(std::nullopt, PaletteFormat::Vga6, PaletteFormat::Amiga12));
}

// Help > Keys lists every key the README and the manual name (so a key documented there cannot be
// missing from the page), and the shortcuts the actions really have are among them.
TEST(KeysPage, ListsEveryKeyTheReadmeAndTheActionsName) {
  FormRig rig;
  rig.form.Action("actionKeys")->trigger();
  auto* page = rig.form.findChild<QDialog*>(QStringLiteral("KeysPage"));
  ASSERT_NE(page, nullptr);
  const QString html = page->findChild<QLabel*>()->text();
  const std::string keys = QTextDocumentFragment::fromHtml(html).toPlainText().toStdString();
  page->hide();
  std::string readme;
  for (const char* doc : {HW_SOURCE_DIR "/README.md", HW_SOURCE_DIR "/docs/manual.md"}) {
    const Bytes bytes = ReadBytes(doc);
    readme.append(bytes.begin(), bytes.end());
  }
  const std::regex key(R"(((Ctrl|Shift|Alt|Space)\+)+([A-Za-z0-9]+|\+|-)|\bF[0-9]{1,2}\b|)"
                       R"(\b(Enter|Tab|Esc|Escape|Delete|Backspace|PgUp|PgDn)\b|[Aa]rrow keys?)");
  std::set<std::string> named;
  for (auto it = std::sregex_iterator(readme.begin(), readme.end(), key);
       it != std::sregex_iterator(); ++it) {
    named.insert(it->str().starts_with("arrow") || it->str().starts_with("Arrow") ? "Arrows"
                                                                                  : it->str());
  }
  EXPECT_GE(named.size(), 20u);
  for (const std::string& k : named) EXPECT_HAS(keys, k) << k;
  for (const char* action : {"actionLoadPic", "actionSave", "actionSavePic", "actionUndo",
                             "actionRedo", "actionZoomIn", "actionZoomOut", "actionZoom1",
                             "actionZoomFit", "actionPlayCycles", "actionQuit", "actionKeys"}) {
    for (const QKeySequence& s : rig.form.Action(action)->shortcuts()) {
      const std::string text = s.toString(QKeySequence::PortableText).toStdString();
      EXPECT_HAS(keys, text) << action << " " << text;
    }
  }
}

// huewright(1) names every command of the menus (the machines of Target Hardware
// by the menu's name), so a new menu entry cannot be missing from it.
TEST(ManPage, NamesEveryMenuCommand) {
  FormRig rig;
  const Bytes bytes = ReadBytes(HW_SOURCE_DIR "/data/man/huewright.1");
  std::string page(bytes.begin(), bytes.end());
  for (size_t at; (at = page.find("\\-")) != std::string::npos;) page.erase(at, 1);
  int named = 0;
  std::function<void(QMenu*)> walk = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->isSeparator() || a->objectName().startsWith(QStringLiteral("actionTarget_"))) continue;
      if (a->menu() != nullptr) walk(a->menu());
      const std::string text = a->text().remove(QLatin1Char('&')).toStdString();
      EXPECT_HAS(page, text) << text;
      ++named;
    }
  };
  for (QAction* top : rig.form.menuBar()->actions()) walk(top->menu());
  EXPECT_GE(named, 40);
}

}  // namespace
}  // namespace hw::test
