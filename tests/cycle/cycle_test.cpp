// The colour-cycling step against worked values: the jitter and its clamping, each
// scheme on the 40 cycled entries 196..235, and ticks that must change nothing.
#include "cycle/cycle.h"

#include <gtest/gtest.h>

#include <deque>

namespace hw {
namespace {

// Plays back scripted draws; once the script runs out it answers `fallback`.
struct ScriptedRandom : RandomSource {
  std::deque<float> script;
  float fallback = 0.49f;
  int draws = 0;
  float Next() override {
    const float u = script.empty() ? fallback : script.front();
    if (++draws, !script.empty()) script.pop_front();
    return u;
  }
};

// The draw that makes Jitter add exactly d (spread 25, -24 <= d <= 25).
float DrawFor(int d) { return static_cast<float>((d + 24.5) / 50.0); }

LogicalPalette Distinct() {
  LogicalPalette p{};
  for (int i = 0; i < 256; ++i) p[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), kEntryFlags};
  return p;
}

struct Rig {
  DisplayPalette display;
  PaletteHandle hpal = display.CreatePalette(Distinct());
  std::array<int16_t, 6> starts{0, 5, 10, 15, 20, 0};
  std::array<RGBTriple, 256> entries{};
  CycleTables tables;
  ScriptedRandom rnd;
  Rig() {
    display.SelectPalette(Surface::PictureWindow, hpal, false);
    display.RealizePalette(Surface::PictureWindow);
  }
  const LogicalPalette& Shown() const { return *display.Realized(Surface::PictureWindow); }
  void Tick(int16_t scheme) { CycleStep(display, hpal, starts, entries, scheme, rnd, tables); }
};

// value + d, clamped; the ends of [0, 1) give the ends of d's range, and a source
// that strays outside [0, 1) cannot push d out of it.
TEST(Jitter, FormulaAndClamping) {
  ScriptedRandom rnd;
  for (int d = -24; d <= 25; ++d) {
    for (const auto& [value, want] :
         {std::pair{0, std::max(d, 0)}, {250, std::min(250 + d, 255)}, {100, 100 + d}}) {
      rnd.script.push_back(DrawFor(d));
      EXPECT_EQ(Jitter(uint8_t(value), 25, rnd), want) << value << " " << d;
    }
  }
  for (auto [u, want] : {std::pair{0.0f, 76}, {0.99999994f, 125}, {1e30f, 125}, {-3.0f, 76}}) {
    rnd.script.push_back(u);
    EXPECT_EQ(Jitter(100, 25, rnd), want) << u;
  }
}

// Backward: each band of eight turns by one and is back after eight ticks. Forward:
// each band is rebuilt from its start entry and turns towards higher entries (the
// keys read the start index as it is: band 4's, lowered to 20, from entry 200). Shimmer: each band
// runs from its key, darkened, towards white. Nothing outside 196..235 changes; every tick draws 15
// numbers, a forward one 120 more.
TEST(CycleStep, EachSchemeOnWorkedValues) {
  Rig back;
  back.Tick(kSchemeBackward);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(back.Shown()[196 + i], Distinct()[196 + i / 8 * 8 + (i + 1) % 8]) << 196 + i;
  for (int t = 1; t < 8; ++t) back.Tick(kSchemeBackward);
  EXPECT_EQ(std::tuple(back.Shown(), back.rnd.draws), std::tuple(Distinct(), 8 * 15));

  Rig fwd;
  for (int k = 0; k < 5; ++k) fwd.entries[size_t(5 * k)] = {uint8_t(60 + 30 * k), 100, 150};
  fwd.starts[4] = 200;
  for (int t = 0; t < 135; ++t) fwd.rnd.script.push_back(DrawFor(t < 15 ? 0 : (t - 15) % 40 - 20));
  fwd.Tick(kSchemeForward);
  for (int k = 0; k < 5; ++k) {
    const RGBTriple src = fwd.entries[size_t(5 * k)];
    for (int j = 0, t = 24 * k; j < 8; ++j, t += 3) {
      EXPECT_EQ(fwd.Shown()[196 + 8 * k + (j + 1) % 8],
                (PaletteEntry{uint8_t(src.R + t % 40 - 20), uint8_t(src.G + (t + 1) % 40 - 20),
                              uint8_t(src.B + (t + 2) % 40 - 20), kEntryFlags}))
          << "band " << k;
    }
  }
  EXPECT_EQ(std::tuple(fwd.rnd.draws, fwd.tables.CycleColors[3], fwd.tables.CycleColors[4],
                       fwd.Shown()[195], fwd.Shown()[236]),
            std::tuple(135, fwd.entries[15], RGBTriple{}, Distinct()[195], Distinct()[236]));

  Rig shimmer;
  shimmer.entries[0] = {24, 12, 3};
  shimmer.rnd.fallback = DrawFor(0);
  shimmer.Tick(kSchemeShimmer);
  const RGBTriple band0[] = {{18, 9, 2},  {19, 10, 2}, {21, 10, 3},   {22, 11, 3},
                             {24, 12, 3}, {24, 12, 3}, {101, 93, 87}, {178, 174, 171}};
  for (int j = 0; j < 8; ++j) {
    const RGBTriple c = band0[j];
    const uint8_t v = j == 6 ? 85 : j == 7 ? 170 : 0;  // band 1's key is black
    EXPECT_EQ(
        std::tuple(shimmer.Shown()[196 + j], shimmer.Shown()[204 + j]),
        std::tuple(PaletteEntry{c.R, c.G, c.B, kEntryFlags}, PaletteEntry{v, v, v, kEntryFlags}))
        << j;
  }
}

TEST(CycleStep, MissingPaletteOrUnknownSchemeChangesNothing) {
  Rig rig;
  const PaletteHandle real = rig.hpal;
  for (int16_t scheme = 0; scheme < 3; ++scheme) rig.hpal = 0, rig.Tick(scheme);
  rig.hpal = real + 77;
  rig.Tick(kSchemeBackward);
  rig.hpal = real;
  rig.Tick(7);
  rig.Tick(-1);
  EXPECT_EQ(std::tuple(rig.Shown(), rig.rnd.draws), std::tuple(Distinct(), 15 * 6 + 120));
}

}  // namespace
}  // namespace hw
