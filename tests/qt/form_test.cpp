// The main window and picture window driven the way a user drives them: clicks,
// drops and dialogs, with the editor's state and the widgets checked afterwards.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "qt_rig.h"

namespace hw::qttest {
namespace {

QRgb Rgb(const RGBTriple& c) { return qRgb(c.R, c.G, c.B); }

TEST(FormDragNDrop, WindowsStartWithTheirCaptionsAndSizes) {
  Rig rig;
  EXPECT_EQ(rig.form.windowTitle(), "Huewright ver 1.0");
  EXPECT_EQ(rig.form.size(), QSize(386, 443));  // 5790 x 6645 twips
  EXPECT_FALSE(rig.form.windowIcon().isNull());
  FormPic* pic = rig.form.PictureWindow();
  EXPECT_EQ(pic->windowTitle(), "Current Picture");
  EXPECT_FALSE(pic->isVisible());
  EXPECT_EQ(pic->size(), QSize(312, 213));  // 4680 x 3195 twips
  EXPECT_EQ(pic->Picture1()->pos(), QPoint(8, 8));
}

TEST(FormDragNDrop, ControlsCarryTheirCaptionsTipsAndPlaces) {
  Rig rig;
  struct Expect {
    const char* name;
    const char* text;
    QRect place;
  };
  const Expect buttons[] = {
      {"CommanFlip", "/", QRect(8, 2, 17, 17)},
      {"CommandSpreadRGB", "Spread RGB", QRect(256, 24, 121, 25)},
      {"CommandSpreadHSVReverse", "Spread HSV Reverse", QRect(256, 88, 121, 25)},
      {"CommandReverse", "Reverse Range", QRect(256, 120, 121, 25)},
      {"ButtonLoad", "Load Pic...", QRect(256, 160, 121, 25)},
      {"CommandSavePal", "Save Palette...", QRect(256, 256, 121, 25)},
      {"ButtonUndo", "Undo", QRect(256, 296, 49, 25)},
      {"CommandSort", "Sort", QRect(256, 328, 49, 25)},
      {"ButtonQuit", "Quit", QRect(320, 328, 49, 25)},
  };
  for (const Expect& e : buttons) {
    auto* b = rig.Find<QPushButton>(e.name);
    ASSERT_NE(b, nullptr) << e.name;
    EXPECT_EQ(b->text(), e.text) << e.name;
    EXPECT_EQ(b->geometry(), e.place) << e.name;
    EXPECT_TRUE(b->isEnabled()) << e.name;
  }
  EXPECT_EQ(rig.Find("CommanFlip")->toolTip(), "Flip");
  for (const char* name : {"CommandSpreadRGB", "CommandSpreadHSV", "CommandSpreadHSVReverse",
                           "CommandReverse"}) {
    EXPECT_EQ(rig.Find(name)->toolTip(),
              "Click on color to spread colors between current and your selection");
  }

  EXPECT_EQ(rig.Find<QLabel>("Label1")->text(), "<None Loaded>");
  EXPECT_EQ(rig.Find<QLabel>("Label1")->geometry(), QRect(0, 420, 377, 17));
  EXPECT_EQ(rig.Find<QLabel>("LabelHistCnt")->text(), "0000000");
  EXPECT_EQ(rig.Find<QLabel>("LabelUR")->text(), "240");
  EXPECT_EQ(rig.Find<QLabel>("LabelLL")->text(), "15");
  EXPECT_EQ(rig.Find<QLabel>("Label3")->text(), "Move:");
  EXPECT_FALSE(rig.Find<QLabel>("Label2")->text().isEmpty());

  auto* count = rig.Find<QLineEdit>("TextMoveCount");
  EXPECT_EQ(count->text(), "1");
  EXPECT_EQ(count->maxLength(), 3);
  EXPECT_EQ(count->geometry(), QRect(120, 248, 33, 19));

  EXPECT_TRUE(rig.Find<QCheckBox>("CheckMoveIndex")->isChecked());
  EXPECT_TRUE(rig.Find<QCheckBox>("CheckMoveColor")->isChecked());
  EXPECT_FALSE(rig.Find<QCheckBox>("CheckReverseSort")->isChecked());
  EXPECT_TRUE(rig.Find<QRadioButton>("OptionSortHist")->isChecked());
  EXPECT_EQ(rig.Find<QRadioButton>("OptionSortRed")->text(), "Sort by RGB");

  auto* frame = rig.Find<QGroupBox>("FrameMerge");
  EXPECT_EQ(frame->title(), "Merge");
  EXPECT_EQ(frame->geometry(), QRect(4, 340, 121, 65));
  auto* replace = rig.Find<QRadioButton>("OptionMergeReplace");
  EXPECT_EQ(replace->parentWidget(), frame);
  EXPECT_EQ(replace->geometry(), QRect(12, 28, 101, 17));  // relative to the frame
  // A box lower than its indicator grows about its middle line.
  auto* merge = rig.Find<QCheckBox>("CheckMerge");
  EXPECT_EQ(merge->x(), 8);
  EXPECT_EQ(merge->width(), 105);
  EXPECT_NEAR(merge->geometry().center().y(), 12 + 13 / 2, 1);
  EXPECT_GE(merge->height(), 13);
  EXPECT_TRUE(replace->isChecked());
  EXPECT_EQ(rig.Find<QCheckBox>("CheckMerge")->text(), "Merge next load");
  EXPECT_FALSE(rig.Find<QCheckBox>("CheckMerge")->isChecked());
}

TEST(FormDragNDrop, HiddenControlsExistWithTheirValuesButStayHidden) {
  Rig rig;
  rig.form.show();
  for (const char* name : {"OptionSortSat", "OptionSortValue", "CheckOptimize", "CommandRangeTo",
                           "ButtonRand", "CheckHW", "Label4", "ListScheme", "LabelSpeed",
                           "HScrollSpeed", "ButtonTest"}) {
    QWidget* w = rig.Find(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_FALSE(w->isVisible()) << name;
  }
  EXPECT_TRUE(rig.Find("CommandSort")->isVisible());
  EXPECT_FALSE(rig.Find("ButtonTest")->isEnabled());
  EXPECT_FALSE(rig.Find("ButtonRand")->isEnabled());
  // A true-colour screen: start-up unticks "Use HW Colors".
  EXPECT_FALSE(rig.Find<QCheckBox>("CheckHW")->isChecked());
  EXPECT_FALSE(rig.Find("CheckHW")->isEnabled());
  auto* list = rig.Find<QListWidget>("ListScheme");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(1)->text(), "DPaint x 5 (foreward)");
  EXPECT_EQ(list->currentRow(), 0);
  auto* speed = rig.Find<QScrollBar>("HScrollSpeed");
  EXPECT_EQ(speed->minimum(), 1);
  EXPECT_EQ(speed->maximum(), 1000);
  EXPECT_EQ(speed->value(), 200);
  EXPECT_FALSE(rig.form.TimerColor()->isActive());
  EXPECT_EQ(rig.form.TimerColor()->interval(), 16);
  EXPECT_EQ(rig.Find<QAbstractButton>("CommandRangeTo")->toolTip(),
            "Click on palette color to create range from current to");
}

TEST(FormDragNDrop, OptionGroupsAreSeparateAndUserChoicesReachTheEditor) {
  Rig rig;
  rig.Click("OptionSortHue");
  EXPECT_EQ(rig.s().ui.SortChoice, SortOption::Hue);
  EXPECT_FALSE(rig.Find<QRadioButton>("OptionSortHist")->isChecked());
  EXPECT_TRUE(rig.Find<QRadioButton>("OptionMergeReplace")->isChecked());
  rig.Click("OptionMergeProtect");
  EXPECT_FALSE(rig.s().ui.OptionMergeReplace);
  EXPECT_TRUE(rig.Find<QRadioButton>("OptionSortHue")->isChecked());
  rig.Click("CheckMerge");
  EXPECT_EQ(rig.s().ui.CheckMerge, 1);
  rig.Click("CheckReverseSort");
  EXPECT_EQ(rig.s().ui.CheckReverseSort, 1);
  rig.Click("CheckMoveIndex");
  EXPECT_EQ(rig.s().ui.CheckMoveIndex, 0);
  EXPECT_EQ(rig.s().ui.CheckMoveColor, 1);

  auto* count = rig.Find<QLineEdit>("TextMoveCount");
  count->selectAll();
  QTest::keyClicks(count, "1234");
  EXPECT_EQ(count->text(), "123");
  EXPECT_EQ(rig.s().ui.TextMoveCount, "123");
}

TEST(FormDragNDrop, BoardFollowsTheStateAndFlips) {
  Rig rig;
  EXPECT_EQ(rig.form.Swatch(0)->geometry(), QRect(8, 24, 13, 13));
  EXPECT_EQ(rig.form.Swatch(1)->geometry(), QRect(8, 38, 13, 13));    // below 0
  EXPECT_EQ(rig.form.Swatch(16)->geometry(), QRect(22, 24, 13, 13));  // beside 0
  EXPECT_EQ(rig.form.Swatch(255)->geometry(), QRect(219, 235, 13, 13));
  EXPECT_EQ(rig.form.Swatch(200)->toolTip(), "");

  rig.Click("CommanFlip");
  EXPECT_EQ(rig.form.Swatch(1)->geometry(), QRect(22, 24, 13, 13));
  EXPECT_EQ(rig.form.Swatch(16)->geometry(), QRect(8, 38, 13, 13));
  EXPECT_EQ(rig.form.Swatch(255)->geometry(), QRect(219, 235, 13, 13));
  EXPECT_EQ(rig.Find<QLabel>("LabelUR")->text(), "15");
  EXPECT_EQ(rig.Find<QLabel>("LabelLL")->text(), "240");
  rig.Click("CommanFlip");
  EXPECT_EQ(rig.form.Swatch(1)->geometry(), QRect(8, 38, 13, 13));
  EXPECT_EQ(rig.Find<QLabel>("LabelUR")->text(), "240");
}

TEST(FormDragNDrop, SwatchesPaintTheirColourAndMarks) {
  Rig rig;
  rig.form.show();
  rig.colours.answer = PackRGB(RGBTriple{0, 0, 255});
  rig.DoubleClick(3);  // recolours entry 3 and selects it: marks on 0 and 3
  const QImage three = rig.form.Swatch(3)->grab().toImage();
  const QImage four = rig.form.Swatch(4)->grab().toImage();
  const QPoint centre(three.width() / 2, three.height() / 2);
  const QPoint corner(3, 3);
  EXPECT_EQ(three.pixel(corner), qRgb(0, 0, 255));
  EXPECT_NE(three.pixel(centre), qRgb(0, 0, 255));  // the mark
  EXPECT_EQ(four.pixel(corner), qRgb(255, 170, 85));
  EXPECT_EQ(four.pixel(centre), qRgb(255, 170, 85));  // no mark
  EXPECT_TRUE(rig.editor.IsMarked(0));
  EXPECT_NE(rig.form.Swatch(0)->grab().toImage().pixel(centre), qRgb(255, 170, 85));
}

class FormWithPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("sample.pcx");
    ASSERT_TRUE(picture_.Write(path_));
    rig_.LoadPicture(path_);
    ASSERT_EQ(rig_.s().PicLoaded, -1);
    ASSERT_TRUE(rig_.errors.messages.empty());
  }
  std::array<QRgb, 256> BoardColours() {
    std::array<QRgb, 256> out{};
    for (int i = 0; i < 256; ++i) out[static_cast<size_t>(i)] = Rgb(rig_.editor.SwatchShownColour(i));
    return out;
  }
  std::vector<QRgb> PictureColours() {
    std::vector<QRgb> out;
    PictureBox* box = rig_.form.PictureWindow()->Picture1();
    for (int y = 0; y < picture_.height; ++y) {
      for (int x = 0; x < picture_.width; ++x) out.push_back(box->ShownColour(x, y));
    }
    return out;
  }

