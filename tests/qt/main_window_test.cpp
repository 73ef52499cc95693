// The main window and picture window driven the way a user drives them: clicks,
// drops and dialogs, with the editor's state and the widgets checked afterwards.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>

#include "qt/rubber_band.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

TEST(MainWindow, WindowsAndControlsStartAsLaidOut) {
  FormRig rig;
  rig.form.show();
  EXPECT_EQ(rig.form.windowTitle(), "Huewright ver 1.0");
  // The board surface, 5790 x 6900 twips, right under the menu bar; the status bar below.
  QWidget* surface = rig.form.Surface();
  EXPECT_EQ(surface->size(), QSize(386, 460));
  EXPECT_EQ(surface->geometry().top(), rig.form.menuBar()->geometry().bottom() + 1);
  EXPECT_EQ(rig.form.statusBar()->geometry().top(), surface->geometry().bottom() + 1);
  PictureWindow* pic = rig.form.picture_window();
  EXPECT_EQ(pic->windowTitle(), "Current Picture");
  EXPECT_FALSE(pic->isVisible());
  EXPECT_EQ(pic->size(), QSize(312, 213));  // 4680 x 3195 twips
  const struct {
    const char* name;
    const char* text;
    QRect place;  // in pixels; empty: not checked
  } controls[] = {
      // clang-format off
      {"CommanFlip", "/", {8, 2, 17, 17}},
      {"CommandSpreadRGB", "Spread RGB", {256, 24, 121, 25}},
      {"CommandSpreadHSVReverse", "Spread HSV Reverse", {256, 88, 121, 25}},
      {"ButtonLoad", "Load Pic...", {256, 160, 121, 25}},
      {"ButtonUndo", "Undo", {256, 296, 49, 25}},
      {"ButtonRedo", "Redo", {320, 296, 49, 25}},
      {"ButtonQuit", "Quit", {320, 328, 49, 25}},
      {"Label1", "<None Loaded>", {0, 420, 377, 17}},
      {"TextMoveCount", "1", {120, 248, 33, 19}},
      {"FrameMerge", "Merge", {4, 340, 121, 65}},
      {"Label3", "Move:", {}},
      {"OptionSortRed", "Sort by RGB", {}},
      {"CheckMerge", "Merge next load", {}},
      // clang-format on
  };
  for (const auto& c : controls) {
    QWidget* w = rig.Find(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->property(qobject_cast<QGroupBox*>(w) ? "title" : "text").toString(), c.text)
        << c.name;
    EXPECT_TRUE(c.place.isEmpty() || w->geometry() == c.place) << c.name;
    EXPECT_TRUE(w->isVisible()) << c.name;
    // Nothing to undo or redo yet.
    EXPECT_EQ(w->isEnabled(),
              strcmp(c.name, "ButtonUndo") != 0 && strcmp(c.name, "ButtonRedo") != 0)
        << c.name;
  }
  EXPECT_EQ(rig.Find("CommandSpreadHSV")->toolTip(),
            "Click on color to spread colors between current and your selection");
  // A box lower than its indicator grows about its middle line.
  EXPECT_NEAR(rig.Find("CheckMerge")->geometry().center().y(), 12 + 13 / 2, 1);
  for (const char* on :
       {"CheckMoveIndex", "CheckMoveColor", "OptionSortHist", "OptionMergeReplace"}) {
    EXPECT_TRUE(rig.Find<QAbstractButton>(on)->isChecked()) << on;
  }
  // Controls that exist with their values but stay hidden; on a true-colour screen
  // start-up unticks "Use HW Colors".
  for (const char* name :
       {"OptionSortSat", "OptionSortValue", "CheckOptimize", "CommandRangeTo", "ButtonRand",
        "CheckHW", "Label4", "ListScheme", "LabelSpeed", "HScrollSpeed", "ButtonTest"}) {
    ASSERT_NE(rig.Find(name), nullptr) << name;
    EXPECT_FALSE(rig.Find(name)->isVisible()) << name;
  }
  EXPECT_FALSE(rig.Find<QCheckBox>("CheckHW")->isChecked());
  EXPECT_FALSE(rig.Find("ButtonTest")->isEnabled());
  EXPECT_EQ(rig.Find<QListWidget>("ListScheme")->item(1)->text(), "DPaint x 5 (foreward)");
  auto* speed = rig.Find<QScrollBar>("HScrollSpeed");
  EXPECT_EQ(std::tuple(speed->minimum(), speed->maximum(), speed->value()),
            std::tuple(1, 1000, 200));
  EXPECT_EQ(rig.form.CycleTimer()->interval(), 16);

  // The swatches, column-major, and their places after a flip.
  EXPECT_EQ(rig.form.Swatch(0)->geometry(), QRect(8, 24, 13, 13));
  EXPECT_EQ(rig.form.Swatch(1)->geometry(), QRect(8, 38, 13, 13));
  EXPECT_EQ(rig.form.Swatch(255)->geometry(), QRect(218, 234, 13, 13));  // an even grid
  rig.Click("CommanFlip");
  EXPECT_EQ(rig.form.Swatch(1)->geometry(), QRect(22, 24, 13, 13));
  EXPECT_EQ(rig.Find<QLabel>("LabelUR")->text(), "15");
}

