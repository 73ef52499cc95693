// RGB and HSV conversions over every colour, and HSV blends round the hue circle.
#include "colour/colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace hw {
namespace {

TEST(Colour, RoundTripOverEveryColour) {
  int64_t unchanged = 0;
  int worst = 0;
  for (int b = 0; b < 256; ++b) {
    for (int g = 0; g < 256; ++g) {
      for (int r = 0; r < 256; ++r) {
        const RGBTriple in{uint8_t(r), uint8_t(g), uint8_t(b)};
        HSVTriple hsv;
        RGBTriple out;
        RGBToHSV(in, hsv);
        ASSERT_TRUE(hsv.H >= 0 && hsv.H <= 768 && hsv.S >= 0 && hsv.S <= 255 && hsv.V >= 0 &&
                    hsv.V <= 255);
        HSVToRGB(hsv, out);
        unchanged += out == in;
        worst = std::max({worst, std::abs(out.R - r), std::abs(out.G - g), std::abs(out.B - b)});
      }
    }
  }
  EXPECT_EQ(unchanged, 12824524);
  EXPECT_LE(worst, 2);
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
          // Reverse: the complementary arc, empty from one red end (0) to the other (768).
          const bool ok = dir > 0   ? total == d0
                          : d0 == 0 ? total == 0
                                    : std::abs(total) + std::abs(d0) == 768 &&
                                          (total == 0 || (total > 0) != (d0 > 0));
          ASSERT_TRUE(ok) << fh << "->" << th << " " << dir << ": " << total;
        }
      }
    }
  }
}

}  // namespace
}  // namespace hw