  TempDir dir_;
  SamplePicture picture_;
  std::string path_;
  Rig rig_;
};

TEST_F(FormWithPicture, PictureWindowShowsTheLoadedPicture) {
  FormPic* pic = rig_.form.PictureWindow();
  EXPECT_TRUE(pic->isVisible());
  const QString label = rig_.Find<QLabel>("Label1")->text();
  EXPECT_EQ(label, QString::fromStdString(path_) + ":  24 x  10");
  EXPECT_EQ(pic->windowTitle(), label);
  EXPECT_EQ(pic->Picture1()->size(), QSize(24, 10));
  for (int y = 0; y < picture_.height; ++y) {
    for (int x = 0; x < picture_.width; ++x) {
      ASSERT_EQ(pic->Picture1()->ShownColour(x, y), Rgb(picture_.palette[picture_.At(x, y)]))
          << x << "," << y;
    }
  }
  // The board shows the file's palette, and the test button became usable.
  EXPECT_EQ(Rgb(rig_.editor.SwatchShownColour(17)), Rgb(picture_.palette[17]));
  EXPECT_TRUE(rig_.Find("ButtonTest")->isEnabled());
}

TEST_F(FormWithPicture, DropExchangesEntriesAndUndoPutsThemBack) {
  const auto before = BoardColours();
  const auto map_before = rig_.s().IndexMap;
  const auto picture_before = PictureColours();

  rig_.Drop(5, 9);  // swatch 9 dropped on swatch 5
  EXPECT_EQ(BoardColours()[5], before[9]);
  EXPECT_EQ(BoardColours()[9], before[5]);
  EXPECT_EQ(rig_.s().IndexMap[5], 9);
  EXPECT_EQ(rig_.s().IndexMap[9], 5);
  EXPECT_EQ(rig_.s().PrevIndex, 9);
  EXPECT_EQ(rig_.s().CurIndex, 5);
  // Colours and indices moved together: the picture looks the same.
  EXPECT_EQ(PictureColours(), picture_before);

  rig_.Click("ButtonUndo");
  EXPECT_EQ(BoardColours(), before);
  EXPECT_EQ(rig_.s().IndexMap, map_before);
  EXPECT_EQ(PictureColours(), picture_before);
}

