#include "colour/colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

namespace hw {
namespace {

TEST(Colour, PackedAccessorsIncludingPaletteReferences) {
  EXPECT_EQ(GetGreen(65280), 255);
  EXPECT_EQ(GetBlue(16711680), 255);
  EXPECT_EQ(GetRed(kPaletteRef + 37), 37);
  EXPECT_EQ(GetGreen(kPaletteRef + 37), 0);
  EXPECT_EQ(GetBlue(kPaletteRef + 37), 0);
  const PackedColour c = PackRGB({12, 34, 56});
  EXPECT_EQ(c, 12 + 256 * 34 + 65536 * 56);
  EXPECT_EQ(GetRGB(c), (RGBTriple{12, 34, 56}));
  EXPECT_EQ(GetRGB(c | 0x7f000000), (RGBTriple{12, 34, 56}));  // top byte masked
  EXPECT_EQ(GetRGB(-1), (RGBTriple{255, 255, 255}));
}

TEST(Colour, RoundHalfEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(767.5), 768);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.6), -3);
  EXPECT_EQ(RoundHalfEven(2.4999999), 2);
  EXPECT_EQ(RoundHalfEven(1e12), 2147483647);
}

struct TableRow {
  RGBTriple rgb;
  HSVTriple hsv;
  RGBTriple back;
};

TEST(Colour, ConversionTable) {
  const TableRow rows[] = {
      {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {{255, 255, 255}, {0, 0, 255}, {255, 255, 255}},
      {{128, 128, 128}, {0, 0, 128}, {128, 128, 128}},
      {{255, 0, 0}, {0, 255, 255}, {255, 0, 0}},
      {{255, 255, 0}, {128, 255, 255}, {255, 255, 0}},
      {{0, 255, 0}, {256, 255, 255}, {0, 255, 0}},
      {{0, 255, 255}, {384, 255, 255}, {0, 255, 255}},
      {{0, 0, 255}, {512, 255, 255}, {0, 0, 255}},
      {{255, 0, 255}, {640, 255, 255}, {255, 0, 255}},
      {{255, 0, 1}, {768, 255, 255}, {255, 0, 0}},
      {{255, 128, 0}, {64, 255, 255}, {255, 128, 0}},
      {{10, 20, 30}, {448, 170, 30}, {10, 20, 30}},
      {{200, 100, 50}, {42, 191, 200}, {200, 99, 50}},
      {{2, 4, 203}, {510, 252, 203}, {2, 6, 203}},
  };
  for (const TableRow& row : rows) {
    HSVTriple hsv;
    RGBToHSV(row.rgb, hsv);
    EXPECT_EQ(hsv, row.hsv) << int(row.rgb.R) << "," << int(row.rgb.G) << "," << int(row.rgb.B);
    RGBTriple back;
    HSVToRGB(row.hsv, back);
    EXPECT_EQ(back, row.back) << row.hsv.H << "," << row.hsv.S << "," << row.hsv.V;
  }
}

TEST(Colour, RoundTripOverEveryColour) {
  int64_t unchanged = 0;
  int worst = 0;
  for (int b = 0; b < 256; ++b) {
    for (int g = 0; g < 256; ++g) {
      for (int r = 0; r < 256; ++r) {
        const RGBTriple in{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
        HSVTriple hsv;
        RGBToHSV(in, hsv);
        ASSERT_TRUE(hsv.H >= 0 && hsv.H <= 768 && hsv.S >= 0 && hsv.S <= 255 && hsv.V >= 0 &&
                    hsv.V <= 255);
        RGBTriple out;
        HSVToRGB(hsv, out);
        if (out == in) {
          ++unchanged;
        } else {
          const int dr = std::abs(out.R - r), dg = std::abs(out.G - g), db = std::abs(out.B - b);
          worst = std::max({worst, dr, dg, db});
        }
      }
    }
  }
  EXPECT_EQ(unchanged, 12824524);
  EXPECT_LE(worst, 2);
}

TEST(Colour, HueWrapsToRed) {
  for (int16_t s : {1, 128, 255}) {
    for (int16_t v : {0, 77, 255}) {
      RGBTriple ref;
      HSVToRGB({0, s, v}, ref);
      for (int16_t h : {768, 1536, -768, 2304, -1536}) {
        RGBTriple got;
        HSVToRGB({h, s, v}, got);
        EXPECT_EQ(got, ref) << h << " " << s << " " << v;
      }
    }
  }
  // A grey ignores the hue completely.
  RGBTriple grey;
  HSVToRGB({300, 0, 90}, grey);
  EXPECT_EQ(grey, (RGBTriple{90, 90, 90}));
}

TEST(Colour, HSVToRGBKeepsBytesInRangeForWildInputs) {
  // Outside the documented limits the result is still a byte per channel and
  // nothing traps under the sanitizers.
  for (int16_t s : {-5, 0, 255, 256, 32767, -32768}) {
    for (int16_t v : {-1, 0, 255, 300, 32767, -32768}) {
      RGBTriple out;
      HSVToRGB({-32768, s, v}, out);
      HSVToRGB({32767, s, v}, out);
    }
  }
  SUCCEED();
}

TEST(Colour, BlendRGBEndsAreExactAndMiddlesRoundHalfEven) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255), spans(1, 255);
  for (int n = 0; n < 20000; ++n) {
    const RGBTriple a{uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))};
    const RGBTriple b{uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))};
    const int16_t span = static_cast<int16_t>(spans(rng));
    RGBTriple r;
    BlendRGB(a, b, r, 0, span);
    ASSERT_EQ(r, a);
    BlendRGB(a, b, r, span, span);
    ASSERT_EQ(r, b);
  }
  RGBTriple r;
  BlendRGB({0, 0, 0}, {255, 1, 3}, r, 1, 2);  // 127.5, 0.5, 1.5
  EXPECT_EQ(r, (RGBTriple{128, 0, 2}));
  BlendRGB({0, 0, 0}, {200, 100, 0}, r, 5, 10);
  EXPECT_EQ(r, (RGBTriple{100, 50, 0}));
  // The result may be one of the inputs.
  RGBTriple from{10, 20, 30};
  BlendRGB(from, {20, 40, 60}, from, 1, 2);
  EXPECT_EQ(from, (RGBTriple{15, 30, 45}));
  BlendRGB({9, 9, 9}, {1, 1, 1}, r, 3, 0);  // no span: start colour
  EXPECT_EQ(r, (RGBTriple{9, 9, 9}));
}

