// Animated GIFs whose frames all show the same pixels, each under its own colour
// table: colour cycling written as a file any viewer plays.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/pictures/bytes.h"

namespace hw {

struct GifColourFrame {
  Palette colours{};   // the frame's colour table, by position
  int hundredths = 0;  // how long the frame shows: 1..65535 hundredths of a second
};

// The largest animation file written: its frames repeat the picture's compressed
// pixels, so a large picture over many frames could otherwise fill the disk.
inline constexpr uint64_t kMaxGifAnimationBytes = uint64_t{1} << 32;

// Encodes a GIF89a that loops forever and shows `frames` in order, each covering
// the screen with a local colour table and a graphic control extension (its delay;
// "do not dispose"). The pixels are compressed once, here, and the same image data
// follows every frame's table as the returned writer streams the file. The tables
// hold positions 0..L-1 as EncodeGif's does (L from the pixels and `entries`, see
// UsedPaletteLength), so every frame reads back the same indices; the lowest
// position of `entries` with alpha 0 is every frame's transparent index. pixels
// must hold width x height bytes, sides 1..kMaxGifSide; at least one frame; files
// above kMaxGifAnimationBytes are refused here, before anything is written. The
// writer reads `frames`, which must outlive it.
Result<bytes::Writer> EncodeGifColourAnimation(int width, int height,
                                               std::span<const uint8_t> pixels,
                                               const BoardEntries& entries,
                                               std::span<const GifColourFrame> frames);

}  // namespace hw
