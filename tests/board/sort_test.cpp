#include "edit/sort.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_board.h"

namespace hw {
namespace {

class Sorting : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetBoard(s); }
  void SetColour(int k, uint8_t r, uint8_t g, uint8_t b) { s.BlotColour[k] = PackRGB({r, g, b}); }
  RGBTriple At(int k) const { return GetRGB(s.BlotColour[k]); }
  HSVTriple HsvAt(int k) const {
    HSVTriple h;
    RGBToHSV(At(k), h);
    return h;
  }
  // Colour and map still name the same as-loaded entry at every position.
  void ExpectColourAndMapTogether() {
    for (int k = 0; k < 256; ++k) ASSERT_EQ(s.BlotColour[k], original[s.IndexMap[k]]) << k;
  }
  void Remember() { original = s.BlotColour; }

  EditorState s;
  test::FakeBoard ops{s};
  std::array<PackedColour, 256> original{};
};

TEST_F(Sorting, UsageSortPutsTheMostUsedFirstAndKeepsTiesInOrder) {
  for (int k = 0; k < 256; ++k) ops.loaded_counts[k] = (k * 37) % 11;  // many ties
  Remember();
  SortOnHisto(s, ops);
  ExpectColourAndMapTogether();
  for (int k = 0; k < 255; ++k) {
    const int a = s.IndexMap[k], b = s.IndexMap[k + 1];
    ASSERT_GE(ops.loaded_counts[a], ops.loaded_counts[b]) << k;
    if (ops.loaded_counts[a] == ops.loaded_counts[b]) {
      ASSERT_LT(a, b) << "tie reordered at " << k;
    }
    ASSERT_EQ(s.Histo[k], ops.loaded_counts[a]);  // the counts moved with the entries
  }
  EXPECT_EQ(s.Histo[256], 0);
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"histo", "remap", "realize", "refresh"}));
}

TEST_F(Sorting, SortingTwiceChangesNothingTheSecondTime) {
  for (int k = 0; k < 256; ++k) ops.loaded_counts[k] = (k * 91 + 5) % 256;
  SortOnHisto(s, ops);
  const auto map = s.IndexMap;
  ops.Clear();
  EXPECT_EQ(SortOnHisto(s, ops), 1);
  EXPECT_EQ(s.IndexMap, map);
  EXPECT_TRUE(ops.repaints.empty());  // no exchange at all

  SortOnColor(s, ops, kSortRedGreen);
  const auto colours = s.BlotColour;
  ops.Clear();
  EXPECT_EQ(SortOnColor(s, ops, kSortRedGreen), 1);
  EXPECT_EQ(s.BlotColour, colours);
  EXPECT_TRUE(ops.repaints.empty());
}

TEST_F(Sorting, WhenNothingMovesEverySweepRuns) {
  for (int k = 0; k < 256; ++k) ops.loaded_counts[k] = k;  // fully reversed
  s.ui.CheckMoveColor = 0;
  s.ui.CheckMoveIndex = 0;
  Remember();
  EXPECT_EQ(SortOnHisto(s, ops), 256);
  EXPECT_EQ(s.Histo[0], 255);
  s.ui.CheckMoveIndex = 1;  // index only: colour keys never come into order
  SetColour(0, 0, 0, 0);
  SetColour(1, 255, 255, 255);
  Remember();
  EXPECT_EQ(SortOnColor(s, ops, kSortValueSat), 257);
  EXPECT_EQ(s.BlotColour, original);
}

TEST_F(Sorting, RgbSortOrdersByRedThenGreenAndIgnoresBlue) {
  for (int k = 0; k < 256; ++k) SetColour(k, static_cast<uint8_t>(255 - k / 4), 0, 0);
  SetColour(100, 30, 9, 200);
  SetColour(101, 30, 9, 10);  // differs from 100 only in blue: keeps its place after it
  SetColour(102, 30, 5, 90);  // same red, less green: goes before both
  Remember();
  SortOnColor(s, ops, kSortRedGreen);
  ExpectColourAndMapTogether();
  for (int k = 0; k < 255; ++k) {
    const RGBTriple a = At(k), b = At(k + 1);
    ASSERT_TRUE(a.R < b.R || (a.R == b.R && a.G <= b.G)) << k;
  }
  const auto pos = [&](int entry) {
    return std::find(s.IndexMap.begin(), s.IndexMap.end(), entry) - s.IndexMap.begin();
  };
  EXPECT_EQ(pos(101), pos(100) + 1);
  EXPECT_LT(pos(102), pos(100));
  EXPECT_EQ(ops.follow_up, (std::vector<std::string>{"remap", "realize", "refresh"}));
}

TEST_F(Sorting, HsvSortPutsRedsAndGreysLastByBrightness) {
  for (int k = 0; k < 256; ++k) SetColour(k, 10, static_cast<uint8_t>(40 + k % 200), 200);
  SetColour(0, 255, 0, 0);   // red, H 0
  SetColour(1, 90, 90, 90);  // grey, H 0
  SetColour(2, 200, 200, 200);
  SetColour(3, 255, 0, 1);  // a red just short of the full circle: H 768
  SetColour(4, 0, 255, 0);
  SortOnColor(s, ops, kSortHueValue);
  EXPECT_EQ(HsvAt(0).H, 768);
  for (int k = 0; k < 255; ++k) {
    const HSVTriple a = HsvAt(k), b = HsvAt(k + 1);
    ASSERT_TRUE(a.H > b.H || (a.H == b.H && a.V >= b.V)) << k;
  }
  EXPECT_EQ(At(253), (RGBTriple{255, 0, 0}));
  EXPECT_EQ(At(254), (RGBTriple{200, 200, 200}));
  EXPECT_EQ(At(255), (RGBTriple{90, 90, 90}));
}

TEST_F(Sorting, ReverseSortInvertsTheOrderAndRunsEverySweepOnTies) {
  s.ui.CheckReverseSort = 1;
  // Ascending distinct reds: each sweep carries the smallest left to its place.
  EXPECT_EQ(SortOnColor(s, ops, kSortRedGreen), 256);
  for (int k = 0; k < 255; ++k) ASSERT_GE(At(k).R, At(k + 1).R);
  test::ResetBoard(s);
  SetColour(7, 1, 2, 3);
  SetColour(8, 1, 2, 3);  // equal keys are exchanged in every sweep
  EXPECT_EQ(SortOnColor(s, ops, kSortRedGreen), 257);
}

}  // namespace
}  // namespace hw