TEST(Colour, BlendHSVSaturationAndValueRunLinearly) {
  HSVTriple r;
  BlendHSV({0, 0, 0}, {512, 255, 255}, r, 1, 2, 1);
  EXPECT_EQ(r, (HSVTriple{256, 128, 128}));  // 127.5 -> 128
  for (int span : {3, 7, 10}) {
    for (int p = 1; p < span; ++p) {
      BlendHSV({0, 0, 0}, {512, 255, 255}, r, int16_t(p), int16_t(span), 1);
      EXPECT_EQ(r.H, RoundHalfEven(p * 512.0 / span));
    }
  }
}

// Signed shortest step from one hue to the next on the 768-unit circle.
int CircularStep(int from, int to) {
  int d = ((to - from) % 768 + 768) % 768;
  return d > 384 ? d - 768 : d;
}

TEST(Colour, BlendHSVRunsEachWayRoundTheCircle) {
  // For every pair of hues, walk the gradient and add up the steps: forward must
  // cover exactly to - from, reverse the complementary arc the other way round,
  // and every inner hue must land in 0..768.
  for (int span : {3, 5, 16}) {
    for (int fh = 0; fh <= 768; ++fh) {
      for (int th = 0; th <= 768; ++th) {
        const HSVTriple from{int16_t(fh), 200, 200}, to{int16_t(th), 200, 200};
        const int d0 = th - fh;
        for (int16_t dir : {int16_t(1), int16_t(-1)}) {
          int prev = fh, total = 0;
          for (int p = 1; p <= span; ++p) {
            HSVTriple r;
            BlendHSV(from, to, r, int16_t(p), int16_t(span), dir);
            if (p < span) {
              ASSERT_TRUE(r.H >= 0 && r.H <= 768) << fh << "->" << th << " p" << p;
            }
            total += CircularStep(prev, r.H);
            prev = r.H;
          }
          ASSERT_EQ(((prev - th) % 768 + 768) % 768, 0) << fh << "->" << th;
          if (dir > 0) {
            ASSERT_EQ(total, d0) << fh << "->" << th;
          } else if (d0 == 0) {
            ASSERT_EQ(total, 0);
          } else {
            // The complementary arc; from one red end (0) to the other (768) it is empty.
            ASSERT_EQ(std::abs(total) + std::abs(d0), 768) << fh << "->" << th;
            if (total != 0) {
              ASSERT_NE(total > 0, d0 > 0) << fh << "->" << th;
            }
          }
        }
      }
    }
  }
}

TEST(Colour, BlendHSVFromMagentaRedToOrange) {
  const HSVTriple from{700, 255, 255}, to{50, 255, 255};
  const int span = 10;
  bool passed_blue = false, passed_red = false;
  for (int p = 1; p < span; ++p) {
    HSVTriple fwd, rev;
    BlendHSV(from, to, fwd, int16_t(p), int16_t(span), 1);
    BlendHSV(from, to, rev, int16_t(p), int16_t(span), -1);
    // Forward runs down through blue, cyan and green without touching red.
    EXPECT_TRUE(fwd.H > 50 && fwd.H < 700) << fwd.H;
    if (fwd.H <= 512) passed_blue = true;
    // Reverse runs up through red: only hues near 768/0 appear.
    EXPECT_TRUE(rev.H > 700 || rev.H < 50) << rev.H;
    if (rev.H < 50) passed_red = true;
  }
  EXPECT_TRUE(passed_blue);
  EXPECT_TRUE(passed_red);
}

}  // namespace
}  // namespace hw
