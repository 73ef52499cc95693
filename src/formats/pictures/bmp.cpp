#include "formats/pictures/bmp.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/pictures/bytes.h"
#include "formats/pictures/picture_format.h"
#include "formats/pictures/pixel_limit.h"

namespace hw {

using namespace bytes;
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2;
// Run-length data can skip to the end of a row in two bytes; beyond this many
// pixels a picture must be backed by data in proportion.
constexpr uint64_t kFreePixels = uint64_t{1} << 24;
constexpr uint64_t kRlePixelsPerByte = 4096;

constexpr const char* kRleEndsEarly = "the run-length data ends early";

// Decodes run-length data into the picture's rows; row r of the data is picture row
// row_of(r). Runs past a row's end are cut; a move past the last row ends the data.
// The column saturates at the width: nothing past it is drawn, and a long file of
// runs cannot overflow it.
template <typename RowOf>
Status DecodeRle(std::span<const uint8_t> data, int bits, int width, int height, RowOf row_of,
                 std::vector<uint8_t>& pixels) {
  size_t at = 0;
  int x = 0, r = 0;
  const auto row = [&] { return pixels.data() + static_cast<size_t>(row_of(r)) * width; };
  uint8_t* line = row();  // row r, while r < height
  while (r < height) {
    if (data.size() - at < 2) return Error{kRleEndsEarly};
    const uint8_t n = data[at], v = data[at + 1];
    at += 2;
    if (n > 0) {
      const int run = std::min<int>(n, width - x);
      uint8_t* out = line + x;
      if (bits == 8) {
        // Photographs hold mostly runs of one or two: a call would cost more.
        for (int i = 0; i < run; ++i) out[i] = v;
      } else {
        for (int i = 0; i < run; ++i) out[i] = i & 1 ? v & 15 : v >> 4;
      }
      x += run;
      continue;
    }
    if (v == 0) {  // end of the row
      x = 0;
      if (++r < height) line = row();
    } else if (v == 1) {  // end of the picture
      return Ok{};
    } else if (v == 2) {  // move right and down
      if (data.size() - at < 2) return Error{kRleEndsEarly};
      x = std::min(width, x + data[at]);
      r += data[at + 1];
      at += 2;
      if (r < height) line = row();
    } else {  // v literal pixels, padded to a whole number of 16-bit words
      const size_t bytes = bits == 8 ? v : (v + 1u) / 2;
      const size_t padded = bytes + (bytes & 1);
      if (data.size() - at < padded) return Error{kRleEndsEarly};
      const int count = std::min<int>(v, width - x);
      uint8_t* out = line + x;
      const uint8_t* in = data.data() + at;
      if (bits == 8) {
        std::memcpy(out, in, static_cast<size_t>(count));
      } else {
        for (int i = 0; i < count; ++i) out[i] = i & 1 ? in[i / 2] & 15 : in[i / 2] >> 4;
      }
      x += count;
      at += padded;
    }
  }
  return Ok{};
}

}  // namespace

bool HasBmpSignature(std::span<const uint8_t> bytes) {
  return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

Result<BmpLayout> ReadBmpLayout(std::span<const uint8_t> head, uint64_t file_size) {
  if (!HasBmpSignature(head)) return Error{"not a BMP file (no BM signature)"};
  if (head.size() < kFileHeaderBytes + 12) return Error{"the BMP file is shorter than its header"};
  const uint32_t offset = Le32(head, 10);
  const uint32_t info = Le32(head, 14);
  const bool core = info == 12;
  if (!core && (info < 40 || info > 124)) {
    return Error{"unknown BMP header of " + std::to_string(info) + " bytes"};
  }
  if (head.size() < kFileHeaderBytes + info)
    return Error{"the BMP file is shorter than its header"};
  const size_t h = kFileHeaderBytes;
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = kRgb, colours = 0;
  if (core) {
    width = Le16(head, h + 4);
    height = Le16(head, h + 6);
    bits = Le16(head, h + 10);
  } else {
    width = static_cast<int32_t>(Le32(head, h + 4));
    height = static_cast<int32_t>(Le32(head, h + 8));
    bits = Le16(head, h + 14);
    compression = Le32(head, h + 16);
    colours = Le32(head, h + 32);
  }
  if (bits == 16 || bits == 24 || bits == 32) {
    return Error{"a true-colour BMP (" + std::to_string(bits) +
                 " bits per pixel); only indexed pictures of 1, 4 or 8 bits can be read"};
  }
  if (bits != 1 && bits != 4 && bits != 8) {
    return Error{"unsupported BMP of " + std::to_string(bits) + " bits per pixel"};
  }
  if (!(compression == kRgb || (compression == kRle8 && bits == 8) ||
        (compression == kRle4 && bits == 4))) {
    return Error{"unsupported BMP compression " + std::to_string(compression) + " at " +
                 std::to_string(bits) + " bits per pixel"};
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width < 1 || height < 1 || width > kMaxBmpSide || height > kMaxBmpSide ||
      static_cast<uint64_t>(width * height) > kMaxBmpPixels) {
    return Error{"a BMP picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels cannot be read (each side 1 to " + std::to_string(kMaxBmpSide) + ")"};
  }

  // The colour table follows the info header (and the three masks a 40-byte header
  // may carry are not used by indexed pictures).
  const size_t entry_bytes = core ? 3 : 4;
  const size_t table_at = h + info;
  size_t count = colours == 0 ? size_t{1} << bits : std::min<size_t>(colours, 256);
  if (colours > 256 && colours > (uint32_t{1} << bits)) {
    return Error{"the BMP's colour table of " + std::to_string(colours) + " entries is too long"};
  }
  if (table_at + count * entry_bytes > head.size()) {
    return Error{"the BMP file is shorter than its colour table"};
  }
  if (offset < table_at || offset > file_size) {
    return Error{"the BMP's pixel data offset " + std::to_string(offset) + " is outside the file"};
  }
  const uint64_t data_size = file_size - offset;
  const uint64_t pixel_count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  if (compression == kRgb) {
    // Every row whole, but the last row's padding.
    const uint64_t needed =
        stride * static_cast<uint64_t>(height - 1) + (static_cast<uint64_t>(width) * bits + 7) / 8;
    if (needed > data_size) return Error{"the BMP's pixel rows end early"};
  } else if (pixel_count > kFreePixels && pixel_count / kRlePixelsPerByte > data_size) {
    return Error{"a BMP picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large for its run-length data"};
  }
  // Only a picture the file can hold is worth the advice to allow more.
  if (Status within = CheckPixelLimit(width, height); !within) return within.error();

  BmpLayout layout;
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  layout.bits_per_pixel = static_cast<int>(bits);
  layout.top_down = top_down;
  layout.run_length = compression != kRgb;
  layout.data_offset = offset;
  layout.stride = stride;
  layout.palette_count = static_cast<int>(count);
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* e = head.data() + table_at + k * entry_bytes;
    layout.entries[k].rgb = {e[2], e[1], e[0]};
  }
  return layout;
}

