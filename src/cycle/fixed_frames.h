// Colour cycling over a chosen length instead of its exact period: an animation
// of n = floor(S * F) frames at F frames a second that lasts S seconds, for ranges
// whose exact loop needs more frames than an animation holds. Also what the exact
// loop would take (each range's period, the whole cycle's, its frame count), for
// the window to show before it offers the fixed length.
//
// Frame k (k = 0 .. n-1) shows every range as far as it has stepped at t_k = k / F
// and lasts round(100 t_(k+1)) - round(100 t_k) hundredths (halves up, t_n = S), so
// the delays add up to exactly 100 S rounded. Equal neighbours stay separate frames:
// the count is always n. Times are exact fractions throughout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "colour/cycle_ranges.h"
#include "cycle/period_frames.h"

namespace hw {

// A length of time as the user wrote it: num / den seconds (den a power of ten).
struct DecimalSeconds {
  uint64_t num = 0;
  uint64_t den = 1;
};

// A decimal above 0 ("10", "2.5", "0.04", ".5"): digits with at most one point,
// at most 9 digits each side; nullopt for anything else (signs, exponents, 0).
std::optional<DecimalSeconds> ParseDecimalSeconds(std::string_view text);

inline constexpr int kMaxFixedFps = 100;
inline constexpr int kDefaultFixedFps = 50;
inline constexpr int kDefaultFixedSeconds = 10;

struct FixedLength {
  DecimalSeconds seconds;
  int fps = kDefaultFixedFps;  // 1 .. kMaxFixedFps
};

// n = floor(S * F): the frames of a fixed-length export (may be 0 or above
// kMaxCycleFrames; callers refuse those).
uint64_t FixedFrameCount(const FixedLength& length);

// The n frames of a fixed-length export, in the same form as one period's. Refused
// (refusal set, no frames) when no active range steps, when F is outside 1..100,
// and when n is outside 1..kMaxCycleFrames.
CyclePeriod CycleFixedFrames(const CycleRanges& ranges, const FixedLength& length);

// What one exact loop of the active ranges takes.
struct ExactLoop {
  bool steps = false;              // some active range steps
  double seconds = 0;              // the whole cycle's period
  std::optional<uint64_t> frames;  // its distinct instants; nullopt: too many to count
  bool fits() const { return steps && frames && *frames <= kMaxCycleFrames; }
};
ExactLoop ExactLoopOf(const CycleRanges& ranges);

// One range's own period, (HIGH - LOW + 1) * 4096 / (15 * rate) seconds; 0 for
// a range that never steps.
double RangePeriodSeconds(const CycleRange& range);

// "28,440": digits grouped by threes with commas.
std::string GroupedDigits(uint64_t value);

}  // namespace hw
