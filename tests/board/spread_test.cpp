#include "board/spread.h"

#include <gtest/gtest.h>

#include "board/moves.h"
#include "board_util.h"

namespace hw {
namespace {

class Spreading : public ::testing::Test {
 protected:
  void Set(int k, RGBTriple c) { b.entries[static_cast<size_t>(k)].rgb = c; }
  RGBTriple At(int k) const { return b.entries[static_cast<size_t>(k)].rgb; }
  void Range(int16_t prev, int16_t cur) { b.prev = prev, b.cur = cur; }
  BoardState b = test::Recognisable();
};

TEST_F(Spreading, RgbGradientWritesPositionsKeepsOpacityAndIgnoresClickOrder) {
  MoveRun(b, 12, 30, 1, {true, false});  // the map changes; the spread does not look at it
  Set(10, {0, 0, 0});
  Set(20, {200, 100, 0});
  b.entries[15].A = 40;
  Range(20, 10);
  const BoardState before = b;
  SpreadRange(b, SpreadKind::Rgb);
  for (int k = 10; k <= 20; ++k) {
    EXPECT_EQ(At(k), (RGBTriple{uint8_t(20 * (k - 10)), uint8_t(10 * (k - 10)), 0})) << k;
  }
  EXPECT_EQ(b.entries[15].A, 40);
  EXPECT_EQ(std::tie(b.entries[9], b.entries[21]), std::tie(before.entries[9], before.entries[21]));
  EXPECT_EQ(std::tie(b.map, b.prev, b.cur), std::tie(before.map, before.prev, before.cur));

  const BoardState first = b;
  b = before;
  Range(10, 20);
  SpreadRange(b, SpreadKind::Rgb);
  EXPECT_EQ(b.entries, first.entries);
}

TEST_F(Spreading, ShortRanges) {
  Set(40, {1, 2, 3});
  Set(41, {200, 150, 100});
  const BoardState before = b;
  Range(41, 40);
  SpreadRange(b, SpreadKind::Rgb);  // span 1: both ends keep their own colours
  SpreadRange(b, SpreadKind::Hsv);  // span 1: no inner position
  Range(41, 41);
  for (SpreadKind kind : {SpreadKind::Rgb, SpreadKind::Hsv, SpreadKind::HsvReverse})
    SpreadRange(b, kind);
  EXPECT_EQ(b.entries, before.entries);
}

TEST_F(Spreading, HsvRunsThroughTheHuesEitherWayAndRoundsHalfToEven) {
  Set(0, {0, 0, 0});
  Set(4, {0, 0, 255});
  Range(0, 4);
  SpreadRange(b, SpreadKind::Hsv);
  EXPECT_EQ(At(0), (RGBTriple{0, 0, 0}));
  EXPECT_EQ(At(4), (RGBTriple{0, 0, 255}));
  const RGBTriple yellowish = At(1), green = At(2), cyan = At(3);  // hues 128, 256, 384
  EXPECT_TRUE(yellowish.R == yellowish.G && yellowish.B < yellowish.R);
  EXPECT_TRUE(green.G > green.R && green.G > green.B);
  EXPECT_TRUE(cyan.G == cyan.B && cyan.R < cyan.G);
  EXPECT_TRUE(yellowish.G < green.G && green.G < cyan.B);  // value rises along the range

  Set(100, {0, 0, 0});
  Set(102, {255, 255, 255});
  Range(100, 102);
  SpreadRange(b, SpreadKind::Hsv);
  EXPECT_EQ(At(101), (RGBTriple{128, 128, 128}));

  Set(60, {0, 255, 0});  // H 256
  Set(62, {0, 0, 255});  // H 512
  Range(60, 62);
  SpreadRange(b, SpreadKind::Hsv);
  EXPECT_EQ(At(61), (RGBTriple{0, 255, 255}));  // H 384: cyan
  SpreadRange(b, SpreadKind::HsvReverse);
  EXPECT_EQ(At(61), (RGBTriple{255, 0, 0}));  // the long way round passes red
}

TEST_F(Spreading, HsvLeavesBothEndsAsTheyWere) {
  // Colours that do not survive a trip through HSV: written back, they would change.
  Set(70, {0, 11, 221});
  Set(75, {0, 22, 169});
  for (SpreadKind kind : {SpreadKind::Hsv, SpreadKind::HsvReverse}) {
    Range(75, 70);
    SpreadRange(b, kind);
    EXPECT_EQ(std::tuple(At(70), At(75)), std::tuple(RGBTriple{0, 11, 221}, RGBTriple{0, 22, 169}));
  }
}

}  // namespace
}  // namespace hw
