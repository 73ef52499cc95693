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

namespace hw {

// What a GIF save writes back of the loaded file besides the first frame and its
// colour table: the comment extensions and the application extensions but the
// loop (NETSCAPE2.0), whole (introducer, label, sub-blocks, terminator) in file
// order, written before the image. Plain-text extensions, drawn on the picture,
// and extensions of unknown kinds are left out and counted.
struct GifExtensions {
  std::vector<uint8_t> kept;
  int comments = 0;                       // kept comment extensions
  std::vector<std::string> applications;  // identifiers of the kept application ones
  int plain_texts = 0;                    // left out
  int unknown = 0;                        // left out: of no known kind
  int too_large = 0;                      // left out: past what a picture keeps
  bool empty() const { return kept.empty() && plain_texts == 0 && unknown == 0 && too_large == 0; }
  friend bool operator==(const GifExtensions&, const GifExtensions&) = default;
};

// A decoded picture: one byte per pixel, row-major. Entries past the colour table
// are black and opaque; the transparent index, when the frame names one, has alpha
// 0. Pixel values past the table are kept (they show black).
struct GifPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
  BoardEntries entries{};
  int palette_count = 0;  // entries in the colour table used, 2..256
  uint32_t frames = 1;    // the images the file holds; only the first is decoded
  GifExtensions extensions;
};

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
Result<GifPicture> DecodeGif(std::span<const uint8_t> bytes);

// Encodes a GIF89a of one frame covering the screen, `keep`'s extensions before it. The colour
// table holds entries 0..L-1 (see UsedPaletteLength) rounded up to a power of two, at least 2; the
// lowest entry of alpha 0 is the transparent index. Other alpha is not kept (see
// save_losses.h). pixels must hold width x height bytes; sides 1..kMaxGifSide.
Result<std::vector<uint8_t>> EncodeGif(int width, int height, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries,
                                       const GifExtensions* keep = nullptr);

}  // namespace hw
