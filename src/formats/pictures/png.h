// Indexed (palette) PNG pictures over byte spans, through libspng. Nothing here
// touches a file; the file layer reads the bytes and hands them in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "colour/cycle_ranges.h"
#include "formats/pictures/picture_extras.h"

namespace hw {

// The types of the whole chunks in `chunks` (as PngChunks holds them), in order.
std::vector<std::string> PngChunkTypes(std::span<const uint8_t> chunks);

// Whether each of entries 0..length-1 is exactly what sBIT's bit counts hold: every
// channel value the left replication of its top b bits (b of 1..8).
bool PngSignificantBitsHold(const std::array<uint8_t, 3>& bits, const BoardEntries& entries,
                            int length);

// The PLTE length a save of `pixels` and `entries` with `keep` writes: entries
// 0..L-1 (UsedPaletteLength), more when bKGD's index lies past them.
int PngSavedLength(std::span<const uint8_t> pixels, const BoardEntries& entries,
                   const PngChunks* keep);

// The largest picture read or written: the PCX window's limit on each side, so any
// picture loaded from a PNG can also be saved as PCX, and the pixel count stays
// below 2^30 (one byte each, so at most 1 GiB of pixels).
inline constexpr uint32_t kMaxPngSide = 32767;
inline constexpr uint64_t kMaxPngPixels = uint64_t{1} << 30;

// True when the bytes start with the 8-byte PNG signature.
bool HasPngSignature(std::span<const uint8_t> bytes);

// Decodes colour type 3 at 1, 2, 4 or 8 bits per pixel, interlaced or not.
// Refuses greyscale and true-colour PNGs, pictures above the limits above, image
// data too short to hold the picture it claims (decided before allocating), and
// any damage: CRC or checksum errors, truncation, a missing IEND.
// The picture: entries the tRNS chunk does not cover are opaque; the palette count
// is PLTE's (1..256), the bit depth the image data's (1, 2, 4 or 8), the cycles the
// crNg chunk's (cycle_chunk.h); the note says when that chunk was left aside ("crNg
// chunk left aside: bad CRC"). The extras hold the chunks a save keeps and the
// frames an APNG holds (its acTL's count; 1 for a still picture, whose image data is
// all that is read).
Result<DecodedPicture> DecodeIndexedPng(std::span<const uint8_t> bytes);

// The palette of an indexed PNG without its pixels: the PLTE entries (count 1..256)
// with their tRNS alpha, the rest black and opaque. Refuses what DecodeIndexedPng
// refuses from the header, the chunk list and the chunks before the image data
// (colour types, sizes, truncation, CRC errors, an invalid tRNS); the image data
// itself is not decompressed.
struct PngPalette {
  BoardEntries entries{};
  int count = 0;
};
Result<PngPalette> DecodePngPalette(std::span<const uint8_t> bytes);

// Any PNG as a palette: an indexed one gives what DecodePngPalette gives; a
// greyscale or true-colour one its distinct colours (8-bit RGBA, the tRNS colour
// transparent) in reading order, left to right then top to bottom, so a strip of
// swatches gives them at any scale. More than 256 distinct colours are refused; the
// rows are decoded one at a time, so nothing of the picture's size is held.
Result<PngPalette> DecodePngColours(std::span<const uint8_t> bytes);

// Encodes entries 0..L-1 as PLTE, L = PngSavedLength, at the smallest bit depth of
// 1, 2, 4 and 8 that holds L, a tRNS up to the last entry whose alpha is below 255
// (none when all are opaque), not interlaced, with `keep`'s chunks (see PngChunks;
// its tIME says `save_time`, seconds since 1970 in UTC). pixels must hold exactly
// width x height bytes; sizes must be 1..kMaxPngSide. With cycle ranges, one crNg
// chunk holds them (none for no ranges).
Result<std::vector<uint8_t>> EncodeIndexedPng(
    int width, int height, std::span<const uint8_t> pixels, const BoardEntries& entries,
    const PngChunks* keep = nullptr, const CycleRanges& cycles = {}, int64_t save_time = 0);

// The bit depth a palette of `length` entries is written at: 1, 2, 4 or 8.
int PngBitDepthFor(int length);

// The same file a slice of rows at a time, for pictures that are never held whole:
// each piece of the file goes to `put` as soon as it is made.
class PngRowEncoder {
 public:
  using Put = std::function<Status(std::span<const uint8_t>)>;
  // `length` entries are written (the picture's pixels must all be below it), at
  // PngBitDepthFor(length) bits per pixel.
  static Result<std::unique_ptr<PngRowEncoder>> Start(int width, int height,
                                                      const BoardEntries& entries, Put put,
                                                      int length = 256);
  ~PngRowEncoder();
  PngRowEncoder(const PngRowEncoder&) = delete;
  PngRowEncoder& operator=(const PngRowEncoder&) = delete;
  // Encodes whole rows, width bytes each, in order; after the last row the file is
  // complete. Returns put's first error.
  Status AppendRows(std::span<const uint8_t> rows);

 private:
  PngRowEncoder() = default;
  struct Ctx;
  std::unique_ptr<Ctx> ctx_;
};

}  // namespace hw