TEST(MainWindow, OptionGroupsAreSeparateAndUserChoicesReachTheEditor) {
  FormRig rig;
  rig.Click("OptionSortHue");
  const OptionsPanel& options = *rig.form.Options();
  EXPECT_EQ(options.SortChoice(), SortKey::Hue);
  EXPECT_FALSE(rig.Find<QRadioButton>("OptionSortHist")->isChecked());
  EXPECT_TRUE(rig.Find<QRadioButton>("OptionMergeReplace")->isChecked());
  rig.Click("OptionMergeProtect");
  EXPECT_EQ(options.Merge(), PaletteMerge::All);  // "Merge next load" is not ticked
  EXPECT_TRUE(rig.Find<QRadioButton>("OptionSortHue")->isChecked());
  for (const char* box : {"CheckMerge", "CheckReverseSort", "CheckMoveIndex"}) rig.Click(box);
  EXPECT_EQ(std::tuple(options.Merge(), options.ReverseSort(), options.Moving().index,
                       options.Moving().colour),
            std::tuple(PaletteMerge::ProtectRange, true, false, true));
  // "Move:" holds only a count from 1 to 256: a key that would make anything else
  // is refused.
  const struct {
    const char* typed;
    const char* held;
  } counts[] = {{"1234", "123"}, {"256", "256"}, {"257", "25"}, {"0", "25"},
                {"-2", "2"},     {"abc", "2"},   {"300", "30"}, {"07", "7"}};
  for (const auto& c : counts) {
    rig.TypeCount(c.typed);
    EXPECT_EQ(rig.Find<QLineEdit>("TextMoveCount")->text(), c.held) << c.typed;
    EXPECT_EQ(options.Move().count, QString::fromLatin1(c.held).toInt()) << c.typed;
  }
}

TEST(MainWindow, SwatchesPaintTheirColourAndMarks) {
  FormRig rig;
  rig.form.show();
  rig.colours.answer = PackRGB(RGBTriple{0, 0, 255});
  rig.Drop(9, 9);      // a click selects 9: marks on 0 and 9
  rig.DoubleClick(3);  // recolours entry 3; the marks stay
  const QImage three = rig.form.Swatch(3)->grab().toImage();
  const QImage nine = rig.form.Swatch(9)->grab().toImage();
  const QPoint centre(three.width() / 2, three.height() / 2), corner(3, 3);
  EXPECT_EQ(three.pixel(corner), qRgb(0, 0, 255));
  EXPECT_EQ(three.pixel(centre), qRgb(0, 0, 255));  // no mark
  EXPECT_EQ(nine.pixel(corner), qRgb(255, 170, 85));
  EXPECT_NE(nine.pixel(centre), qRgb(255, 170, 85));  // the mark
  EXPECT_NE(rig.form.Swatch(0)->grab().toImage().pixel(centre), qRgb(255, 170, 85));
}

class FormWithPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    // The palette is not linear in the index, so no gradient reproduces the file's colours.
    for (int i = 0; i < 256; ++i)
      palette_[i] = {uint8_t(i * i * 37 + 11), uint8_t(i * i * i + 5 * i),
                     uint8_t((i * 97) ^ 0x5A)};
    for (int k = 0; k < 240; ++k)
      pixels_.push_back(static_cast<uint8_t>((k % 24 * (k % 24) + k / 24) % 40));
    WritePicture(path_, 24, 10, pixels_, palette_);
    rig_.LoadPicture(path_);
    ASSERT_TRUE(rig_.editor.PictureLoaded());
    ASSERT_TRUE(rig_.errors.messages.empty());
  }
  Palette BoardColours() { return rig_.BoardColours(); }
  std::vector<QRgb> PictureColours() {
    std::vector<QRgb> out;
    for (int k = 0; k < 240; ++k)
      out.push_back(rig_.form.picture_window()->View()->ShownColour(k % 24, k / 24));
    return out;
  }

  TempDir dir_;
  std::string path_ = dir_.File("sample.pcx");
  Bytes pixels_;
  Palette palette_{};
  FormRig rig_;
};

