// Saving the colour-cycling animation the GIF codec encodes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/pictures/gif_animation.h"

namespace hw {

// Saves the animation EncodeGifColourAnimation describes through SaveFileStreamed,
// so a failure keeps the old file; a picture or animation the encoder refuses is
// refused before anything is written.
Status SaveGifColourAnimation(const std::string& path, int width, int height,
                              std::span<const uint8_t> pixels, const BoardEntries& entries,
                              std::span<const GifColourFrame> frames);

}  // namespace hw
