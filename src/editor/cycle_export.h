// "Export Cycle Animation...": one period of the picture's colour cycling as an
// animated GIF, for the window and the command line alike.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "colour/colour.h"
#include "colour/cycle_ranges.h"
#include "cycle/fixed_frames.h"

namespace hw {

// Saves the picture (pixels by position, the board's entries) to `path` as a GIF
// that loops one period of the active ranges (see cycle/period_frames.h): each
// frame's table shows the entries' colours where the ranges have moved them, while
// alpha stays with the position, as the window shows it playing. Returns the
// number of frames written. Refused before anything is written when no active range
// steps or the period has too many frames (the message then names no file, the
// fault being the ranges'); a failed write keeps the old file.
Result<int> SaveCycleAnimation(const std::string& path, int32_t width, int32_t height,
                               std::span<const uint8_t> pixels, const BoardEntries& entries,
                               const CycleRanges& cycles);

// The same over a fixed length instead of the exact period (cycle/fixed_frames.h):
// floor(S * F) frames that last S seconds together, for ranges whose exact loop is
// too long. Refused as CycleFixedFrames refuses, before anything is written.
Result<int> SaveFixedCycleAnimation(const std::string& path, int32_t width, int32_t height,
                                    std::span<const uint8_t> pixels, const BoardEntries& entries,
                                    const CycleRanges& cycles, const FixedLength& length);

}  // namespace hw
