#include "edit/moves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>

#include "fake_board.h"

namespace hw {
namespace {

using test::Colours;
using test::Maps;
using V = std::vector<int>;
using Steps = std::vector<std::string>;
using Changes =
    std::vector<std::pair<int, V>>;  // runs of entries from a position; elsewhere untouched

TEST(ParseMoveCount, LeadingDecimalRoundedHalfToEvenWithinSixteenBits) {
  const std::optional<int16_t> refused;
  const std::pair<std::string, std::optional<int16_t>> cases[] = {
      // clang-format off
      {"1", 1}, {"0", 0}, {"-3", -3}, {"+4", 4}, {"  7x", 7}, {"12.5.3", 12}, {"1e3", 1},
      {"2.5", 2}, {"3.5", 4}, {"2.50", 2}, {"2.501", 3}, {"2.49999", 2}, {"-2.5", -2},
      {"-3.5", -4}, {".6", 1}, {"5.", 5},
      {"", 0}, {"abc", 0}, {"-", 0}, {"+", 0}, {".", 0}, {" ", 0}, {"x12", 0}, {"- 3", 0},
      {"32767", 32767}, {"-32768", -32768}, {"32767.5", refused}, {"32768", refused},
      {"-32769", refused}, {std::string(400, '9'), refused},
      // clang-format on
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(ParseMoveCount(text), want) << text;
}

class Moves : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetBoard(s); }
  void Drop(int16_t target, int16_t source, const char* count) {
    s.ui.TextMoveCount = count;
    DropBlot(s, ops, target, source);
  }
  void Undo() { UndoMove(s, ops); }
  // Colours and map agree, and equal the start-up board with `changes` applied.
  void ExpectBoard(const Changes& changes) {
    V want(256);
    std::iota(want.begin(), want.end(), 0);
    for (const auto& [first, run] : changes)
      std::copy(run.begin(), run.end(), want.begin() + first);
    EXPECT_EQ(Colours(s, 0, 256), want);
    EXPECT_EQ(Maps(s, 0, 256), want);
  }
  void ExpectMarks(int prev, int cur) {
    EXPECT_EQ(s.PrevIndex, prev);
    EXPECT_EQ(s.CurIndex, cur);
  }

  EditorState s;
  test::FakeBoard ops{s};
};

TEST_F(Moves, RunsAreExchangedAndUndone) {
  const struct {
    int16_t target, source;
    const char* count;
    Changes after;
    std::optional<Changes> undone;  // the board after "Undo", when checked
  } cases[] = {
      // clang-format off
      {20, 10, "3", {{10, {20, 21, 22}}, {20, {10, 11, 12}}}, Changes{}},
      {13, 10, "3", {{10, {13, 14, 15, 10, 11, 12}}}, Changes{}},  // A..F -> D E F A B C
      // Overlapping runs follow the fixed order of swaps, A..G -> G F A B C D E, and
      // the undo does not restore them: E D G F A B C.
      {12, 10, "5", {{10, {16, 15, 10, 11, 12, 13, 14}}},
                    Changes{{10, {14, 13, 16, 15, 10, 11, 12}}}},
      {10, 12, "5", {{10, {16, 15, 10, 11, 12, 13, 14}}}, std::nullopt},
      // Clipped at the end of the table.
      {0, 250, "10", {{0, {250, 251, 252, 253, 254, 255, 6, 7, 8, 9}}, {250, {0, 1, 2, 3, 4, 5}}},
                     Changes{}},
      // Fractional counts round half to even.
      {20, 10, "2.5", {{10, {20, 21}}, {20, {10, 11}}}, Changes{}},
      {20, 10, "3.5", {{10, {20, 21, 22, 23}}, {20, {10, 11, 12, 13}}}, Changes{}},
      // Counts of zero or less move only the marks.
      {20, 10, "0", {}, Changes{}}, {20, 10, "-3", {}, Changes{}}, {20, 10, "abc", {}, Changes{}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.source) + " on " + std::to_string(c.target) + " x" + c.count);
    test::ResetBoard(s);
    ops.Clear();
    Drop(c.target, c.source, c.count);
    ExpectBoard(c.after);
    ExpectMarks(c.source, c.target);
    EXPECT_EQ(std::tuple(s.LastSrc, s.LastDst), std::tuple(c.source, c.target));
    EXPECT_EQ(ops.follow_up, (Steps{"remap", "realize"}));
    EXPECT_TRUE(std::all_of(ops.repaints.begin(), ops.repaints.end(),
                            [](int i) { return i >= 0 && i < 256; }));
    Undo();
    if (c.undone) ExpectBoard(*c.undone);
    // After an undo both fields of the record hold the undone move's destination.
    EXPECT_EQ(std::tuple(s.LastSrc, s.LastDst), std::tuple(c.target, c.target));
    ExpectMarks(c.target, c.source);
  }
}

