// How much of the board a picture file has to hold.
#pragma once

#include <cstdint>
#include <span>

#include "colour/colour.h"

namespace hw {

// L = 1 + the last position that a pixel uses or whose entry is not opaque black:
// entries 0..L-1 keep everything the board holds, the rest read back as they are.
int UsedPaletteLength(std::span<const uint8_t> pixels, const BoardEntries& entries);

}  // namespace hw
