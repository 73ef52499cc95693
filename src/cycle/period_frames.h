// One period of the ranges' cycling as a list of frames, for an animation that
// shows each arrangement of the colours for as long as it lasts.
//
// Range r steps at n * 16384 / (60 * rate) = n * 4096 / (15 * rate) seconds; its
// colours come back after (HIGH - LOW + 1) steps, and all of them together after
// the least common multiple of those periods. Frame k starts at the k-th instant of
// that period at which any range steps (the first at 0) and shows every range as
// far as it has stepped by then. All times are exact fractions of a second: no
// step is lost or moved by rounding to microseconds, however close two ranges' steps
// come. Frame k lasts round(100 t_(k+1)) - round(100 t_k) hundredths (halves
// rounded up, t past the last frame the period's end), so the delays add up to the
// rounded period and no error builds up from frame to frame.
#pragma once

#include <string>
#include <vector>

#include "colour/cycle_ranges.h"
#include "cycle/rotation.h"

namespace hw {

// The most frames of one period that an animation is made of (frames of 0
// hundredths, which are not written, not counted).
inline constexpr int kMaxCycleFrames = 2048;

struct CycleFrame {
  CycleSources sources;  // what each position shows
  int hundredths = 0;    // how long, in hundredths of a second: at least 1
};

struct CyclePeriod {
  // In time order. A frame whose time rounds to 0 hundredths is left out: the
  // frame before it lasts until the next one begins, and the next one shows its
  // own arrangement (not the one left out). At least one frame stays.
  std::vector<CycleFrame> frames;
  int instants = 0;     // the steps' instants in one period, frames left out included
  std::string refusal;  // why there are no frames; empty otherwise
};

// The frames of one period of the active ranges. Refused when no active range
// steps (a rate of 0 or LOW >= HIGH never does, nor an inactive range), and when
// more than kMaxCycleFrames frames would be written (decided from the ranges before
// any frame is made wherever the ranges alone show it).
CyclePeriod CyclePeriodFrames(const CycleRanges& ranges);

}  // namespace hw
