#include "edit/spread.h"

#include <gtest/gtest.h>

#include "edit/moves.h"
#include "fake_board.h"

namespace hw {
namespace {

class Spreading : public ::testing::Test {
 protected:
  void SetUp() override { test::ResetBoard(s); }
  void SetColour(int k, RGBTriple c) { s.BlotColour[k] = PackRGB(c); }
  RGBTriple At(int k) const { return GetRGB(s.BlotColour[k]); }
  void Range(int16_t prev, int16_t cur) {
    s.PrevIndex = prev;
    s.CurIndex = cur;
  }

  EditorState s;
  test::FakeBoard ops{s};
};

TEST_F(Spreading, RgbGradientKeepsTheEndsAndIgnoresClickOrder) {
  SetColour(10, {0, 0, 0});
  SetColour(20, {200, 100, 0});
  const EditorState before = s;
  Range(10, 20);
  RangeRGB(s, ops);
  for (int k = 10; k <= 20; ++k) {
    EXPECT_EQ(At(k), (RGBTriple{uint8_t(20 * (k - 10)), uint8_t(10 * (k - 10)), 0})) << k;
    EXPECT_EQ(s.Pal[k], At(k)) << k;
  }
  EXPECT_EQ(s.Pal[9], before.Pal[9]);
  EXPECT_EQ(s.Pal[21], before.Pal[21]);
  EXPECT_EQ(ops.repaints.size(), 11u);
  EXPECT_TRUE(ops.follow_up.empty());  // the picture is not touched
  EXPECT_EQ(std::tuple(s.PrevIndex, s.CurIndex), std::tuple(10, 20));

  const EditorState first = s;
  s = before;
  Range(20, 10);
  RangeRGB(s, ops);
  EXPECT_EQ(s.BlotColour, first.BlotColour);
  EXPECT_EQ(s.Pal, first.Pal);
}

TEST_F(Spreading, WritesThePaletteEntryEachPositionShows) {
  int16_t dst = 12, src = 30, one = 1;
  DoSwapBlot(s, ops, dst, src, one);  // position 12 now shows entry 30 and vice versa
  const Palette before = s.Pal;
  SetColour(10, {0, 0, 0});
  SetColour(14, {40, 80, 120});
  Range(10, 14);
  RangeRGB(s, ops);
  EXPECT_EQ(s.Pal[30], (RGBTriple{20, 40, 60}));
  EXPECT_EQ(s.Pal[12], before[12]);
  EXPECT_EQ(s.Pal[11], At(11));
}

TEST_F(Spreading, ShortRanges) {
  SetColour(40, {1, 2, 3});
  SetColour(41, {200, 150, 100});
  Range(41, 40);
  RangeRGB(s, ops);  // span 1: both ends rewritten with their own colours
  EXPECT_EQ(s.Pal[40], (RGBTriple{1, 2, 3}));
  EXPECT_EQ(s.Pal[41], (RGBTriple{200, 150, 100}));

  const EditorState before = s;
  ops.Clear();
  RangeHSV(s, ops, 1);  // span 1: no inner entry
  Range(41, 41);
  RangeRGB(s, ops);  // span 0
  RangeHSV(s, ops, -1);
  EXPECT_EQ(s.BlotColour, before.BlotColour);
  EXPECT_EQ(s.Pal, before.Pal);
  EXPECT_TRUE(ops.repaints.empty());
}

TEST_F(Spreading, HsvRunsThroughTheHuesAndRoundsValuesHalfToEven) {
  SetColour(0, {0, 0, 0});
  SetColour(4, {0, 0, 255});
  Range(0, 4);
  RangeHSV(s, ops, 1);
  EXPECT_EQ(At(0), (RGBTriple{0, 0, 0}));
  EXPECT_EQ(At(4), (RGBTriple{0, 0, 255}));
  const RGBTriple yellowish = At(1), green = At(2), cyan = At(3);  // hues 128, 256, 384
  EXPECT_TRUE(yellowish.R == yellowish.G && yellowish.B < yellowish.R);
  EXPECT_TRUE(green.G > green.R && green.G > green.B);
  EXPECT_TRUE(cyan.G == cyan.B && cyan.R < cyan.G);
  EXPECT_TRUE(yellowish.G < green.G && green.G < cyan.B);  // value rises along the range
  EXPECT_EQ(s.Pal[2], green);

  SetColour(100, {0, 0, 0});
  SetColour(102, {255, 255, 255});
  Range(100, 102);
  RangeHSV(s, ops, 1);
  EXPECT_EQ(At(101), (RGBTriple{128, 128, 128}));
}

TEST_F(Spreading, ReverseRunsTheHueTheOtherWay) {
  SetColour(60, {0, 255, 0});  // H 256
  SetColour(62, {0, 0, 255});  // H 512
  Range(60, 62);
  RangeHSV(s, ops, 1);
  EXPECT_EQ(At(61), (RGBTriple{0, 255, 255}));  // H 384: cyan
  RangeHSV(s, ops, -1);
  EXPECT_EQ(At(61), (RGBTriple{255, 0, 0}));  // the long way round passes red
}

}  // namespace
}  // namespace hw
