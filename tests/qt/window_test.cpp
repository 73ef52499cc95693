// The main window and picture window driven the way a user drives them: drags and
// drops on the board, and the question before unsaved changes would be lost.
#include <QAction>
#include <QComboBox>
#include <QTimer>
#include <filesystem>

#include "qt/banks_panel.h"
#include "qt/cycle_panel.h"
#include "qt_fakes.h"

namespace hw::test {
namespace {

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 240; ++k) pixels_.push_back(static_cast<uint8_t>((k * 7 + k / 24) % 40));
    WritePicture(path_, 24, 10, pixels_, DistinctPalette());
    rig_.LoadPicture(path_);
    ASSERT_TRUE(rig_.editor.PictureLoaded());
    rig_.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig_.form));
  }
  std::vector<QRgb> PictureColours() {
    std::vector<QRgb> out;
    for (int k = 0; k < 240; ++k)
      out.push_back(rig_.form.picture_window()->View()->ShownColour(k % 24, k / 24));
    return out;
  }
  std::tuple<int, int> Marks() { return {rig_.editor.Board().prev, rig_.editor.Board().cur}; }

  TempDir dir_;
  std::string path_ = dir_.File("sample.pcx");
  Bytes pixels_;
  FormRig rig_;
};

TEST_F(Window, DropExchangesEntriesAndTheButtonsUndoAndRedoIt) {
  const Palette before = rig_.BoardColours();
  const auto picture = PictureColours();
  rig_.Drop(5, 9);  // swatch 9 dropped on swatch 5; colours and indices move together
  const BoardState& b = rig_.editor.Board();
  EXPECT_EQ(std::tuple(rig_.BoardColours()[5], rig_.BoardColours()[9], PictureColours()),
            std::tuple(before[9], before[5], picture));
  EXPECT_EQ(std::tuple(b.map[5], b.map[9], b.prev, b.cur), std::tuple(9, 5, 9, 5));
  // The Edit menu and the buttons' tooltips name the step; the captions stay.
  const auto history = [this] {
    auto* undo = rig_.Find<QAbstractButton>("ButtonUndo");
    auto* redo = rig_.Find<QAbstractButton>("ButtonRedo");
    return std::tuple(rig_.form.Action("actionUndo")->text(), undo->toolTip(), undo->text(),
                      rig_.form.Action("actionRedo")->text(), redo->toolTip(), redo->text());
  };
  EXPECT_EQ(history(), std::tuple("Undo Swap", "Undo Swap", "Undo", "Redo", "Redo", "Redo"));
  rig_.Click("ButtonUndo");
  EXPECT_EQ(std::tuple(rig_.BoardColours(), b.map[5], rig_.Find("ButtonUndo")->isEnabled()),
            std::tuple(before, 5, false));
  EXPECT_EQ(history(), std::tuple("Undo", "Undo", "Undo", "Redo Swap", "Redo Swap", "Redo"));
  rig_.Click("ButtonRedo");
  EXPECT_EQ(std::tuple(rig_.BoardColours()[5], rig_.Find("ButtonRedo")->isEnabled()),
            std::tuple(before[9], false));
  rig_.editor.ReduceColours(8);
  rig_.form.Action("actionUndo")->trigger();
  EXPECT_EQ(rig_.form.Action("actionRedo")->text(), "Redo Reduce Colours");
}

// A drop on itself and a click whose pointer wobbles less than the drag distance
// select; drops from another board and malformed payloads never reach the editor.
TEST_F(Window, ClicksSelectAndForeignDropsAreIgnored) {
  const Palette before = rig_.BoardColours();
  rig_.Drop(7, 7);
  rig_.Drop(30, 30);
  EXPECT_EQ(Marks(), std::tuple(7, 30));
  ASSERT_GT(QApplication::startDragDistance(), 4);
  SwatchCell* five = rig_.form.Swatch(5);
  rig_.SendMouse(five, QEvent::MouseButtonPress, QPointF(3, 3), Qt::LeftButton, Qt::LeftButton);
  rig_.SendMouse(five, QEvent::MouseMove, QPointF(7, 3), Qt::NoButton, Qt::LeftButton);
  rig_.SendMouse(five, QEvent::MouseButtonRelease, QPointF(7, 3), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Marks(), std::tuple(30, 5));
  const QByteArray stranger = "another-board";
  rig_.Drop(5, 9, &stranger);
  EXPECT_EQ(std::tuple(rig_.BoardColours(), Marks()), std::tuple(before, std::tuple(30, 5)));
  QMimeData mime;
  for (const char* index : {"300", "x", "-1", "255"}) {
    mime.setData(kSwatchMimeType, rig_.form.BoardToken() + ":" + index);
    EXPECT_EQ(ParseSwatchMime(&mime, rig_.form.BoardToken()),
              *index == '2' ? std::optional<int>(255) : std::nullopt);
  }
}

