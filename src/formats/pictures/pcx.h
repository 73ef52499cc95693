// PCX codec: 8-bit indexed pictures and palette files, over byte spans.
// Nothing here touches a file or a window; picture_io.h reads and writes files.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/pictures/picture_extras.h"

namespace hw {

inline constexpr size_t kPcxHeaderSize = 128;
inline constexpr size_t kPaletteBytes = 768;
// The first byte of every PCX file (the header's Manufacturer).
inline constexpr uint8_t kPcxManufacturer = 10;
// The cause given for a file that is neither a PCX nor a PNG picture, by every reader.
inline constexpr const char* kNotAPicture = "not a picture Huewright reads";

// True when the bytes start with a PCX file's manufacturer byte.
inline bool HasPcxSignature(std::span<const uint8_t> bytes) {
  return !bytes.empty() && bytes[0] == kPcxManufacturer;
}

// The depths read: 8 bits in 1 plane (with the 256-colour palette at the end of the
// file), and the low depths, whose colours are the header's ColorMap: 1, 2 or 4 bits
// packed in 1 plane, or 1 bit in 2, 3 or 4 planes. True colour (3 planes of 8 bits)
// and every other combination are refused.
bool PcxDepthReadable(const PcxHeader& header);
bool PcxIsLowDepth(const PcxHeader& header);
// 2 to the bits per pixel times the planes: the indices a picture of that depth holds.
int PcxColours(const PcxHeader& header);
// The palette of a low-depth picture: ColorMap's 16 entries, the rest black; for
// 1 bit in 1 plane, entries 0 and 1 when they differ, else black and white (as
// netpbm's reader does where it and Pillow disagree). A ColorMap of 48 zero bytes
// gives the first PcxColours of the standard 16 display colours instead (black,
// white, green, cyan ... as netpbm's reader shows such a file), whatever the Version.
Palette PcxHeaderPalette(const PcxHeader& header);
// One row of a low-depth picture: NPlanes planes of BytesPerLine bytes <-> width
// indices, one byte each. Packing zeroes the padding and drops bits past the depth.
void UnpackPcxRow(const PcxHeader& header, const uint8_t* scan, int32_t width, uint8_t* out);
void PackPcxRow(const PcxHeader& header, const uint8_t* row, int32_t width, uint8_t* scan);

// Makes `header` one a save can write for these pixels and entries: kept as it is
// when the picture fits its depth (every used index below PcxColours, every entry
// past them opaque black, for 1 bit in 1 plane entries 0 and 1 unlike, and not every
// entry below PcxColours black, so the file reads back as the board), else turned into an 8-bit,
// one-plane header of the same window. Returns why it had to be widened, or nullopt when kept.
std::optional<std::string> FitPcxDepth(PcxHeader& header, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries);

// Width and height from the window fields in 16-bit arithmetic, and their product
// in 32-bit arithmetic. Fails when any of them leaves its range.
struct PcxSize {
  int32_t width = 0;
  int32_t height = 0;
  int32_t count = 0;
};
Result<PcxSize> PictureSize(const PcxHeader& header);

// A header for a new 8-bit, one-plane, run-length encoded picture of width x height
// at 72 dpi, rows of `width` bytes.
PcxHeader IndexedPictureHeader(int16_t width, int16_t height);

// Header <-> 128 little-endian bytes. Reading refuses a file whose first byte is not
// the manufacturer byte 10 (kNotAPicture) before it looks at the length, so every
// reader built on it refuses such a file the same way.
Result<PcxHeader> ReadPcxHeader(std::span<const uint8_t> file);
std::array<uint8_t, kPcxHeaderSize> HeaderBytes(const PcxHeader& header);

// Decodes the run-length pixel data after the header into a row-major buffer of
// width x height indices (rows of BytesPerLine bytes, filler dropped). Refuses
// anything but 8 bits per pixel in one plane, data that ends early (including data
// that only reaches the picture's end by running into the trailing palette), and
// sizes the file cannot hold; decided before allocating.
Result<std::vector<uint8_t>> ReadPcxPixels(std::span<const uint8_t> file);

// The last 768 bytes of any file of at least 768 bytes.
Result<Palette> ReadPcxPalette(std::span<const uint8_t> file);

// A whole picture: header, pixels and palette, all checked; the entries are the
// palette's, opaque, the header in the extras.
Result<DecodedPicture> DecodePcx(std::span<const uint8_t> file);

// Supplies the bytes that follow a PCX header, in order: stores up to into.size()
// bytes at the front of `into` and returns how many; 0 means there are no more.
using PcxByteSource = std::function<Result<size_t>(std::span<uint8_t> into)>;

// Decodes a PCX picture's pixels a few rows at a time into the caller's buffers,
// pulling the file's bytes from a source through one fixed input buffer, so that no
// picture-sized buffer is needed. Accepts and refuses exactly what ReadPcxPixels
// and DecodePcx do, with the same messages; only where the source runs dry before
// the file size said it would (a file that shrank while being read) is the cause
// different. Never reads the trailing 768 palette bytes.
class PcxRowDecoder {
 public:
  static constexpr size_t kDefaultInputBytes = size_t{64} << 10;

