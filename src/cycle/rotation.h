// Colour cycling by ranges: which colour each board position shows a given time
// after Play. One forward step moves each colour of LOW..HIGH up one position
// (p shows what p - 1 showed, LOW what HIGH showed); reverse is the other way.
// Only the shown colours rotate: the board's entries stay as they are.
#pragma once

#include <array>
#include <cstdint>

#include "colour/cycle_ranges.h"

namespace hw {

// For each position, the position whose colour it shows.
using CycleSources = std::array<uint8_t, 256>;

// Steps range `r` has made `micros` microseconds after Play:
// floor(t * rate * 60 / 16384); none for a negative time, a rate of 0 or
// LOW >= HIGH.
int64_t CycleStepsAt(const CycleRange& r, int64_t micros);

// What every position shows `micros` after Play: the active ranges rotate in
// their stored order, each over what the ones before it left.
CycleSources CycleSourcesAt(const CycleRanges& ranges, int64_t micros);

// Steps made by each range of a list, by its place in the list.
using CycleStepCounts = std::array<int64_t, kMaxCycleRanges>;

// The same once range i has made steps[i] steps: an inactive range and one with
// LOW >= HIGH moves nothing, whatever its count.
CycleSources CycleSourcesAfter(const CycleRanges& ranges, const CycleStepCounts& steps);

// The first time after `micros` at which an active range makes its next step, or
// -1 when none ever does.
int64_t CycleNextStepAt(const CycleRanges& ranges, int64_t micros);

// The five bands of eight entries from 196 to 235, reverse, active, 60 steps a
// second.
CycleRanges FiveBandsPreset();

}  // namespace hw