// Quit, closing and "Load Pic..." with unsaved changes ask first: Save saves (failing,
// nothing is closed or replaced), Discard goes on, Cancel keeps everything.
TEST_F(Window, UnsavedChangesAreSavedDiscardedOrKeptAsAnswered) {
  const std::string other = dir_.File("other.pcx");
  WritePicture(other, 4, 4, Bytes(16, 1), DistinctPalette(2));
  enum Way { kQuit, kClose, kLoad };
  const std::tuple<Way, SaveAnswer, bool> cases[] = {
      {kQuit, SaveAnswer::Cancel, false},  {kQuit, SaveAnswer::Discard, false},
      {kQuit, SaveAnswer::Save, false},    {kQuit, SaveAnswer::Save, true},
      {kClose, SaveAnswer::Cancel, false}, {kClose, SaveAnswer::Discard, false},
      {kClose, SaveAnswer::Save, true},    {kLoad, SaveAnswer::Cancel, false},
      {kLoad, SaveAnswer::Discard, false}, {kLoad, SaveAnswer::Save, false},
      {kLoad, SaveAnswer::Save, true}};
  for (const auto& [way, answer, save_fails] : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "way " << way << " answer " << int(answer) << (save_fails ? " failing" : ""));
    FormRig rig;
    TempDir dir;
    const std::string path = dir.File("p.pcx");
    WritePicture(path, 24, 10, pixels_, DistinctPalette());
    rig.LoadPicture(path);
    rig.form.show();
    rig.Drop(5, 9);
    const Bytes changed = rig.editor.Pixels();
    if (save_fails) {  // a directory in the file's place: every save fails
      std::filesystem::remove(path);
      std::filesystem::create_directory(path);
    }
    rig.questions.save_answers = {answer};
    rig.files.opens.push_back(other);
    if (way == kQuit) rig.Click("ButtonQuit");
    if (way == kClose) rig.form.close();
    if (way == kLoad) rig.Click("ButtonLoad");

    EXPECT_EQ(std::tuple(rig.questions.save_asked,
                         std::filesystem::path(rig.questions.picture).filename().string()),
              std::tuple(1, "p.pcx"));
    EXPECT_EQ(rig.errors.messages.size(), save_fails ? 1u : 0u);
    if (answer == SaveAnswer::Cancel || save_fails) {
      EXPECT_EQ(std::tuple(rig.form.isVisible(), rig.editor.Modified(), rig.editor.Pixels()),
                std::tuple(true, true, changed));
      continue;
    }
    if (answer == SaveAnswer::Save) {
      EXPECT_EQ(LoadPictureFile(path)->pixels, changed);
    }
    EXPECT_EQ(rig.form.isVisible(), way == kLoad);
    EXPECT_EQ(rig.editor.PictureWidth(), way == kLoad ? 4 : 24);
  }
}

