#include "board/sort.h"

#include <gtest/gtest.h>

#include <random>

#include "board_util.h"

namespace hw {
namespace {

using test::Looks;
using test::Reds;

constexpr MoveWhat kBoth{true, true};

HSVTriple Hsv(const BoardState& b, int k) {
  HSVTriple h;
  RGBToHSV(b.entries[static_cast<size_t>(k)].rgb, h);
  return h;
}

// Colours with many repeats, so every key meets ties.
BoardState Scrambled(uint32_t seed) {
  BoardState b = test::Recognisable();
  std::mt19937 gen(seed);
  for (auto& e : b.entries) {
    e.rgb = {static_cast<uint8_t>(gen() % 6 * 51), static_cast<uint8_t>(gen() % 4 * 85),
             static_cast<uint8_t>(gen() % 3 * 127)};
  }
  return b;
}

TEST(SortBoard, UsageSortsMostUsedFirstOrReversedLeastUsedFirstAndKeepsTies) {
  std::array<int64_t, 256> loaded{};
  for (size_t k = 0; k < 256; ++k) loaded[k] = static_cast<int64_t>(k * 37 % 11);
  const BoardState start = test::Recognisable();
  for (const bool reverse : {false, true}) {
    BoardState b = start;
    SortBoard(b, SortKey::Usage, reverse, kBoth, UsageByPosition(start.map, loaded));
    EXPECT_EQ(Looks(b), Looks(start));
    const UsageCounts usage = UsageByPosition(b.map, loaded);
    for (size_t k = 0; k < 255; ++k) {
      ASSERT_TRUE(reverse ? usage[k] <= usage[k + 1] : usage[k] >= usage[k + 1]) << k;
      if (usage[k] == usage[k + 1]) {
        ASSERT_LT(Reds(b)[k], Reds(b)[k + 1]) << "tie reordered at " << k;
      }
    }
    // Sorted already: one sweep, nothing moves.
    const BoardState sorted = b;
    EXPECT_EQ(SortBoard(b, SortKey::Usage, reverse, kBoth, usage), 1);
    EXPECT_EQ(b, sorted);
  }
}

// The keys are taken once and travel with the positions' exchanges, so the boxes
// change only what is moved, never which exchanges are made: a colour sort ends
// even when the colours stay put.
TEST(SortBoard, BoxesChooseWhatMovesNotTheOrder) {
  const BoardState start = Scrambled(7);
  UsageCounts usage{};
  for (size_t k = 0; k < 256; ++k) usage[k] = static_cast<int64_t>(k * 91 % 13);
  for (SortKey key : {SortKey::Usage, SortKey::Brightness, SortKey::Hue, SortKey::RedGreen}) {
    SCOPED_TRACE(static_cast<int>(key));
    BoardState both = start, index = start, colour = start, neither = start;
    const int sweeps = SortBoard(both, key, false, kBoth, usage);
    EXPECT_LT(sweeps, 257);
    EXPECT_EQ(SortBoard(index, key, false, {true, false}, usage), sweeps);
    EXPECT_EQ(SortBoard(colour, key, false, {false, true}, usage), sweeps);
    EXPECT_EQ(SortBoard(neither, key, false, {false, false}, usage), sweeps);
    EXPECT_EQ(std::tie(index.map, index.entries), std::tie(both.map, start.entries));
    EXPECT_EQ(std::tie(colour.map, colour.entries), std::tie(start.map, both.entries));
    EXPECT_EQ(neither, start);
  }
}

TEST(SortBoard, RgbIgnoresBlueAndHueSortPutsRedsAndGreysLast) {
  BoardState b = test::Recognisable();
  for (int k = 0; k < 256; ++k)
    b.entries[static_cast<size_t>(k)].rgb = {static_cast<uint8_t>(255 - k / 4), 0, 0};
  b.entries[100].rgb = {30, 9, 200};
  b.entries[101].rgb = {30, 9, 10};  // differs from 100 only in blue: stays right after it
  b.entries[102].rgb = {30, 5, 90};  // same red, less green: goes before both
  SortBoard(b, SortKey::RedGreen, false, kBoth, {});
  const auto pos = [&](int entry) { return b.map[static_cast<size_t>(entry)]; };
  EXPECT_EQ(pos(101), pos(100) + 1);
  EXPECT_LT(pos(102), pos(100));

  for (int k = 0; k < 256; ++k)
    b.entries[static_cast<size_t>(k)].rgb = {10, static_cast<uint8_t>(40 + k % 200), 200};
  b.entries[0].rgb = {255, 0, 0};      // H 0
  b.entries[1].rgb = {90, 90, 90};     // grey, H 0
  b.entries[2].rgb = {200, 200, 200};  // grey, H 0
  b.entries[3].rgb = {255, 0, 1};      // just short of the full circle: H 768
  SortBoard(b, SortKey::Hue, false, kBoth, {});
  EXPECT_EQ(Hsv(b, 0).H, 768);
  EXPECT_EQ(b.entries[253].rgb, (RGBTriple{255, 0, 0}));
  EXPECT_EQ(b.entries[254].rgb, (RGBTriple{200, 200, 200}));
  EXPECT_EQ(b.entries[255].rgb, (RGBTriple{90, 90, 90}));
}

TEST(SortBoard, ReverseInvertsColourKeysAndStopsOnTies) {
  BoardState b = test::Recognisable();  // reds ascending, all distinct
  EXPECT_EQ(SortBoard(b, SortKey::RedGreen, true, kBoth, {}), 256);
  for (int k = 0; k < 255; ++k) ASSERT_EQ(Reds(b)[k], 255 - k);
  b = test::Recognisable();
  b.entries[7].rgb = b.entries[8].rgb = {1, 2, 3};  // equal keys are exchanged in every sweep
  EXPECT_EQ(SortBoard(b, SortKey::RedGreen, true, kBoth, {}), 257);
}

}  // namespace
}  // namespace hw
