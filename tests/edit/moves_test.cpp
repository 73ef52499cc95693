#include "edit/moves.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_board.h"

namespace hw {
namespace {

using test::Colours;
using test::FakeBoard;
using test::Maps;
using V = std::vector<int>;

TEST(ParseMoveCount, ReadsTheLeadingDecimalRoundedHalfToEven) {
  EXPECT_EQ(ParseMoveCount("1"), 1);
  EXPECT_EQ(ParseMoveCount("0"), 0);
  EXPECT_EQ(ParseMoveCount("-3"), -3);
  EXPECT_EQ(ParseMoveCount("+4"), 4);
  EXPECT_EQ(ParseMoveCount("  7x"), 7);
  EXPECT_EQ(ParseMoveCount("12.5.3"), 12);
  EXPECT_EQ(ParseMoveCount("1e3"), 1);
  EXPECT_EQ(ParseMoveCount("2.5"), 2);
  EXPECT_EQ(ParseMoveCount("3.5"), 4);
  EXPECT_EQ(ParseMoveCount("2.50"), 2);
  EXPECT_EQ(ParseMoveCount("2.501"), 3);
  EXPECT_EQ(ParseMoveCount("2.49999"), 2);
  EXPECT_EQ(ParseMoveCount("-2.5"), -2);
  EXPECT_EQ(ParseMoveCount("-3.5"), -4);
  EXPECT_EQ(ParseMoveCount(".6"), 1);
  EXPECT_EQ(ParseMoveCount("5."), 5);
}

TEST(ParseMoveCount, TextWithoutANumberCountsZero) {
  for (const char* text : {"", "abc", "-", "+", ".", " ", "x12", "- 3"}) {
    EXPECT_EQ(ParseMoveCount(text), 0) << text;
  }
}

TEST(ParseMoveCount, RefusesValuesOutsideSixteenBits) {
  EXPECT_EQ(ParseMoveCount("32767"), 32767);
  EXPECT_EQ(ParseMoveCount("-32768"), -32768);
  EXPECT_EQ(ParseMoveCount("32767.5"), std::nullopt);  // rounds to 32768
  EXPECT_EQ(ParseMoveCount("32768"), std::nullopt);
  EXPECT_EQ(ParseMoveCount("-32769"), std::nullopt);
  EXPECT_EQ(ParseMoveCount(std::string(400, '9')), std::nullopt);
}

class Moves : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetBoard(s); }

  void Drop(int16_t target, int16_t source, const char* count) {
    s.ui.TextMoveCount = count;
    DropBlot(s, ops, target, source);
  }
  void Undo() { UndoMove(s, ops); }
  // Colour and map agree and equal `expected` from `first` on.
  void ExpectEntries(int first, const V& expected) {
    EXPECT_EQ(Colours(s, first, static_cast<int>(expected.size())), expected);
    EXPECT_EQ(Maps(s, first, static_cast<int>(expected.size())), expected);
  }
  void ExpectUntouchedOutside(int lo, int hi) {
    for (int k = 0; k < 256; ++k) {
      if (k >= lo && k <= hi) continue;
      ASSERT_EQ(test::ColourEntry(s, k), k) << k;
      ASSERT_EQ(test::MapEntry(s, k), k) << k;
    }
  }

  EditorState s;
  FakeBoard ops{s};
};

TEST_F(Moves, SeparateRunsAreExchangedAndUndone) {
  Drop(20, 10, "3");
  ExpectEntries(10, {20, 21, 22});
  ExpectEntries(20, {10, 11, 12});
  ExpectUntouchedOutside(10, 22);
  EXPECT_EQ(s.CurIndex, 20);
  EXPECT_EQ(s.PrevIndex, 10);
  EXPECT_EQ(s.LastSrc, 10);
  EXPECT_EQ(s.LastDst, 20);
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize"}));

  Undo();
  ExpectUntouchedOutside(-1, -1);
  // After an undo both fields of the record hold the undone move's destination.
  EXPECT_EQ(s.LastSrc, 20);
  EXPECT_EQ(s.LastDst, 20);
  EXPECT_EQ(s.CurIndex, 10);
  EXPECT_EQ(s.PrevIndex, 20);
}

