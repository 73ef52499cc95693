// The colour-cycling step: one timer tick animates entries 196..235 of the
// display palette, five bands of eight entries, by one of three schemes. Free
// functions over the display palette and a random source, so the step can be
// driven and checked without a window.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "colour/colour.h"
#include "display/display_palette.h"

namespace hw {

inline constexpr int kCycleFirstEntry = 196;
inline constexpr int kCycleEntryCount = 40;
inline constexpr int16_t kCycleSpread = 25;

// Scheme indices, in the order of the scheme list.
inline constexpr int16_t kSchemeBackward = 0;  // "DPaint x 5 (backward)"
inline constexpr int16_t kSchemeForward = 1;   // "DPaint x 5 (foreward)"
inline constexpr int16_t kSchemeShimmer = 2;   // "Shimmer"

// Uniform single-precision values in [0, 1).
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual float Next() = 0;
};

// Tables the step rewrites on every tick.
struct CycleTables {
  std::array<RGBTriple, 6> CycleColors{};  // key colour of each band; key 5 unused
  std::array<uint8_t, 6> BandStarts{196, 204, 212, 220, 228, 236};
};

// value + d clamped to 0..255, with d = floor(2 u spread + 1) - spread for one
// draw u in [0, 1). With spread 25, d is one of -24..25.
uint8_t Jitter(uint8_t value, int16_t spread, RandomSource& rnd);

// One tick. Draws 15 random numbers for the band keys on every tick, then 120
// more for the forward scheme. Reads entries 196..235 of `hpal` back for the
// backward scheme and animates the same 40 entries. An unknown scheme leaves the
// palette alone (after the key draws).
void CycleStep(DisplayPalette& display, PaletteHandle hpal,
               const std::array<int16_t, 6>& cycle_starts,
               const std::array<RGBTriple, 256>& cycle_entries, int16_t scheme, RandomSource& rnd,
               CycleTables& tables);

// The program's random source: a Mersenne Twister giving floats in [0, 1). With
// the default seed every run draws the same sequence (tests); the editor seeds it
// from the system.
class DefaultRandom : public RandomSource {
 public:
  explicit DefaultRandom(uint32_t seed = 5489u) : gen_(seed) {}
  float Next() override;

 private:
  std::mt19937 gen_;
};

}  // namespace hw
