// The kinds of picture file Huewright writes, and the check every writer makes of
// the picture it is given.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "base/result.h"

namespace hw {

enum class PictureFormat { Pcx, Png, Gif, Bmp, Ilbm };

// A picture a writer can hold: sides 1..max_side, at most max_pixels pixels, and
// exactly width x height bytes in `pixels`. `kind` names the file in the error,
// e.g. "a GIF" or "an ILBM".
Status CheckPictureToWrite(std::string_view kind, int width, int height,
                           std::span<const uint8_t> pixels, int max_side,
                           uint64_t max_pixels = std::numeric_limits<uint64_t>::max());

}  // namespace hw