TEST_F(FormWithPicture, MoveOptionsAndCountShapeTheDrop) {
  const auto before = BoardColours();
  rig_.Click("CheckMoveColor");  // indices only
  auto* count = rig_.Find<QLineEdit>("TextMoveCount");
  count->selectAll();
  QTest::keyClicks(count, "3");
  rig_.Drop(20, 5);
  EXPECT_EQ(BoardColours(), before);  // no colour moved
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rig_.s().IndexMap[static_cast<size_t>(20 + i)], 5 + i);
    EXPECT_EQ(rig_.s().IndexMap[static_cast<size_t>(5 + i)], 20 + i);
  }
  EXPECT_EQ(rig_.s().IndexMap[23], 23);
}

TEST_F(FormWithPicture, DropOntoItselfSelectsAndForeignDropsAreIgnored) {
  const auto before = BoardColours();
  rig_.Drop(7, 7);
  rig_.Drop(30, 30);
  EXPECT_EQ(rig_.s().PrevIndex, 7);
  EXPECT_EQ(rig_.s().CurIndex, 30);
  EXPECT_EQ(rig_.Find<QLabel>("LabelHistCnt")->text(),
            QString::fromStdString(NumberText(rig_.s().Histo[30])));
  EXPECT_EQ(BoardColours(), before);
  EXPECT_TRUE(rig_.editor.IsMarked(7));
  EXPECT_FALSE(rig_.editor.IsMarked(0));

  const QByteArray stranger = "another-board";
  rig_.Drop(5, 9, &stranger);
  EXPECT_EQ(BoardColours(), before);
  EXPECT_EQ(rig_.s().CurIndex, 30);

  // Malformed payloads never reach the editor.
  QMimeData bad;
  bad.setData(kSwatchMimeType, rig_.form.BoardToken() + ":300");
  EXPECT_FALSE(ParseSwatchMime(&bad, rig_.form.BoardToken()));
  bad.setData(kSwatchMimeType, rig_.form.BoardToken() + ":x");
  EXPECT_FALSE(ParseSwatchMime(&bad, rig_.form.BoardToken()));
  bad.setData(kSwatchMimeType, rig_.form.BoardToken() + ":-1");
  EXPECT_FALSE(ParseSwatchMime(&bad, rig_.form.BoardToken()));
  bad.setData(kSwatchMimeType, rig_.form.BoardToken() + ":255");
  EXPECT_EQ(ParseSwatchMime(&bad, rig_.form.BoardToken()), 255);
}