TEST_F(FormWithPicture, PictureWindowShowsTheLoadedPicture) {
  PictureWindow* pic = rig_.form.picture_window();
  EXPECT_TRUE(pic->isVisible());
  const QString label = rig_.Find<QLabel>("Label1")->text();
  EXPECT_EQ(label, QString::fromStdString(path_) + ":  24 x  10");
  EXPECT_EQ(pic->windowTitle(), label);
  EXPECT_EQ(pic->View()->size(), QSize(24, 10));
  std::vector<QRgb> want;
  for (uint8_t p : pixels_) want.push_back(Rgb(palette_[p]));
  EXPECT_EQ(PictureColours(), want);
  EXPECT_EQ(BoardColours(), palette_);
  EXPECT_TRUE(rig_.Find("ButtonTest")->isEnabled());
}

TEST_F(FormWithPicture, DropExchangesEntriesAndUndoPutsThemBack) {
  const auto before = BoardColours();
  const auto picture_before = PictureColours();
  rig_.Drop(5, 9);  // swatch 9 dropped on swatch 5
  EXPECT_EQ(BoardColours()[5], before[9]);
  EXPECT_EQ(BoardColours()[9], before[5]);
  const BoardState& b = rig_.editor.Board();
  EXPECT_EQ(std::tuple(b.map[5], b.map[9], b.prev, b.cur), std::tuple(9, 5, 9, 5));
  EXPECT_EQ(PictureColours(), picture_before);  // colours and indices moved together

  rig_.Click("ButtonUndo");
  EXPECT_EQ(BoardColours(), before);
  EXPECT_EQ(b.map[5], 5);
  EXPECT_EQ(PictureColours(), picture_before);
  EXPECT_FALSE(rig_.Find("ButtonUndo")->isEnabled());
  rig_.Click("ButtonRedo");
  EXPECT_EQ(BoardColours()[5], before[9]);
  EXPECT_TRUE(rig_.Find("ButtonUndo")->isEnabled());
  EXPECT_FALSE(rig_.Find("ButtonRedo")->isEnabled());
}

TEST_F(FormWithPicture, FitCommandsFromTheEditMenuRepaintTheBoardAndThePicture) {
  QStringList edit_menu;
  for (QAction* a : rig_.form.menuBar()->actions()[1]->menu()->actions())
    edit_menu << a->objectName();
  for (const char* name :
       {"actionRemapRgb", "actionRemapPerceptual", "actionMergeDuplicates", "actionCompact"})
    EXPECT_TRUE(edit_menu.contains(QLatin1String(name))) << name;

  const std::string three = "ff0000\n00ff00\n0000ff\n";
  WriteBytes(dir_.File("three.hex"), Bytes(three.begin(), three.end()));
  rig_.files.opens.push_back(dir_.File("three.hex"));
  const auto picture_before = PictureColours();
  rig_.form.Action("actionRemapPerceptual")->trigger();
  ASSERT_TRUE(rig_.errors.messages.empty());
  const BoardState& b = rig_.editor.Board();
  std::vector<QRgb> want;
  for (uint8_t p : pixels_) want.push_back(Rgb(b.entries[b.map[p]].rgb));
  EXPECT_EQ(PictureColours(), want);
  EXPECT_EQ(BoardColours()[1], (RGBTriple{0, 255, 0}));
  for (const char* name : {"actionMergeDuplicates", "actionCompact"}) {
    rig_.form.Action(name)->trigger();
    EXPECT_EQ(PictureColours(), want) << name;
  }
  for (uint8_t p : pixels_) EXPECT_LE(b.map[p], 2);  // compacted: the colours used come first
  for (int k = 0; k < 3 && rig_.editor.CanUndo(); ++k) rig_.Click("ButtonUndo");
  EXPECT_EQ(PictureColours(), picture_before);
  EXPECT_EQ(BoardColours(), palette_);
}

