// The colour-cycling step against worked values: the jitter and its clamping, and
// the backward and forward schemes on the 40 cycled entries 196..235.
#include "cycle/cycle.h"

#include <gtest/gtest.h>

#include <deque>

namespace hw {
namespace {

// Plays back scripted draws; then answers 0.49.
struct ScriptedRandom : RandomSource {
  std::deque<float> script;
  int draws = 0;
  float Next() override {
    const float u = script.empty() ? 0.49f : script.front();
    if (++draws, !script.empty()) script.pop_front();
    return u;
  }
};

// The draw that makes Jitter add exactly d (spread 25, -24 <= d <= 25).
float DrawFor(int d) { return static_cast<float>((d + 24.5) / 50.0); }

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

// Backward: each band of eight turns by one and is back after eight ticks; a missing
// palette or an unknown scheme changes nothing. Every tick draws 15 numbers, a
// forward one 120 more.
TEST(CycleStep, BackwardAndForwardOnWorkedValues) {
  LogicalPalette distinct{};
  for (int i = 0; i < 256; ++i)
    distinct[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), kEntryFlags};
  DisplayPalette display;
  PaletteHandle hpal = display.CreatePalette(distinct);
  display.SelectPalette(Surface::PictureWindow, hpal, false);
  display.RealizePalette(Surface::PictureWindow);
  const LogicalPalette& shown = *display.Realized(Surface::PictureWindow);
  std::array<int16_t, 6> starts{0, 5, 10, 15, 200, 0};
  std::array<RGBTriple, 256> entries{};
  for (int k = 0; k < 5; ++k) entries[size_t(5 * k)] = {uint8_t(60 + 30 * k), 100, 150};
  CycleTables tables;
  ScriptedRandom rnd;
  const auto tick = [&](int16_t scheme, PaletteHandle h) {
    CycleStep(display, h, starts, entries, scheme, rnd, tables);
  };
  tick(kSchemeBackward, hpal);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(shown[196 + i], distinct[196 + i / 8 * 8 + (i + 1) % 8]) << 196 + i;
  for (int t = 1; t < 8; ++t) tick(kSchemeBackward, hpal);
  for (int16_t scheme : {kSchemeBackward, kSchemeForward}) tick(scheme, 0), tick(scheme, hpal + 7);
  tick(7, hpal), tick(-1, hpal);
  EXPECT_EQ(std::tuple(shown, rnd.draws), std::tuple(distinct, 14 * 15 + 2 * 120));

  // Forward rebuilds each band from its start entry and turns it towards higher
  // entries; the keys read the start index as it is (band 4's, lowered to 20, from
  // entry 200). With no jitter, band 0 (entry 0 black) ramps up from black.
  rnd.script.assign(135, DrawFor(0));
  tick(kSchemeForward, hpal);
  EXPECT_EQ(std::tuple(tables.CycleColors[3], tables.CycleColors[4], shown[195], shown[236]),
            std::tuple(entries[15], RGBTriple{}, distinct[195], distinct[236]));
  for (int j = 0; j < 8; ++j) EXPECT_EQ(shown[196 + (j + 1) % 8].red, 60) << j;
}

}  // namespace
}  // namespace hw
