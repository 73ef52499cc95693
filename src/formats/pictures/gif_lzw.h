// The LZW decoder for GIF image data. Each code's string is a run of pixels already
// written (the string of the code before it plus one pixel), so the table keeps
// only where that run starts and how long it is, and a code is decoded by copying
// bytes from earlier in the output.
#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"

namespace hw {

// Decodes a frame's image data, `blocks` being its data sub-blocks as a file holds
// them (a length byte, then that many bytes; a zero length ends them), of LZW
// minimum code size `min_code_size` (1 to 8), into exactly out.size() pixels.
// Codes past the last pixel are not read, but the sub-blocks must end within the
// span. Refuses a code the table does not hold yet, an end code or the end of the
// data before the last pixel, and a code size outside 1 to 8; the message says
// which. Never reads or writes outside the spans.
Status DecodeGifLzw(std::span<const uint8_t> blocks, int min_code_size, std::span<uint8_t> out);

}  // namespace hw