namespace {

// Splits each stored byte into its 8 / kBits pixels, the high bits first. The
// inner loop has a fixed count, so the compiler unrolls and vectorises it.
template <int kBits>
void UnpackPackedRow(const uint8_t* stored, uint8_t* row, int width) {
  constexpr int kPerByte = 8 / kBits;
  constexpr unsigned kMask = (1u << kBits) - 1;
  const int whole = width / kPerByte;
  for (int i = 0; i < whole; ++i) {
    const unsigned b = stored[i];
    for (int k = 0; k < kPerByte; ++k) {
      row[i * kPerByte + k] = static_cast<uint8_t>((b >> (8 - kBits * (k + 1))) & kMask);
    }
  }
  for (int k = 0; k < width - whole * kPerByte; ++k) {
    row[whole * kPerByte + k] =
        static_cast<uint8_t>((stored[whole] >> (8 - kBits * (k + 1))) & kMask);
  }
}

}  // namespace

void UnpackBmpRow(const BmpLayout& layout, const uint8_t* stored, uint8_t* row) {
  switch (layout.bits_per_pixel) {
    case 1:
      return UnpackPackedRow<1>(stored, row, layout.width);
    case 4:
      return UnpackPackedRow<4>(stored, row, layout.width);
    default:
      std::memcpy(row, stored, static_cast<size_t>(layout.width));
  }
}

Result<DecodedPicture> DecodeBmp(std::span<const uint8_t> bytes) {
  auto layout = ReadBmpLayout(bytes, bytes.size());
  if (!layout) return layout.error();
  const int w = layout->width, ht = layout->height;
  DecodedPicture pic;
  pic.format = pic.extras.format = PictureFormat::Bmp;
  pic.width = w;
  pic.height = ht;
  pic.bit_depth = layout->bits_per_pixel;
  pic.palette_count = layout->palette_count;
  pic.entries = layout->entries;
  const size_t pixel_count = static_cast<size_t>(w) * static_cast<size_t>(ht);
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  pic.pixels.reserve(pixel_count);
  AdviseHugePages(pic.pixels.data(), pic.pixels.capacity());
  pic.pixels.assign(pixel_count, 0);
  const std::span<const uint8_t> data = bytes.subspan(layout->data_offset);
  const bool top_down = layout->top_down;
  const auto row_of = [top_down, ht](int r) { return top_down ? r : ht - 1 - r; };
  if (layout->run_length) {
    auto decoded = DecodeRle(data, layout->bits_per_pixel, w, ht, row_of, pic.pixels);
    if (!decoded) return decoded.error();
    return pic;
  }
  for (int r = 0; r < ht; ++r) {
    UnpackBmpRow(*layout, data.data() + static_cast<size_t>(r) * layout->stride,
                 pic.pixels.data() + static_cast<size_t>(row_of(r)) * w);
  }
  return pic;
}

Result<std::vector<uint8_t>> EncodeBmp(int width, int height, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries) {
  if (Status fits = CheckPictureToWrite("a BMP", width, height, pixels, kMaxBmpSide); !fits) {
    return fits.error();
  }
  const size_t stride = (static_cast<size_t>(width) + 3) / 4 * 4;
  const size_t offset = kFileHeaderBytes + 40 + 256 * 4;
  const size_t size = offset + stride * static_cast<size_t>(height);
  std::vector<uint8_t> out;
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  out.reserve(size);
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, static_cast<uint32_t>(size));
  PutLe32(out, 0);
  PutLe32(out, static_cast<uint32_t>(offset));
  PutLe32(out, 40);
  PutLe32(out, static_cast<uint32_t>(width));
  PutLe32(out, static_cast<uint32_t>(height));  // positive: bottom-up
  PutLe16(out, 1);
  PutLe16(out, 8);
  PutLe32(out, kRgb);
  PutLe32(out, static_cast<uint32_t>(stride * static_cast<size_t>(height)));
  PutLe32(out, 2835);  // 72 dots per inch, in dots per metre
  PutLe32(out, 2835);
  PutLe32(out, 256);
  PutLe32(out, 0);
  for (const BoardEntry& e : entries) {
    out.insert(out.end(), {e.rgb.B, e.rgb.G, e.rgb.R, 0});
  }
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* row = pixels.data() + static_cast<size_t>(y) * width;
    out.insert(out.end(), row, row + width);
    out.insert(out.end(), stride - static_cast<size_t>(width), 0);
  }
  return out;
}

}  // namespace hw
