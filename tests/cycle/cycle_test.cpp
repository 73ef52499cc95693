#include "cycle/cycle.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace hw {
namespace {

// Plays back scripted draws; once the script runs out it answers `fallback`.
struct ScriptedRandom : RandomSource {
  explicit ScriptedRandom(float fallback = 0.49f) : fallback(fallback) {}
  void Push(float u) { script.push_back(u); }
  float Next() override {
    ++draws;
    const float u = script.empty() ? fallback : script.front();
    if (!script.empty()) script.pop_front();
    return u;
  }
  std::deque<float> script;
  float fallback;
  int draws = 0;
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
  PaletteHandle hpal;
  std::array<int16_t, 6> starts{0, 5, 10, 15, 20, 0};
  std::array<RGBTriple, 256> entries{};
  CycleTables tables;

  Rig() : hpal(display.CreatePalette(Distinct())) {
    display.SelectPalette(Surface::PictureWindow, hpal, false);
    display.RealizePalette(Surface::PictureWindow);
  }
  const LogicalPalette& Shown() const { return *display.Realized(Surface::PictureWindow); }
  void Tick(int16_t scheme, RandomSource& rnd) {
    CycleStep(display, hpal, starts, entries, scheme, rnd, tables);
  }
  // Only the cycled span 196..235 changed.
  void ExpectOutsideSpanUntouched() const {
    for (int i = 0; i < 256; ++i) {
      EXPECT_TRUE(i >= 196 && i < 236 ? Shown()[i].flags == kEntryFlags
                                      : Shown()[i] == Distinct()[i])
          << i;
    }
  }
};

TEST(Jitter, FormulaAndClamping) {
  ScriptedRandom rnd;
  for (int d = -24; d <= 25; ++d) {
    rnd.Push(DrawFor(d));
    EXPECT_EQ(Jitter(0, 25, rnd), d > 0 ? d : 0) << d;
    rnd.Push(DrawFor(d));
    EXPECT_EQ(Jitter(250, 25, rnd), d >= 5 ? 255 : 250 + d) << d;
    rnd.Push(DrawFor(d));
    EXPECT_EQ(Jitter(100, 25, rnd), 100 + d) << d;
  }
  // The ends of [0, 1) give the ends of the range, and a source that strays
  // outside [0, 1) cannot push d out of it.
  for (auto [u, want] : {std::pair{0.0f, 76}, {0.99999994f, 125}, {1e30f, 125}, {-3.0f, 76}}) {
    rnd.Push(u);
    EXPECT_EQ(Jitter(100, 25, rnd), want) << u;
  }
  EXPECT_EQ(rnd.draws, 154);
}

TEST(CycleStep, BackwardRotatesEachBandAndReturnsAfterEightTicks) {
  Rig rig;
  ScriptedRandom rnd;
  const LogicalPalette orig = Distinct();
  rig.Tick(kSchemeBackward, rnd);
  EXPECT_EQ(rnd.draws, 15);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(rig.Shown()[196 + i], orig[196 + i / 8 * 8 + (i + 1) % 8]) << 196 + i;
  for (int t = 1; t < 8; ++t) rig.Tick(kSchemeBackward, rnd);
  EXPECT_EQ(rig.Shown(), orig);
  EXPECT_EQ(rnd.draws, 8 * 15);
  EXPECT_EQ(rig.tables.BandStarts, (std::array<uint8_t, 6>{196, 204, 212, 220, 228, 236}));
}

TEST(CycleStep, ForwardRebuildsThenRotatesTowardsHigherEntries) {
  Rig rig;
  for (int k = 0; k < 5; ++k)
    rig.entries[static_cast<size_t>(5 * k)] = {uint8_t(60 + 30 * k), 100, 150};
  rig.starts[4] = 200;  // lowered to 20
  ScriptedRandom rnd;
  for (int i = 0; i < 15; ++i) rnd.Push(DrawFor(0));
  // Draw t of the rebuild adds d = (t % 40) - 20, so every value is distinct
  // within a band.
  for (int t = 0; t < 120; ++t) rnd.Push(DrawFor(t % 40 - 20));
  rig.Tick(kSchemeForward, rnd);
  EXPECT_EQ(rnd.draws, 135);

  for (int k = 0; k < 5; ++k) {
    const RGBTriple src = rig.entries[static_cast<size_t>(5 * k)];
    auto rebuilt = [&](int j) {
      const int t = 24 * k + 3 * j;
      return PaletteEntry{uint8_t(src.R + (t % 40 - 20)), uint8_t(src.G + ((t + 1) % 40 - 20)),
                          uint8_t(src.B + ((t + 2) % 40 - 20)), kEntryFlags};
    };
    for (int j = 0; j < 8; ++j)
      EXPECT_EQ(rig.Shown()[196 + 8 * k + (j + 1) % 8], rebuilt(j)) << "band " << k;
    // The keys read the start index as it is: band 4's key comes from entry 200.
    EXPECT_EQ(rig.tables.CycleColors[static_cast<size_t>(k)], k < 4 ? src : RGBTriple{});
  }
  rig.ExpectOutsideSpanUntouched();
}

TEST(CycleStep, ShimmerBands) {
  Rig rig;
  rig.entries[0] = {24, 12, 3};  // band 0's key comes out (24, 12, 3) with d = 0
  rig.entries[5] = {0, 0, 0};    // band 1's key (0, 0, 0)
  ScriptedRandom rnd(DrawFor(0));
  rig.Tick(kSchemeShimmer, rnd);
  EXPECT_EQ(rnd.draws, 15);
  const RGBTriple band0[] = {{18, 9, 2},  {19, 10, 2}, {21, 10, 3},   {22, 11, 3},
                             {24, 12, 3}, {24, 12, 3}, {101, 93, 87}, {178, 174, 171}};
  for (int j = 0; j < 8; ++j) {
    const RGBTriple c = band0[j];
    const uint8_t v = j == 6 ? 85 : j == 7 ? 170 : 0;  // band 1 runs from black towards white
    EXPECT_EQ(rig.Shown()[196 + j], (PaletteEntry{c.R, c.G, c.B, kEntryFlags})) << j;
    EXPECT_EQ(rig.Shown()[204 + j], (PaletteEntry{v, v, v, kEntryFlags})) << j;
  }
  rig.ExpectOutsideSpanUntouched();
}

TEST(CycleStep, MissingPaletteOrUnknownSchemeChangesNothing) {
  Rig rig;
  ScriptedRandom rnd;
  const PaletteHandle real = rig.hpal;
  rig.hpal = 0;
  for (int16_t scheme = 0; scheme < 3; ++scheme) rig.Tick(scheme, rnd);
  rig.hpal = real + 77;
  rig.Tick(kSchemeBackward, rnd);
  rig.hpal = real;
  rig.Tick(7, rnd);
  rig.Tick(-1, rnd);
  EXPECT_EQ(rig.Shown(), Distinct());
  EXPECT_EQ(rnd.draws, 15 * 6 + 120);
}

}  // namespace
}  // namespace hw