TEST_F(Moves, RefusedCountsDoNothingAtAll) {
  s.PrevIndex = 4, s.CurIndex = 3, s.LastSrc = 5, s.LastDst = 6;
  // "99999" leaves 16 bits itself; the others overflow Src + count or Dst + count.
  for (const char* count : {"99999", "32767", "32760"}) {
    Drop(20, 10, count);
    ExpectBoard({});
    ExpectMarks(4, 3);
    EXPECT_EQ(std::tuple(s.LastSrc, s.LastDst), std::tuple(5, 6));
    EXPECT_TRUE(ops.repaints.empty() && ops.follow_up.empty()) << count;
  }
  Drop(20, 10, "32500");  // only just fits: taken and clipped to the table
  ExpectMarks(10, 20);
  EXPECT_EQ(Colours(s, 255, 1), V{245});
}

TEST_F(Moves, CheckBoxesChooseWhatMoves) {
  // "Index" and "Color" each alone, and a value other than 1, which counts as unticked.
  for (auto [index, colour, colour_at_10, map_at_10] :
       {std::tuple{0, 1, 20, 10}, {1, 0, 10, 20}, {2, 0, 10, 10}}) {
    test::ResetBoard(s);
    s.ui.CheckMoveIndex = index;
    s.ui.CheckMoveColor = colour;
    ops.Clear();
    Drop(20, 10, "1");
    EXPECT_EQ(Colours(s, 10, 1), V{colour_at_10});
    EXPECT_EQ(Maps(s, 10, 1), V{map_at_10});
    EXPECT_EQ(Maps(s, 20, 1), V{map_at_10 == 20 ? 10 : 20});
    ExpectMarks(10, 20);
    EXPECT_EQ(ops.follow_up, (Steps{"remap", "realize"}));
  }
}

TEST_F(Moves, UndoTwiceBeforeAnyMoveOrWithANewCount) {
  s.PrevIndex = 50, s.CurIndex = 40;
  Undo();  // before any move: the marks go to 0, nothing else changes
  ExpectBoard({});
  ExpectMarks(0, 0);
  Drop(20, 10, "3");
  Undo();
  Undo();
  ExpectBoard({});
  // The undo reads the count as it now stands.
  Drop(20, 10, "3");
  s.ui.TextMoveCount = "1";
  Undo();
  ExpectBoard({{11, {21, 22}}, {21, {11, 12}}});
}

TEST_F(Moves, DropOnItselfSelectsAndThePictureIsRefreshedOnlyOnceLoaded) {
  Drop(33, 33, "3");
  EXPECT_EQ(ops.usage_shown, (std::vector<int16_t>{33}));
  EXPECT_TRUE(ops.follow_up.empty());
  ExpectBoard({});
  Drop(20, 10, "1");
  Undo();
  EXPECT_EQ(ops.follow_up, (Steps{"remap", "realize", "remap", "realize"}));
  s.PicLoaded = kTrue;
  ops.Clear();
  Drop(20, 10, "1");
  Undo();
  EXPECT_EQ(ops.follow_up, (Steps{"remap", "realize", "refresh", "remap", "realize", "refresh"}));
}

class Reverse : public Moves {
 protected:
  void ReverseBetween(int16_t prev, int16_t cur) {
    test::ResetBoard(s);
    s.PrevIndex = prev;
    s.CurIndex = cur;
    ops.Clear();
    ReverseRange(s, ops);
  }
};

TEST_F(Reverse, ReversesTheRangeInEitherOrderOfMarks) {
  const struct {
    int16_t prev, cur;
    Changes after;
  } cases[] = {
      // clang-format off
      {10, 13, {{10, {13, 12, 11, 10}}}}, {14, 10, {{10, {14, 13, 12, 11, 10}}}},
      {11, 10, {{10, {11, 10}}}}, {7, 7, {}},
      // clang-format on
  };
  for (const auto& c : cases) {
    ReverseBetween(c.prev, c.cur);
    ExpectBoard(c.after);
    ExpectMarks(std::max(c.prev, c.cur), std::min(c.prev, c.cur));
  }
  ReverseBetween(0, 255);
  V all(256);
  std::iota(all.rbegin(), all.rend(), 0);
  ExpectBoard({{0, all}});
  EXPECT_EQ(ops.follow_up, (Steps{"remap", "realize"}));  // remapped once

  s.ui.CheckMoveColor = 0;  // index only: the map alone is reversed
  ReverseBetween(20, 23);
  EXPECT_EQ(Maps(s, 20, 4), (V{23, 22, 21, 20}));
  EXPECT_EQ(Colours(s, 20, 4), (V{20, 21, 22, 23}));
}

TEST_F(Reverse, UndoExchangesOnlyTheLastPairBack) {
  ReverseBetween(10, 13);
  Undo();
  ExpectBoard({{10, {13, 11, 12, 10}}});
  ReverseBetween(10, 14);  // the last pair is the middle entry with itself
  Undo();
  ExpectBoard({{10, {14, 13, 12, 11, 10}}});
}

}  // namespace
}  // namespace hw
