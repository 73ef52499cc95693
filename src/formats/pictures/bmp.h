// BMP pictures over byte spans: indexed pictures read, 8-bit ones written. Nothing
// here touches a file; the file layer reads the bytes and hands them in.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/pictures/picture_extras.h"

namespace hw {

inline constexpr int kMaxBmpSide = 32767;
inline constexpr uint64_t kMaxBmpPixels = uint64_t{1} << 30;

// True when the bytes start with "BM".
bool HasBmpSignature(std::span<const uint8_t> bytes);

// What a BMP's headers say about its pixels.
struct BmpLayout {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 8;
  bool top_down = false;
  bool run_length = false;   // RLE8 or RLE4; else rows of `stride` bytes
  uint64_t data_offset = 0;  // of the pixel data, from the start of the file
  uint64_t stride = 0;       // bytes of a stored row, padding included
  BoardEntries entries{};    // as DecodedPicture's
  int palette_count = 0;
};

// The most of a file's first bytes that its headers and colour table take.
inline constexpr size_t kBmpHeadBytes = 14 + 124 + 256 * 4;

// Reads the headers and colour table from the first bytes of a file of `file_size`
// bytes (`head`: at least kBmpHeadBytes of them, or the whole file), with every
// check DecodeBmp makes before it reads the pixels; uncompressed rows are checked
// to fit in the file.
Result<BmpLayout> ReadBmpLayout(std::span<const uint8_t> head, uint64_t file_size);

// One stored row of an uncompressed picture as layout.width indices.
void UnpackBmpRow(const BmpLayout& layout, const uint8_t* stored, uint8_t* row);

// Decodes 1, 4 and 8 bits per pixel, uncompressed or run-length (RLE8 at 8 bits,
// RLE4 at 4), bottom-up or top-down, with any palette length (the header's count of
// colours, or 2^bits when it says 0; at most 256 are read). Every info header from
// the 12-byte core header to the 124-byte fifth version is read. Pixels run-length
// data skips are index 0. Refuses true-colour pictures, other compressions, sizes
// above the limits, rows or run-length data that end early, and a picture far larger
// than its run-length data could describe (decided before allocating).
// The picture: entries past the colour table are black; all are opaque (a BMP's
// fourth palette byte is reserved). The bit depth is the file's 1, 4 or 8.
Result<DecodedPicture> DecodeBmp(std::span<const uint8_t> bytes);

// Encodes 8 bits per pixel, uncompressed, bottom-up, with all 256 entries' colours
// (the alpha is not kept; see save_losses.h). pixels must hold width x height bytes;
// sides 1..kMaxBmpSide.
Result<std::vector<uint8_t>> EncodeBmp(int width, int height, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries);

}  // namespace hw
