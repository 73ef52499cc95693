#include "board/moves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string>

#include "board_util.h"

namespace hw {
namespace {

using test::Looks;
using test::Maps;
using test::Reds;
using V = std::vector<int>;
using Changes = std::vector<std::pair<int, V>>;  // runs of entries from a position

constexpr MoveWhat kBoth{true, true}, kIndex{true, false}, kColour{false, true},
    kNeither{false, false};

// The identity order with `changes` written over it.
V Order(const Changes& changes) {
  V want(256);
  std::iota(want.begin(), want.end(), 0);
  for (const auto& [first, run] : changes) std::copy(run.begin(), run.end(), want.begin() + first);
  return want;
}

V Descending() {
  V all = Order({});
  std::reverse(all.begin(), all.end());
  return all;
}

// With both boxes ticked the entries move and the picture keeps its look; each box
// alone moves only its half of the same result; neither moves only the marks.
TEST(MoveRun, RunsOfExchangesUnderEachChoiceOfBoxes) {
  const struct {
    int16_t dst, src, count;
    Changes after;
  } cases[] = {
      // clang-format off
      {20, 10, 3, {{10, {20, 21, 22}}, {20, {10, 11, 12}}}},
      {13, 10, 3, {{10, {13, 14, 15, 10, 11, 12}}}},           // A..F -> D E F A B C
      {12, 10, 5, {{10, {16, 15, 10, 11, 12, 13, 14}}}},       // A..G -> G F A B C D E
      {10, 12, 5, {{10, {16, 15, 10, 11, 12, 13, 14}}}},
      {0, 250, 10, {{0, {250, 251, 252, 253, 254, 255}}, {250, {0, 1, 2, 3, 4, 5}}}},  // clipped
      {20, 10, 0, {}}, {20, 10, -3, {}},
      // clang-format on
  };
  const BoardState start = test::Recognisable();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.src) + " on " + std::to_string(c.dst) + " x" +
                 std::to_string(c.count));
    BoardState both = start, index = start, colour = start, neither = start;
    ASSERT_TRUE(MoveRun(both, c.dst, c.src, c.count, kBoth));
    EXPECT_EQ(Reds(both), Order(c.after));
    EXPECT_EQ(Looks(both), Looks(start));
    EXPECT_EQ(std::tuple(both.prev, both.cur), std::tuple(c.src, c.dst));

    ASSERT_TRUE(MoveRun(index, c.dst, c.src, c.count, kIndex));
    ASSERT_TRUE(MoveRun(colour, c.dst, c.src, c.count, kColour));
    ASSERT_TRUE(MoveRun(neither, c.dst, c.src, c.count, kNeither));
    EXPECT_EQ(index.map, both.map);
    EXPECT_EQ(index.entries, start.entries);
    EXPECT_EQ(colour.entries, both.entries);
    EXPECT_EQ(colour.map, start.map);
    BoardState marks_only = start;
    marks_only.prev = c.src, marks_only.cur = c.dst;
    EXPECT_EQ(neither, marks_only);
  }
}

TEST(MoveRun, RefusedRunsChangeNothing) {
  BoardState b = test::Recognisable();
  b.prev = 4, b.cur = 3;
  const BoardState before = b;
  const std::tuple<int16_t, int16_t, int16_t> refused[] = {
      {20, 10, 32767}, {10, 20, 32760}, {20, 256, 1}, {-1, 10, 1}, {20, -5, 3}};
  for (const auto& [dst, src, count] : refused) {
    EXPECT_FALSE(MoveRun(b, dst, src, count, kBoth)) << dst << " " << src << " " << count;
    EXPECT_EQ(b, before);
  }
  EXPECT_TRUE(MoveRun(b, 20, 10, 32500, kBoth));  // only just fits: taken, clipped to the board
  EXPECT_EQ(Reds(b, 255, 1), V{245});
}

TEST(ReverseRange, ReversesBetweenTheMarksInEitherOrder) {
  const struct {
    int16_t prev, cur;
    Changes after;
  } cases[] = {{10, 13, {{10, {13, 12, 11, 10}}}},
               {14, 10, {{10, {14, 13, 12, 11, 10}}}},
               {11, 10, {{10, {11, 10}}}},
               {7, 7, {}},
               {0, 255, {{0, Descending()}}}};
  const BoardState start = test::Recognisable();
  for (const auto& c : cases) {
    BoardState b = start, index = start;
    b.prev = index.prev = c.prev;
    b.cur = index.cur = c.cur;
    ReverseRange(b, kBoth);
    EXPECT_EQ(Reds(b), Order(c.after)) << c.prev << ".." << c.cur;
    EXPECT_EQ(Looks(b), Looks(start));
    EXPECT_EQ(std::tuple(b.prev, b.cur),
              std::tuple(std::max(c.prev, c.cur), std::min(c.prev, c.cur)));
    ReverseRange(index, kIndex);  // the map alone: the entries stay
    EXPECT_EQ(index.map, b.map);
    EXPECT_EQ(index.entries, start.entries);
  }
}

}  // namespace
}  // namespace hw