TEST_F(FormWithPicture, SortButtonUsesTheChosenOption) {
  const auto picture_before = PictureColours();

  rig_.Click("CommandSort");  // by usage: most used first
  for (size_t i = 1; i < 256; ++i) ASSERT_GE(rig_.s().Histo[i - 1], rig_.s().Histo[i]) << i;
  EXPECT_EQ(PictureColours(), picture_before);

  rig_.Click("OptionSortRed");
  rig_.Click("CommandSort");
  for (int i = 1; i < 256; ++i) {
    ASSERT_LE(rig_.editor.SwatchShownColour(i - 1).R, rig_.editor.SwatchShownColour(i).R) << i;
  }
  rig_.Click("CheckReverseSort");
  rig_.Click("CommandSort");
  for (int i = 1; i < 256; ++i) {
    ASSERT_GE(rig_.editor.SwatchShownColour(i - 1).R, rig_.editor.SwatchShownColour(i).R) << i;
  }

  rig_.Click("CheckReverseSort");
  rig_.Click("OptionSortHue");
  rig_.Click("CommandSort");
  HSVTriple prev{}, cur{};
  for (int i = 1; i < 256; ++i) {
    RGBToHSV(rig_.editor.SwatchShownColour(i - 1), prev);
    RGBToHSV(rig_.editor.SwatchShownColour(i), cur);
    ASSERT_GE(prev.H, cur.H) << i;
  }
  EXPECT_EQ(PictureColours(), picture_before);
}