TEST_F(Moves, TouchingRunsKeepTheirOrder) {
  Drop(13, 10, "3");
  ExpectEntries(10, {13, 14, 15, 10, 11, 12});  // A..F -> D E F A B C
  Undo();
  ExpectUntouchedOutside(-1, -1);
}

TEST_F(Moves, OverlappingRunsFollowTheFixedOrderOfSwaps) {
  Drop(12, 10, "5");
  ExpectEntries(10, {16, 15, 10, 11, 12, 13, 14});  // A..G -> G F A B C D E
  Undo();  // the undo does not restore overlapping runs
  ExpectEntries(10, {14, 13, 16, 15, 10, 11, 12});  // E D G F A B C

  test::ResetBoard(s);
  Drop(10, 12, "5");
  ExpectEntries(10, {16, 15, 10, 11, 12, 13, 14});
}

TEST_F(Moves, RunsAreClippedAtTheEndOfTheTable) {
  Drop(0, 250, "10");
  ExpectEntries(0, {250, 251, 252, 253, 254, 255, 6, 7, 8, 9});
  ExpectEntries(250, {0, 1, 2, 3, 4, 5});
  ExpectUntouchedOutside(0, 255);
  EXPECT_FALSE(ops.out_of_board_repaint);
}

TEST_F(Moves, CountsOfZeroOrLessMoveOnlyTheMarks) {
  for (const char* count : {"0", "-3", "abc"}) {
    test::ResetBoard(s);
    ops.Clear();
    Drop(20, 10, count);
    ExpectUntouchedOutside(-1, -1);
    EXPECT_EQ(s.CurIndex, 20) << count;
    EXPECT_EQ(s.PrevIndex, 10) << count;
    EXPECT_EQ(s.LastSrc, 10);
    EXPECT_EQ(s.LastDst, 20);
    EXPECT_NE(std::find(ops.repaints.begin(), ops.repaints.end(), 20), ops.repaints.end());
    EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize"}));
  }
}

TEST_F(Moves, FractionalCountsRoundHalfToEven) {
  Drop(20, 10, "2.5");
  ExpectEntries(10, {20, 21, 12});
  test::ResetBoard(s);
  Drop(20, 10, "3.5");
  ExpectEntries(10, {20, 21, 22, 23, 14});
}

TEST_F(Moves, RefusedCountsDoNothingAtAll) {
  s.CurIndex = 3;
  s.PrevIndex = 4;
  s.LastSrc = 5;
  s.LastDst = 6;
  // "99999" leaves 16 bits itself; the others overflow Src + count or Dst + count.
  for (const char* count : {"99999", "32767", "32760"}) {
    ops.Clear();
    Drop(20, 10, count);
    ExpectUntouchedOutside(-1, -1);
    EXPECT_EQ(s.CurIndex, 3) << count;
    EXPECT_EQ(s.PrevIndex, 4);
    EXPECT_EQ(s.LastSrc, 5);
    EXPECT_EQ(s.LastDst, 6);
    EXPECT_TRUE(ops.repaints.empty());
    EXPECT_TRUE(ops.follow_up.empty());
  }
  // A count that only just fits is taken (and clipped to the table).
  ops.Clear();
  Drop(20, 10, "32500");
  EXPECT_EQ(s.CurIndex, 20);
  EXPECT_EQ(s.PrevIndex, 10);
  EXPECT_EQ(test::ColourEntry(s, 255), 245);
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize"}));
}

TEST_F(Moves, CheckBoxesChooseWhatMoves) {
  s.ui.CheckMoveIndex = 0;
  Drop(20, 10, "1");
  EXPECT_EQ(test::ColourEntry(s, 10), 20);
  EXPECT_EQ(test::MapEntry(s, 10), 10);

  test::ResetBoard(s);
  s.ui.CheckMoveIndex = 1;
  s.ui.CheckMoveColor = 0;
  Drop(20, 10, "1");
  EXPECT_EQ(test::ColourEntry(s, 10), 10);
  EXPECT_EQ(test::MapEntry(s, 10), 20);
  EXPECT_EQ(test::MapEntry(s, 20), 10);

  test::ResetBoard(s);
  s.ui.CheckMoveIndex = 2;  // only 1 counts as ticked
  s.ui.CheckMoveColor = 0;
  ops.Clear();
  Drop(20, 10, "1");
  ExpectUntouchedOutside(-1, -1);
  EXPECT_EQ(s.CurIndex, 20);
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize"}));
}

