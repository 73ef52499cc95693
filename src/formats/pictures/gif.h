// GIF pictures over byte spans: giflib reads and writes the records, the image
// data is decoded by gif_lzw.h. Nothing here touches a file; the
// file layer reads the bytes and hands them in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/pictures/picture_extras.h"

namespace hw {

// The largest picture read or written, as for PNG: each side at most 32767, at most
// 2^30 pixels.
inline constexpr int kMaxGifSide = 32767;
inline constexpr uint64_t kMaxGifPixels = uint64_t{1} << 30;

// True when the bytes start with "GIF87a" or "GIF89a".
bool HasGifSignature(std::span<const uint8_t> bytes);

// Decodes the first frame of a GIF87a or GIF89a file (interlaced too) onto its
// logical screen: the picture has the screen's size, the frame is placed at its
// position (clipped to the screen), and the pixels it does not cover take the
// background index (0 when the file has no global colour table). The frame's local
// colour table is used, else the global one; a file with neither is refused, and so
// is a frame cut short or damaged, a screen above the limits, and a screen far
// larger than the file's data could describe (decided before allocating).
// The transparent index, when the frame names one, has alpha 0. The palette count
// is the colour table's (2..256), the bit depth its size's; the extras hold the
// images the file has (only the first is decoded) and its extensions.
Result<DecodedPicture> DecodeGif(std::span<const uint8_t> bytes);

// Encodes a GIF89a of one frame covering the screen, `keep`'s extensions before it. The colour
// table holds entries 0..L-1 (see UsedPaletteLength) rounded up to a power of two, at least 2; the
// lowest entry of alpha 0 is the transparent index. Other alpha is not kept (see
// save_losses.h). pixels must hold width x height bytes; sides 1..kMaxGifSide.
Result<std::vector<uint8_t>> EncodeGif(int width, int height, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries,
                                       const GifExtensions* keep = nullptr);

}  // namespace hw