// View > Banks: a bank dragged onto another exchanges them keeping the look, in
// banks of 16 and of 4; a bank with a locked position is refused; Save Bank writes
// the chosen bank as a palette of that many entries.
TEST_F(Window, BanksPanelExchangesBanksByDragAndSavesOne) {
  struct Bank : FakeQuestions {
    BankChoice asked, answer{2, 4};
    std::optional<BankChoice> ChooseBank(const BankChoice& last) override {
      asked = last;
      return answer;
    }
  } question;
  FormRig& r = rig_;
  r.form.SetQuestions(&question);
  r.form.Action("actionBanks")->trigger();
  ASSERT_TRUE(r.form.Banks()->isVisible());
  BankGrid* grid = r.form.Banks()->Grid();
  const auto drag = [grid](int from, int onto) {
    QTest::mousePress(grid, Qt::LeftButton, {}, grid->BankCentre(from));
    QTest::mouseMove(grid, grid->BankCentre(onto));
    QTest::mouseRelease(grid, Qt::LeftButton, {}, grid->BankCentre(onto));
  };
  const Palette before = r.BoardColours();
  const auto picture = PictureColours();
  drag(0, 2);
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(r.BoardColours()[size_t(k)], before[size_t(32 + k)]) << k;
    EXPECT_EQ(r.BoardColours()[size_t(32 + k)], before[size_t(k)]) << k;
  }
  EXPECT_EQ(PictureColours(), picture);

  r.editor.SetMarks(40, 40);
  r.editor.LockRange(true);
  const Palette locked = r.BoardColours();
  drag(1, 2);
  EXPECT_EQ(r.BoardColours(), locked);
  ASSERT_FALSE(r.errors.messages.empty());
  EXPECT_HAS(r.errors.messages.back(), "position 40 is locked");

  r.Find<QComboBox>("BankSize")->setCurrentIndex(1);  // 64 banks of 4
  drag(0, 5);
  EXPECT_EQ(std::tuple(r.BoardColours()[0], r.BoardColours()[20]),
            std::tuple(locked[20], locked[0]));
  EXPECT_EQ(PictureColours(), picture);

  const std::string bank = dir_.File("bank.act");
  r.files.saves.push_back(bank);
  r.Click("SaveBank");
  EXPECT_EQ(std::tuple(question.asked.bank, question.asked.size), std::tuple(5, 4));
  auto saved = LoadAnyPaletteFile(bank);
  ASSERT_TRUE(saved) << saved.error().Text();
  ASSERT_EQ(saved->count, 4);
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(saved->entries[size_t(k)], r.editor.Board().entries[size_t(8 + k)]);
}

// View > Colour Cycling: ranges added and edited from the panel (steps of the
// history), Play and Stop on a key no other command has; playing moves the
// swatches, Stop shows board and picture exactly as before.
TEST_F(Window, CyclingPanelPlaysAndStopRestoresBoardAndPictureExactly) {
  FormRig& r = rig_;
  r.form.Action("actionColourCycling")->trigger();
  ASSERT_TRUE(r.form.Cycling()->isVisible());
  r.form.editor().SetMarks(7, 0);
  r.Click("CycleAdd");
  ASSERT_EQ(r.editor.Cycles().size(), 1u);
  EXPECT_EQ(r.editor.Cycles()[0], (CycleRange{0, 7, 16384, false, true}));
  r.form.Cycling()->SelectRange(0);
  r.Find<QComboBox>("CycleDirection")->setCurrentIndex(1);
  EXPECT_TRUE(r.editor.Cycles()[0].reverse);
  r.Click("CyclePreset");
  EXPECT_EQ(r.editor.Cycles().size(), 6u);
  r.Click("ButtonUndo");
  r.Click("ButtonUndo");
  EXPECT_EQ(r.editor.Cycles()[0], (CycleRange{0, 7, 16384, false, true}));

  // Ctrl+P belongs to Play alone.
  QAction* play = r.form.Action("actionPlayCycles");
  for (QAction* a : r.form.findChildren<QAction*>()) {
    if (a != play) {
      EXPECT_FALSE(a->shortcuts().contains(play->shortcut())) << a->objectName().toStdString();
    }
  }
  EXPECT_EQ(play->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

  QApplication::processEvents();
  const auto swatches = r.SwatchColours();
  const QImage picture = r.form.picture_window()->View()->grab().toImage();
  const BoardState board = r.editor.Board();
  QTest::keyClick(&r.form, Qt::Key_P, Qt::ControlModifier);
  ASSERT_TRUE(r.editor.PlayingRanges());
  EXPECT_EQ(r.Find<QAbstractButton>("CyclePlay")->text(), QStringLiteral("Stop"));
  r.clock.now += 3 * 1'000'000 / 60 + 1;  // three steps forward (what each shows: the
  QTest::qWait(60);                       // cycling tests' model); the timer reads the clock
  EXPECT_NE(r.SwatchColours(), swatches);
  EXPECT_EQ(r.editor.Board(), board);

  QTest::keyClick(&r.form, Qt::Key_P, Qt::ControlModifier);
  ASSERT_FALSE(r.editor.PlayingRanges());
  QApplication::processEvents();
  EXPECT_FALSE(r.form.CycleTimer()->isActive());
  EXPECT_EQ(r.SwatchColours(), swatches);
  EXPECT_EQ(r.form.picture_window()->View()->grab().toImage(), picture);
  EXPECT_EQ(r.Find<QAbstractButton>("CyclePlay")->text(), QStringLiteral("Play"));
  EXPECT_EQ(r.editor.Board(), board);
}

}  // namespace
}  // namespace hw::test