  // head: the file's first 128 bytes (all of it when it is shorter); file_size: the
  // whole file's size, which places the end of the pixel data 768 bytes before it.
  // The source then yields the bytes after the header. Checks everything DecodePcx
  // checks before it decodes; input_bytes (at least 256) sizes the input buffer.
  static Result<PcxRowDecoder> Open(std::span<const uint8_t> head, uint64_t file_size,
                                    PcxByteSource source, size_t input_bytes = kDefaultInputBytes);

  const PcxHeader& header() const { return header_; }
  const PcxSize& size() const { return size_; }
  int32_t rows_done() const { return rows_done_; }
  bool done() const { return rows_done_ == size_.height; }

  // Decodes the next rows, each width bytes without filler, into `out`: as many
  // whole rows as fit (at least one must fit) and remain. Returns the number
  // decoded, 0 once all are done. After an error the decoder is of no more use.
  Result<int32_t> ReadRows(std::span<uint8_t> out);

 private:
  PcxRowDecoder() = default;
  // Decodes (or, raw, copies) exactly n bytes into dst, refilling the input as it
  // runs short.
  Status Take(uint8_t* dst, int64_t n);
  // Moves the unread input to the front of the buffer and fills the rest; false
  // when the source had nothing more to give.
  Result<bool> Refill();

  PcxHeader header_{};
  PcxSize size_{};
  int64_t row_bytes_ = 0;
  int32_t rows_done_ = 0;
  PcxByteSource source_;
  uint64_t data_left_ = 0;  // pixel-data bytes not yet pulled from the source
  std::vector<uint8_t> input_;
  size_t pos_ = 0, end_ = 0;  // unread input is input_[pos_, end_)
  int pending_ = 0;           // run carried over from the last Take
  uint8_t value_ = 0;
  std::vector<uint8_t> filler_;
  std::vector<uint8_t> scan_;  // one packed row of a low-depth picture
};

// Encodes a file: copies palette entries 0..15 into header.ColorMap (the change
// stays in the caller's record), then header, pixel data (raw when Encoding is 0,
// run-length otherwise, rows padded to BytesPerLine), the byte 12 and the palette.
// A low-depth header packs the rows at its depth (each plane's bytes encoded on
// their own) and has no palette after them; an index its depth cannot hold is
// refused.
// A count of 0 or less writes no pixel data. pixels must hold width x height bytes.
Result<std::vector<uint8_t>> WritePcx(PcxHeader& header, std::span<const uint8_t> pixels,
                                      const Palette& palette);

// The same file a slice of rows at a time, for pictures that are never held whole:
// Head(), then AppendRows() for every row in order, then AppendTail() give exactly
// the bytes WritePcx gives.
class PcxRowEncoder {
 public:
  // Copies palette entries 0..15 into header.ColorMap, as WritePcx does.
  static Result<PcxRowEncoder> Start(PcxHeader& header, const Palette& palette);
  std::array<uint8_t, kPcxHeaderSize> Head() const { return HeaderBytes(header_); }
  // Appends the encoding of whole rows, width bytes each, to `out`.
  void AppendRows(std::span<const uint8_t> rows, std::vector<uint8_t>& out);
  // Appends the byte 12 and the palette.
  void AppendTail(std::vector<uint8_t>& out) const;

 private:
  PcxHeader header_{};
  Palette palette_{};
  int32_t width_ = 0;  // 0 for a picture without pixel data
  int64_t row_bytes_ = 0;
  bool packed_ = false;  // a low-depth picture: rows packed into planes
  std::vector<uint8_t> padded_, encoded_;
};

}  // namespace hw