TEST_F(FormWithPicture, SpreadAndReverseWorkOnTheSelectedRange) {
  rig_.Drop(10, 10);
  rig_.Drop(20, 20);
  const auto before = BoardColours();

  rig_.Click("CommandSpreadRGB");
  const auto rgb = BoardColours();
  EXPECT_EQ(rgb[10], before[10]);
  EXPECT_EQ(rgb[20], before[20]);
  const int r10 = qRed(before[10]), r20 = qRed(before[20]);
  for (size_t i = 11; i < 20; ++i) {
    EXPECT_GE(qRed(rgb[i]), std::min(r10, r20)) << i;
    EXPECT_LE(qRed(rgb[i]), std::max(r10, r20)) << i;
  }
  EXPECT_NE(rgb, before);

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
  const auto pal_before = rig_.s().Pal;
  const auto picture_before = PictureColours();
  const QString count_before = rig_.Find<QLabel>("LabelHistCnt")->text();

  rig_.colours.answer = std::nullopt;
  rig_.DoubleClick(5);
  EXPECT_EQ(rig_.colours.asked, 1);
  EXPECT_EQ(BoardColours(), before);
  EXPECT_EQ(rig_.s().Pal, pal_before);
  EXPECT_EQ(PictureColours(), picture_before);
  EXPECT_EQ(rig_.s().PrevIndex, 0);
  EXPECT_EQ(rig_.s().CurIndex, 40);
  EXPECT_EQ(rig_.Find<QLabel>("LabelHistCnt")->text(), count_before);

  rig_.colours.answer = PackRGB(RGBTriple{1, 2, 3});
  rig_.DoubleClick(5);
  EXPECT_EQ(BoardColours()[5], qRgb(1, 2, 3));
  EXPECT_EQ(rig_.s().CurIndex, 5);
  // Pixel (2, 1) uses entry 5: the picture follows the new colour.
  ASSERT_EQ(picture_.At(2, 1), 5);
  EXPECT_EQ(rig_.form.PictureWindow()->Picture1()->ShownColour(2, 1), qRgb(1, 2, 3));
}