TEST_F(Moves, UndoTwiceOrBeforeAnyMoveChangesNothing) {
  Drop(20, 10, "3");
  Undo();
  Undo();
  ExpectUntouchedOutside(-1, -1);

  test::ResetBoard(s);
  s.CurIndex = 40;
  s.PrevIndex = 50;
  Undo();
  ExpectUntouchedOutside(-1, -1);
  EXPECT_EQ(s.CurIndex, 0);
  EXPECT_EQ(s.PrevIndex, 0);
}

TEST_F(Moves, UndoReadsTheCountAsItNowStands) {
  Drop(20, 10, "3");
  s.ui.TextMoveCount = "1";
  Undo();
  ExpectEntries(10, {10, 21, 22});
  ExpectEntries(20, {20, 11, 12});
}

TEST_F(Moves, DropOnItselfSelectsTheEntry) {
  Drop(33, 33, "3");
  EXPECT_EQ(ops.usage_shown, (std::vector<int16_t>{33}));
  EXPECT_TRUE(ops.follow_up.empty());
  ExpectUntouchedOutside(-1, -1);
}

TEST_F(Moves, ThePictureIsRefreshedOnlyOnceLoaded) {
  Drop(20, 10, "1");
  Undo();
  EXPECT_EQ(std::count(ops.follow_up.begin(), ops.follow_up.end(), "refresh"), 0);
  s.PicLoaded = kTrue;
  ops.Clear();
  Drop(20, 10, "1");
  Undo();
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize", "refresh", "remap",
                                                     "realize", "refresh"}));
}

// Reverse range.

class Reverse : public Moves {
 protected:
  void ReverseBetween(int16_t prev, int16_t cur) {
    s.PrevIndex = prev;
    s.CurIndex = cur;
    ops.Clear();
    ReverseRange(s, ops);
  }
};

TEST_F(Reverse, ReversesEvenAndOddRangesInEitherOrderOfMarks) {
  ReverseBetween(10, 13);
  ExpectEntries(10, {13, 12, 11, 10});
  ExpectUntouchedOutside(10, 13);
  EXPECT_EQ(s.CurIndex, 10);
  EXPECT_EQ(s.PrevIndex, 13);

  test::ResetBoard(s);
  ReverseBetween(14, 10);
  ExpectEntries(10, {14, 13, 12, 11, 10});
  EXPECT_EQ(s.CurIndex, 10);
  EXPECT_EQ(s.PrevIndex, 14);

  test::ResetBoard(s);
  ReverseBetween(11, 10);
  ExpectEntries(10, {11, 10});
}

TEST_F(Reverse, SameEntryChangesNothing) {
  ReverseBetween(7, 7);
  ExpectUntouchedOutside(-1, -1);
  EXPECT_EQ(s.CurIndex, 7);
  EXPECT_EQ(s.PrevIndex, 7);
}

TEST_F(Reverse, WholeTableRemapsOnce) {
  ReverseBetween(0, 255);
  for (int k = 0; k < 256; ++k) {
    ASSERT_EQ(test::ColourEntry(s, k), 255 - k);
    ASSERT_EQ(test::MapEntry(s, k), 255 - k);
  }
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize"}));
}

TEST_F(Reverse, IndexOnlyReversesTheMap) {
  s.ui.CheckMoveColor = 0;
  ReverseBetween(20, 23);
  EXPECT_EQ(Maps(s, 20, 4), (V{23, 22, 21, 20}));
  EXPECT_EQ(Colours(s, 20, 4), (V{20, 21, 22, 23}));
}

TEST_F(Reverse, UndoExchangesOnlyTheLastPairBack) {
  ReverseBetween(10, 13);
  Undo();
  ExpectEntries(10, {13, 11, 12, 10});
  test::ResetBoard(s);
  ReverseBetween(10, 14);  // the last pair is the middle entry with itself
  Undo();
  ExpectEntries(10, {14, 13, 12, 11, 10});
}

}  // namespace
}  // namespace hw
