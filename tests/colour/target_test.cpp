// Hardware colour targets: snapping every channel value of every preset against a
// plain nearest-level model, and the custom levels.
#include "colour/target.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace hw {
namespace {

// The levels of b bits from the formula, and the nearest of them to v with ties
// going to the lower: a scan in ascending order that takes a level only when it is
// strictly closer.
uint8_t NearestLevel(int bits, int v) {
  const int top = (1 << bits) - 1;
  int best = -1;
  for (int k = 0; k <= top; ++k) {
    const int level = static_cast<int>(std::lround(k * 255.0 / top));
    if (best < 0 || std::abs(level - v) < std::abs(best - v)) best = level;
  }
  return static_cast<uint8_t>(best);
}

TEST(Target, EveryPresetSnapsEveryValueToTheNearestLevelTiesDown) {
  ASSERT_EQ(TargetPresets().size(), 11u);
  for (const TargetPreset& p : TargetPresets()) {
    const std::optional<ColourTarget> t = TargetByName(p.name);
    ASSERT_TRUE(t) << p.name;
    EXPECT_EQ(t->None(), p.red_bits == 8) << p.name;
    const int bits[3] = {p.red_bits, p.green_bits, p.blue_bits};
    for (int v = 0; v < 256; ++v) {
      const uint8_t u = static_cast<uint8_t>(v);
      const RGBTriple snapped = SnapColour(*t, {u, u, u});
      EXPECT_EQ(snapped, (RGBTriple{NearestLevel(bits[0], v), NearestLevel(bits[1], v),
                                    NearestLevel(bits[2], v)}))
          << p.name << " " << v;
      EXPECT_TRUE(OnTarget(*t, snapped));
      EXPECT_EQ(OnTarget(*t, {u, u, u}), snapped == (RGBTriple{u, u, u}));
    }
  }
  // Hand-computed: 3 bits are 0 36 73 109 146 182 219 255; 18 lies halfway between
  // 0 and 36 and goes down, 19 goes up; 2 bits are 0 85 170 255.
  const ColourTarget md = *TargetByName("megadrive");
  EXPECT_EQ(SnapColour(md, {18, 19, 91}), (RGBTriple{0, 36, 73}));
  EXPECT_EQ(SnapColour(*TargetByName("sms"), {42, 43, 128}), (RGBTriple{0, 85, 170}));
  EXPECT_EQ(SnapColour(*TargetByName("3-4-1"), {18, 8, 127}), (RGBTriple{0, 0, 0}));
  EXPECT_EQ(SnapColour(*TargetByName("3-4-1"), {19, 9, 128}), (RGBTriple{36, 17, 255}));
  EXPECT_EQ(TargetDescription(md), "megadrive (3-3-3)");
  EXPECT_EQ(TargetDescription(*TargetByName("5-6-5")), "5-6-5");
  for (const char* bad : {"0-3-3", "9-1-1", "3-3", "megadrive2", "", "3-3-3-3"}) {
    EXPECT_FALSE(TargetByName(bad)) << bad;
  }
}

TEST(Target, CustomLevelsAreReadStrictlyAndSnapUnevenly) {
  std::string why;
  const auto red = ParseLevels(" 0, 40 ,200,255", &why);
  ASSERT_TRUE(red) << why;
  const ColourTarget t = CustomTarget({*red, {0, 255}, {128}});
  // 120 is halfway between 40 and 200 and goes down; 121 goes up.
  EXPECT_EQ(SnapColour(t, {120, 127, 0}), (RGBTriple{40, 0, 128}));
  EXPECT_EQ(SnapColour(t, {121, 128, 255}), (RGBTriple{200, 255, 128}));
  EXPECT_EQ(TargetDescription(t), "custom levels (4, 2, 1)");
  EXPECT_EQ(LevelsText(t.levels[0]), "0, 40, 200, 255");
  for (const char* bad : {"", "0,,255", "0, 256", "10, 5", "10, 10", "1e2", "-1", "0,255,"}) {
    EXPECT_FALSE(ParseLevels(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

}  // namespace
}  // namespace hw