TEST_F(FormWithPicture, SecondClickOnASwatchOpensTheDialogOnce) {
  // A press that follows a click on the same swatch edits the colour instead of
  // starting a drag, and the double-click event of that press is not a second edit.
  const int interval = QApplication::doubleClickInterval();
  QApplication::setDoubleClickInterval(60000);  // a slow machine must not start a drag
  rig_.colours.answer = PackRGB(RGBTriple{9, 8, 7});
  rig_.Drop(12, 12);  // what a click delivers
  SwatchWidget* swatch = rig_.form.Swatch(12);
  const QPointF at(4, 4);
  QMouseEvent press(QEvent::MouseButtonPress, at, swatch->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(swatch, &press);
  EXPECT_EQ(rig_.colours.asked, 1);
  rig_.DoubleClick(12);
  EXPECT_EQ(rig_.colours.asked, 1);
  EXPECT_EQ(rig_.editor.SwatchShownColour(12), (RGBTriple{9, 8, 7}));
  // A later double click on its own opens the dialog again.
  rig_.DoubleClick(12);
  EXPECT_EQ(rig_.colours.asked, 2);
  QApplication::setDoubleClickInterval(interval);
}

TEST_F(FormWithPicture, TestButtonRunsTheCycleTimer) {
  QAbstractButton* test = rig_.Find<QAbstractButton>("ButtonTest");
  test->click();
  EXPECT_TRUE(rig_.form.TimerColor()->isActive());
  EXPECT_EQ(test->text(), "Stop");
  rig_.Find<QScrollBar>("HScrollSpeed")->setValue(40);
  EXPECT_EQ(rig_.form.TimerColor()->interval(), 40);
  // Ticks through the event loop recolour entries 196..235 of the picture's colours.
  rig_.Find<QListWidget>("ListScheme")->setCurrentRow(2);
  EXPECT_EQ(rig_.s().CycleScheme, 2);
  const QImage& image = rig_.form.PictureWindow()->Picture1()->Image();
  const QRgb entry_200 = image.color(200);
  const QRgb entry_100 = image.color(100);
  ASSERT_EQ(entry_200, Rgb(picture_.palette[200]));
  QTest::qWait(150);
  EXPECT_NE(image.color(200), entry_200);
  EXPECT_EQ(image.color(100), entry_100);
  test->click();
  EXPECT_FALSE(rig_.form.TimerColor()->isActive());
  EXPECT_EQ(test->text(), "Test");
}

TEST_F(FormWithPicture, QuitClosesBothWindows) {
  rig_.form.show();
  ASSERT_TRUE(rig_.form.PictureWindow()->isVisible());
  rig_.Click("ButtonQuit");
  EXPECT_FALSE(rig_.form.isVisible());
  EXPECT_FALSE(rig_.form.PictureWindow()->isVisible());
}

TEST_F(FormWithPicture, FailedLoadIsReportedAndKeepsThePicture) {
  const auto picture_before = PictureColours();
  const std::string broken = dir_.File("broken.pcx");
  {
    std::FILE* f = std::fopen(broken.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a picture", f);
    std::fclose(f);
  }
  rig_.LoadPicture(broken);
  ASSERT_EQ(rig_.errors.messages.size(), 1u);
  EXPECT_NE(rig_.errors.messages[0].find("broken.pcx"), std::string::npos);
  EXPECT_EQ(PictureColours(), picture_before);
  // A cancelled dialog says nothing.
  rig_.Click("ButtonLoad");
  EXPECT_EQ(rig_.errors.messages.size(), 1u);
}

TEST(RubberBand, PressMoveReleaseOnTheSurfaceDrawsAndRemovesOneBox) {
  Rig rig;
  rig.form.show();
  const QImage before = rig.form.grab().toImage();
  const QPoint gap(21, 30);  // between swatch 0 and swatch 16, inside the board
  ASSERT_EQ(rig.form.childAt(gap), nullptr);

  rig.Mouse(QEvent::MouseButtonPress, gap, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 1);
  EXPECT_FLOAT_EQ(rig.s().BandX0, 315.0f);
  EXPECT_FLOAT_EQ(rig.s().BandY0, 450.0f);
  rig.Mouse(QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 1);  // the old box went, the new one came
  const QImage during = rig.form.grab().toImage();
  // Exclusive-or with white inverts what lies below the box's edge.
  EXPECT_EQ(during.pixel(60, 30) & 0xFFFFFF, ~before.pixel(60, 30) & 0xFFFFFF);
  EXPECT_EQ(during.pixel(60, 60), before.pixel(60, 60));

  rig.Mouse(QEvent::MouseButtonRelease, QPoint(100, 100), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 0);
  EXPECT_EQ(rig.form.grab().toImage(), before);
}

TEST(RubberBand, OtherButtonsControlsAndOutsideTheBoardDrawNothing) {
  Rig rig;
  rig.Mouse(QEvent::MouseButtonPress, QPoint(21, 30), Qt::RightButton, Qt::RightButton);
  rig.Mouse(QEvent::MouseMove, QPoint(90, 90), Qt::NoButton, Qt::RightButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 0);
  rig.Mouse(QEvent::MouseButtonRelease, QPoint(90, 90), Qt::RightButton, Qt::NoButton);

  // Below the board: no box, and no box while dragging from there either.
  rig.Mouse(QEvent::MouseButtonPress, QPoint(300, 430), Qt::LeftButton, Qt::LeftButton);
  rig.Mouse(QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(rig.form.Overlay()->BoxCount(), 0);
  rig.Mouse(QEvent::MouseButtonRelease, QPoint(50, 50), Qt::LeftButton, Qt::NoButton);

  // Over a control the window's surface is not pressed at all.
  const QPoint on_label = rig.Find("LabelLL")->geometry().center();
  rig.s().BandX0 = 7;
  rig.Mouse(QEvent::MouseButtonPress, on_label, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FLOAT_EQ(rig.s().BandX0, 7.0f);
}

TEST(PictureWindow, PictureLargerThanTheWindowScrolls) {
  Rig rig;
  TempDir dir;
  SamplePicture picture;
  picture.width = 500;
  picture.height = 300;
  picture.pixels.assign(500 * 300, 3);
  ASSERT_TRUE(picture.Write(dir.File("wide.pcx")));
  rig.LoadPicture(dir.File("wide.pcx"));
  FormPic* pic = rig.form.PictureWindow();
  EXPECT_EQ(pic->size(), QSize(312, 213));  // the window keeps its size
  EXPECT_EQ(pic->Picture1()->size(), QSize(500, 300));
  EXPECT_GT(pic->ScrollArea()->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(pic->ScrollArea()->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(pic->Picture1()->ShownColour(499, 299), Rgb(picture.palette[3]));
}

TEST(PaletteDisplay, SwatchesShowThePictureWindowsPalette) {
  Rig rig(256);
  EXPECT_TRUE(rig.Find<QCheckBox>("CheckHW")->isChecked());
  TempDir dir;
  SamplePicture picture;
  ASSERT_TRUE(picture.Write(dir.File("p.pcx")));
  rig.LoadPicture(dir.File("p.pcx"));
  rig.form.show();
  const QImage swatch = rig.form.Swatch(12)->grab().toImage();
  EXPECT_EQ(swatch.pixel(3, 3), Rgb(picture.palette[12]));
}

}  // namespace
}  // namespace hw::qttest