TEST_F(FormWithPicture, DropOntoItselfSelectsAndForeignDropsAreIgnored) {
  const auto before = BoardColours();
  rig_.Drop(7, 7);
  rig_.Drop(30, 30);
  EXPECT_EQ(std::tuple(rig_.editor.Board().prev, rig_.editor.Board().cur), std::tuple(7, 30));
  EXPECT_EQ(rig_.Find<QLabel>("LabelHistCnt")->text(), NumberText(rig_.editor.Usage()[30]));
  EXPECT_EQ(BoardColours(), before);

  // A click whose pointer wobbles less than the drag distance stays a click.
  ASSERT_GT(QApplication::startDragDistance(), 4);
  SwatchCell* five = rig_.form.Swatch(5);
  rig_.SendMouse(five, QEvent::MouseButtonPress, QPointF(3, 3), Qt::LeftButton, Qt::LeftButton);
  rig_.SendMouse(five, QEvent::MouseMove, QPointF(7, 3), Qt::NoButton, Qt::LeftButton);
  rig_.SendMouse(five, QEvent::MouseButtonRelease, QPointF(7, 3), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(std::tuple(rig_.editor.Board().prev, rig_.editor.Board().cur), std::tuple(30, 5));
  EXPECT_EQ(BoardColours(), before);

  const QByteArray stranger = "another-board";
  rig_.Drop(5, 9, &stranger);
  EXPECT_EQ(BoardColours(), before);
  EXPECT_EQ(rig_.editor.Board().cur, 5);
  // Malformed payloads never reach the editor.
  QMimeData mime;
  for (const char* index : {"300", "x", "-1", "255"}) {
    mime.setData(kSwatchMimeType, rig_.form.BoardToken() + ":" + index);
    EXPECT_EQ(ParseSwatchMime(&mime, rig_.form.BoardToken()),
              *index == '2' ? std::optional<int>(255) : std::nullopt);
  }
}

TEST_F(FormWithPicture, SortButtonUsesTheChosenOption) {
  const auto picture_before = PictureColours();
  const auto hsv = [&](int i) {
    HSVTriple h;
    RGBToHSV(rig_.editor.SwatchShownColour(i), h);
    return h;
  };
  const auto rgb = [&](int i) { return rig_.editor.SwatchShownColour(i); };
  const struct {
    const char* option;
    bool reverse;
    std::function<int(int)> key;  // never rises along the board
  } cases[] = {
      {"OptionSortHist", false,
       [&](int i) { return static_cast<int>(rig_.editor.Usage()[static_cast<size_t>(i)]); }},
      {"OptionSortValue", false, [&](int i) { return hsv(i).V * 256 + hsv(i).S; }},
      {"OptionSortHue", false, [&](int i) { return hsv(i).H * 256 + hsv(i).V; }},
      {"OptionSortHue", true, [&](int i) { return -(hsv(i).H * 256 + hsv(i).V); }},
      {"OptionSortSat", false, [&](int i) { return int{hsv(i).S}; }},
      {"OptionSortRed", false, [&](int i) { return -(rgb(i).R * 256 + rgb(i).G); }},
      {"OptionSortRed", true, [&](int i) { return rgb(i).R * 256 + rgb(i).G; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.option) + (c.reverse ? " reversed" : ""));
    rig_.Click(c.option);
    if (rig_.Find<QCheckBox>("CheckReverseSort")->isChecked() != c.reverse)
      rig_.Click("CheckReverseSort");
    rig_.Click("CommandSort");
    for (int i = 1; i < 256; ++i) ASSERT_GE(c.key(i - 1), c.key(i)) << i;
    EXPECT_EQ(PictureColours(), picture_before);
  }
}

TEST_F(FormWithPicture, SpreadAndReverseWorkOnTheSelectedRange) {
  rig_.Drop(10, 10);
  rig_.Drop(20, 20);
  const auto before = BoardColours();
  rig_.Click("CommandSpreadRGB");
  const auto rgb = BoardColours();
  EXPECT_EQ(rgb[10], before[10]);
  EXPECT_EQ(rgb[20], before[20]);
  for (int i = 11; i < 20; ++i) {
    const int r10 = before[10].R, r20 = before[20].R;
    EXPECT_EQ(rgb[i].R, RoundHalfEven(r10 + (r20 - r10) * (i - 10) / 10.0)) << i;
  }

  rig_.Click("CommandSpreadHSV");
  const auto hsv = BoardColours();
  rig_.Click("CommandSpreadHSVReverse");
  const auto hsv_reverse = BoardColours();
  EXPECT_NE(hsv, rgb);
  EXPECT_NE(hsv_reverse, hsv);  // the hue runs round the other way
  EXPECT_EQ(hsv_reverse[10], before[10]);

  rig_.Click("CommandReverse");
  const auto reversed = BoardColours();
  for (size_t i = 10; i <= 20; ++i) EXPECT_EQ(reversed[i], hsv_reverse[30 - i]) << i;
}

TEST_F(FormWithPicture, ColourDialogRecoloursAndCancelChangesNothing) {
  rig_.Drop(40, 40);
  const auto before = BoardColours();
  const auto picture_before = PictureColours();
  const QString count_before = rig_.Find<QLabel>("LabelHistCnt")->text();

  rig_.DoubleClick(5);  // cancelled
  // The dialog opens on the entry's own colour.
  EXPECT_EQ(rig_.colours.initials, std::vector<PackedColour>{PackRGB(before[5])});
  EXPECT_EQ(BoardColours(), before);
  EXPECT_EQ(PictureColours(), picture_before);
  EXPECT_EQ(std::tuple(rig_.editor.Board().prev, rig_.editor.Board().cur), std::tuple(0, 40));
  EXPECT_EQ(rig_.Find<QLabel>("LabelHistCnt")->text(), count_before);

  rig_.colours.answer = PackRGB(RGBTriple{1, 2, 3});
  rig_.DoubleClick(5);
  EXPECT_EQ(BoardColours()[5], (RGBTriple{1, 2, 3}));
  EXPECT_EQ(std::tuple(rig_.editor.Board().prev, rig_.editor.Board().cur), std::tuple(0, 40));
  ASSERT_EQ(pixels_[1 * 24 + 2], 5);  // pixel (2, 1) uses entry 5: the picture follows
  EXPECT_EQ(rig_.form.picture_window()->View()->ShownColour(2, 1), qRgb(1, 2, 3));
}

TEST_F(FormWithPicture, SecondClickOnASwatchOpensTheDialogOnce) {
  // A press that follows a click on the same swatch edits the colour instead of
  // starting a drag, and the double-click event of that press is not a second edit.
  const int interval = QApplication::doubleClickInterval();
  QApplication::setDoubleClickInterval(60000);  // a slow machine must not start a drag
  rig_.colours.answer = PackRGB(RGBTriple{9, 8, 7});
  rig_.Drop(12, 12);  // what a click delivers
  rig_.SendMouse(rig_.form.Swatch(12), QEvent::MouseButtonPress, QPointF(4, 4), Qt::LeftButton,
                 Qt::LeftButton);
  EXPECT_EQ(rig_.colours.initials.size(), 1u);
  rig_.DoubleClick(12);
  EXPECT_EQ(rig_.colours.initials.size(), 1u);
  EXPECT_EQ(rig_.editor.SwatchShownColour(12), (RGBTriple{9, 8, 7}));
  rig_.DoubleClick(12);  // a later double click on its own opens the dialog again
  EXPECT_EQ(rig_.colours.initials.size(), 2u);
  QApplication::setDoubleClickInterval(interval);
}

TEST_F(FormWithPicture, TestButtonRunsTheCycleTimerAndQuitClosesBothWindows) {
  // Ticks through the event loop recolour entries 196..235 of the picture's colours.
  rig_.Click("ButtonTest");
  rig_.Find<QScrollBar>("HScrollSpeed")->setValue(40);
  EXPECT_EQ(rig_.form.CycleTimer()->interval(), 40);
  rig_.Find<QListWidget>("ListScheme")->setCurrentRow(2);
  PictureView* box = rig_.form.picture_window()->View();
  const QRgb entry_200 = box->TableColour(200), entry_100 = box->TableColour(100);
  ASSERT_EQ(entry_200, Rgb(palette_[200]));
  QTest::qWait(150);
  EXPECT_NE(box->TableColour(200), entry_200);
  EXPECT_EQ(box->TableColour(100), entry_100);
  rig_.Click("ButtonTest");
  EXPECT_FALSE(rig_.form.CycleTimer()->isActive());
  EXPECT_EQ(rig_.Find<QAbstractButton>("ButtonTest")->text(), "Test");

  rig_.form.show();
  rig_.Click("ButtonQuit");
  EXPECT_FALSE(rig_.form.isVisible());
  EXPECT_FALSE(rig_.form.picture_window()->isVisible());
}

TEST(RubberBand, PressMoveReleaseOnTheSurfaceDrawsAndRemovesOneBox) {
  FormRig rig;
  rig.form.show();
  QWidget* surface = rig.form.Surface();
  const QImage before = surface->grab().toImage();
  const QPoint gap(21, 30);  // between swatch 0 and swatch 16, inside the board
  ASSERT_EQ(surface->childAt(gap), nullptr);

  rig.SendMouse(surface, QEvent::MouseButtonPress, gap, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 1);
  rig.SendMouse(surface, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 1);  // the old box went, the new one came
  const QImage during = surface->grab().toImage();
  // Exclusive-or with white inverts what lies below the box's edge.
  EXPECT_EQ(during.pixel(60, 30) & 0xFFFFFF, ~before.pixel(60, 30) & 0xFFFFFF);
  EXPECT_EQ(during.pixel(60, 60), before.pixel(60, 60));
  rig.SendMouse(surface, QEvent::MouseButtonRelease, QPoint(100, 100), Qt::LeftButton,
                Qt::NoButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 0);
  EXPECT_EQ(surface->grab().toImage(), before);

  // Releasing the left button ends the box whatever other button is still held,
  // and a left press with another button held starts one.
  rig.SendMouse(surface, QEvent::MouseButtonPress, gap, Qt::RightButton, Qt::RightButton);
  rig.SendMouse(surface, QEvent::MouseButtonPress, gap, Qt::LeftButton,
                Qt::LeftButton | Qt::RightButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 1);
  rig.SendMouse(surface, QEvent::MouseButtonRelease, gap, Qt::LeftButton, Qt::RightButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 0);
  rig.SendMouse(surface, QEvent::MouseButtonRelease, gap, Qt::RightButton, Qt::NoButton);

  // Over a control the window's surface is not pressed at all.
  rig.SendMouse(surface, QEvent::MouseButtonPress, rig.Find("LabelLL")->geometry().center(),
                Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 0);
}

// The band's rules in twips: a left press strictly inside the board starts it,
// moves round half to even and stay on the board's edges, and every box drawn is
// drawn again to remove it.
TEST(RubberBand, StartsInsideTheBoardRoundsClampsAndRemovesEveryBox) {
  using Box = std::tuple<float, float, float, float>;
  std::vector<Box> boxes;
  RubberBand band([&](float x0, float y0, float x1, float y1) {
    boxes.push_back({x0, y0, x1, y1});
  });
  band.Press(1, 110.0f, 500.0f);   // exactly on the left edge
  band.Press(1, 500.0f, 3800.0f);  // below the board
  band.Press(2, 500.0f, 600.0f);   // right button alone
  band.Move(1, 700.0f, 700.0f);    // no anchor from any of these presses
  EXPECT_TRUE(boxes.empty());
  band.Press(1, 500.25f, 600.0f);
  band.Move(1, 700.5f, 801.5f);  // halves to the even neighbour
  EXPECT_EQ(boxes.back(), (Box{500.25f, 600.0f, 700.0f, 802.0f}));
  band.Move(2, 900.0f, 900.0f);      // without the left button: ignored
  band.Move(1, 99999.0f, -5000.0f);  // far outside: kept on the edges
  EXPECT_EQ(boxes.back(), (Box{500.25f, 600.0f, 3519.0f, 350.0f}));
  band.Move(1, -100.0f, 99999.0f);
  EXPECT_EQ(boxes.back(), (Box{500.25f, 600.0f, 110.0f, 3759.0f}));
  band.Press(3, 400.0f, 400.0f);  // a new press removes the old box first
  band.Release(2, 0.0f, 0.0f);    // releasing the right button keeps it
  band.Release(1, 0.0f, 0.0f);
  ASSERT_EQ(boxes.size(), 1u + 2 * 3 + 2 + 1);
  std::map<Box, int> count;
  for (const Box& b : boxes) ++count[b];
  for (const auto& [box, n] : count) EXPECT_EQ(n % 2, 0);
  band.Move(1, 600.0f, 600.0f);  // after the release nothing draws until the next press
  EXPECT_EQ(boxes.size(), 10u);
}

TEST(PaletteDisplay, SwatchesShowThePictureWindowsPalette) {
  FormRig rig(256);
  EXPECT_TRUE(rig.Find<QCheckBox>("CheckHW")->isChecked());
  TempDir dir;
  WritePicture(dir.File("p.pcx"), 16, 16, Bytes(256, 1), DistinctPalette(5));
  rig.LoadPicture(dir.File("p.pcx"));
  rig.form.show();
  EXPECT_EQ(rig.form.Swatch(12)->grab().toImage().pixel(3, 3), Rgb(DistinctPalette(5)[12]));
}

}  // namespace
}  // namespace hw::test
