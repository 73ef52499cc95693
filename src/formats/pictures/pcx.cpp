// PCX codec over byte spans: header, run-length pixel data, trailing palette. The
// run-length kernels themselves are in pcx_runs.cpp.
#include "formats/pictures/pcx.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/pictures/pcx_runs.h"
#include "formats/pictures/pixel_limit.h"

namespace hw {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t GetS16(const uint8_t* p) { return static_cast<int16_t>(Get16(p)); }
void Put16(uint8_t* p, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  p[0] = static_cast<uint8_t>(u & 0xFF);
  p[1] = static_cast<uint8_t>(u >> 8);
}

// Bytes per decoded row: BytesPerLine when it is larger than the width (the
// excess is filler), otherwise the width itself.
int64_t RowBytes(const PcxHeader& header, int32_t width) {
  return std::max<int64_t>(header.BytesPerLine, width);
}

}  // namespace

Result<PcxSize> PictureSize(const PcxHeader& header) {
  const int32_t w = int32_t{header.Xmax} - header.Xmin + 1;
  const int32_t h = int32_t{header.Ymax} - header.Ymin + 1;
  if (w < -32768 || w > 32767)
    return Error{"picture width overflows (window " + std::to_string(header.Xmin) + ".." +
                 std::to_string(header.Xmax) + ")"};
  if (h < -32768 || h > 32767)
    return Error{"picture height overflows (window " + std::to_string(header.Ymin) + ".." +
                 std::to_string(header.Ymax) + ")"};
  const int64_t count = int64_t{w} * h;
  if (count < INT32_MIN || count > INT32_MAX) return Error{"picture pixel count overflows"};
  return PcxSize{w, h, static_cast<int32_t>(count)};
}

bool PcxDepthReadable(const PcxHeader& h) {
  if (h.NPlanes == 1) {
    return h.BitsPerPixel == 1 || h.BitsPerPixel == 2 || h.BitsPerPixel == 4 || h.BitsPerPixel == 8;
  }
  return h.BitsPerPixel == 1 && h.NPlanes >= 2 && h.NPlanes <= 4;
}

bool PcxIsLowDepth(const PcxHeader& h) { return PcxDepthReadable(h) && h.BitsPerPixel < 8; }

int PcxColours(const PcxHeader& h) {
  const int bits = h.BitsPerPixel * h.NPlanes;
  return bits >= 8 ? 256 : 1 << bits;
}

namespace {

// The colours of a low-depth picture whose header palette is all zero (written by
// programs that left it out): the 16 colours of the classic display adapters.
constexpr std::array<RGBTriple, 16> kDefaultHeaderColours = {{
    {0, 0, 0},
    {255, 255, 255},
    {0, 170, 0},
    {0, 170, 170},
    {170, 0, 0},
    {170, 0, 170},
    {170, 170, 0},
    {170, 170, 170},
    {85, 85, 85},
    {85, 85, 255},
    {85, 255, 85},
    {85, 255, 255},
    {255, 85, 85},
    {255, 85, 255},
    {255, 255, 85},
    {255, 255, 255},
}};

bool HeaderPaletteIsEmpty(const PcxHeader& h) {
  return std::all_of(h.ColorMap.begin(), h.ColorMap.end(),
                     [](const RGBTriple& c) { return c == RGBTriple{}; });
}

}  // namespace

Palette PcxHeaderPalette(const PcxHeader& h) {
  Palette palette{};
  if (HeaderPaletteIsEmpty(h)) {
    const size_t colours = static_cast<size_t>(std::min(PcxColours(h), 16));
    std::copy_n(kDefaultHeaderColours.begin(), colours, palette.begin());
    return palette;
  }
  std::copy(h.ColorMap.begin(), h.ColorMap.end(), palette.begin());
  if (h.BitsPerPixel == 1 && h.NPlanes == 1 && h.ColorMap[0] == h.ColorMap[1]) {
    palette[0] = {0, 0, 0};
    palette[1] = {255, 255, 255};
  }
  return palette;
}

void UnpackPcxRow(const PcxHeader& h, const uint8_t* scan, int32_t width, uint8_t* out) {
  const int bits = h.BitsPerPixel;
  if (h.NPlanes == 1) {
    const int per_byte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % per_byte + 1);
      out[x] = static_cast<uint8_t>((scan[x / per_byte] >> shift) & mask);
    }
    return;
  }
  std::memset(out, 0, static_cast<size_t>(width));
  for (int p = 0; p < h.NPlanes; ++p) {
    const uint8_t* plane = scan + static_cast<size_t>(p) * static_cast<size_t>(h.BytesPerLine);
    for (int32_t x = 0; x < width; ++x) {
      out[x] = static_cast<uint8_t>(out[x] | ((plane[x >> 3] >> (7 - (x & 7))) & 1) << p);
    }
  }
}

void PackPcxRow(const PcxHeader& h, const uint8_t* row, int32_t width, uint8_t* scan) {
  const int bits = h.BitsPerPixel;
  std::memset(scan, 0, static_cast<size_t>(h.BytesPerLine) * h.NPlanes);
  if (h.NPlanes == 1) {
    const int per_byte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % per_byte + 1);
      scan[x / per_byte] = static_cast<uint8_t>(scan[x / per_byte] | (row[x] & mask) << shift);
    }
    return;
  }
  for (int p = 0; p < h.NPlanes; ++p) {
    uint8_t* plane = scan + static_cast<size_t>(p) * static_cast<size_t>(h.BytesPerLine);
    for (int32_t x = 0; x < width; ++x) {
      plane[x >> 3] = static_cast<uint8_t>(plane[x >> 3] | ((row[x] >> p) & 1) << (7 - (x & 7)));
    }
  }
}

std::optional<std::string> FitPcxDepth(PcxHeader& header, std::span<const uint8_t> pixels,
                                       const BoardEntries& entries) {
  if (!PcxIsLowDepth(header)) return std::nullopt;
  const int colours = PcxColours(header);
  const std::string depth = std::to_string(header.BitsPerPixel * header.NPlanes) + "-bit";
  std::string why;
  const uint8_t top = pixels.empty() ? 0 : *std::max_element(pixels.begin(), pixels.end());
  if (top >= colours) {
    why = "index " + std::to_string(top) + " is used and a " + depth + " PCX holds " +
          std::to_string(colours) + " colours";
  } else {
    for (size_t k = static_cast<size_t>(colours); k < 256 && why.empty(); ++k) {
      if (entries[k] != BoardEntry{}) {
        why = "entry " + std::to_string(k) + " has a colour and a " + depth + " PCX holds " +
              std::to_string(colours);
      }
    }
    if (why.empty() && colours == 2 && header.NPlanes == 1 && entries[0].rgb == entries[1].rgb) {
      why = "entries 0 and 1 are alike, which a 1-bit PCX reads as black and white";
    }
    bool all_black = true;
    for (size_t k = 0; k < static_cast<size_t>(colours); ++k) {
      all_black = all_black && entries[k].rgb == RGBTriple{};
    }
    if (why.empty() && all_black) {
      why = "every entry is black, which a " + depth + " PCX reads as the standard 16 colours";
    }
  }
  if (why.empty()) return std::nullopt;
  const auto size = PictureSize(header);
  header.Version = 5;
  header.BitsPerPixel = 8;
  header.NPlanes = 1;
  header.PaletteInfo = 1;
  if (size) header.BytesPerLine = static_cast<int16_t>(std::max<int32_t>(size->width, 1));
  return why;
}

PcxHeader IndexedPictureHeader(int16_t width, int16_t height) {
  PcxHeader h{};
  h.Manufacturer = 10;
  h.Version = 5;
  h.Encoding = 1;
  h.BitsPerPixel = 8;
  h.Xmax = static_cast<int16_t>(width - 1);
  h.Ymax = static_cast<int16_t>(height - 1);
  h.HDpi = 72;
  h.VDpi = 72;
  h.NPlanes = 1;
  h.BytesPerLine = width;
  h.PaletteInfo = 1;
  return h;
}

Result<PcxHeader> ReadPcxHeader(std::span<const uint8_t> file) {
  if (!HasPcxSignature(file)) return Error{kNotAPicture};
  if (file.size() < kPcxHeaderSize) {
    return Error{"file is shorter than the 128-byte header (" + std::to_string(file.size()) +
                 " bytes)"};
  }
  const uint8_t* p = file.data();
  PcxHeader h;
  h.Manufacturer = p[0];
  h.Version = p[1];
  h.Encoding = p[2];
  h.BitsPerPixel = p[3];
  h.Xmin = GetS16(p + 4);
  h.Ymin = GetS16(p + 6);
  h.Xmax = GetS16(p + 8);
  h.Ymax = GetS16(p + 10);
  h.HDpi = GetS16(p + 12);
  h.VDpi = GetS16(p + 14);
  std::memcpy(h.ColorMap.data(), p + 16, 48);
  h.Reserved = p[64];
  h.NPlanes = p[65];
  h.BytesPerLine = GetS16(p + 66);
  h.PaletteInfo = GetS16(p + 68);
  h.HScreenSize = GetS16(p + 70);
  h.VScreenSize = GetS16(p + 72);
  std::memcpy(h.Filler.data(), p + 74, 54);
  return h;
}

std::array<uint8_t, kPcxHeaderSize> HeaderBytes(const PcxHeader& h) {
  std::array<uint8_t, kPcxHeaderSize> b{};
  uint8_t* p = b.data();
  p[0] = h.Manufacturer;
  p[1] = h.Version;
  p[2] = h.Encoding;
  p[3] = h.BitsPerPixel;
  Put16(p + 4, h.Xmin);
  Put16(p + 6, h.Ymin);
  Put16(p + 8, h.Xmax);
  Put16(p + 10, h.Ymax);
  Put16(p + 12, h.HDpi);
  Put16(p + 14, h.VDpi);
  std::memcpy(p + 16, h.ColorMap.data(), 48);
  p[64] = h.Reserved;
  p[65] = h.NPlanes;
  Put16(p + 66, h.BytesPerLine);
  Put16(p + 68, h.PaletteInfo);
  Put16(p + 70, h.HScreenSize);
  Put16(p + 72, h.VScreenSize);
  std::memcpy(p + 74, h.Filler.data(), 54);
  return b;
}

namespace {

constexpr const char* kEndsEarly =
    "pixel data ends early (before the picture is complete, or runs into the palette)";

// What the pixel data of a file of file_size bytes must hold, checked before
// anything is allocated or decoded.
struct PixelLayout {
  PcxSize size;
  int64_t row_bytes = 0;
  uint64_t data_bytes = 0;  // between the header and the trailing palette block
};

Result<PixelLayout> CheckPixelLayout(const PcxHeader& h, uint64_t file_size) {
  if (h.BitsPerPixel == 8 && h.NPlanes == 3) {
    return Error{
        "a 24-bit true-colour picture (3 planes of 8 bits); only indexed pictures can "
        "be read"};
  }
  if (!PcxDepthReadable(h)) {
    return Error{"unsupported picture: " + std::to_string(h.BitsPerPixel) + " bits per pixel in " +
                 std::to_string(h.NPlanes) +
                 " plane(s); indexed pictures of 8 bits in 1 plane, 1, 2 or 4 bits in 1 plane, or "
                 "1 bit in 2, 3 or 4 planes can be read"};
  }
  const bool packed = PcxIsLowDepth(h);
  auto size = PictureSize(h);
  if (!size) return size.error();
  const int32_t w = size->width, ht = size->height;
  if (w <= 0 || ht <= 0) {
    return Error{"picture has no pixels (" + std::to_string(w) + " x " + std::to_string(ht) + ")"};
  }
  PixelLayout layout{*size, RowBytes(h, w), 0};
  int64_t needed = 0;
  if (packed) {
    // Each row is NPlanes planes of BytesPerLine bytes, every one of them needed.
    const int64_t plane_bytes = (int64_t{w} * h.BitsPerPixel + 7) / 8;
    if (h.BytesPerLine < plane_bytes) {
      return Error{"BytesPerLine " + std::to_string(h.BytesPerLine) +
                   " is too short for a row of " + std::to_string(w) + " pixels at " +
                   std::to_string(h.BitsPerPixel) + " bits"};
    }
    layout.row_bytes = int64_t{h.BytesPerLine} * h.NPlanes;
    layout.data_bytes = file_size >= kPcxHeaderSize ? file_size - kPcxHeaderSize : 0;
    needed = layout.row_bytes * ht;
  } else {
    layout.data_bytes = file_size >= kPcxHeaderSize + kPaletteBytes
                            ? file_size - kPcxHeaderSize - kPaletteBytes
                            : 0;
    // Decoded bytes needed: every row in full except the last, whose filler is not needed.
    needed = layout.row_bytes * (ht - 1) + w;
  }
  // Far more than any picture needs, so that the bound below cannot overflow.
  const int64_t data =
      static_cast<int64_t>(std::min<uint64_t>(layout.data_bytes, uint64_t{1} << 40));
  if (h.Encoding == 0) {
    // Uncompressed rows, as the writer stores them for Encoding 0. Reading them as
    // run-length data would turn every index of 192 or more into a run marker.
    if (needed > data) return Error{kEndsEarly};
    if (Status within = CheckPixelLimit(w, ht); !within) return within.error();
    return layout;
  }
  // Each encoded pair yields at most 63 bytes; refuse before allocating anything.
  const int64_t most = 63 * (data / 2) + data % 2;
  if (needed > most) {
    return Error{"picture size " + std::to_string(w) + " x " + std::to_string(ht) +
                 " is too large for the file's pixel data (pixel data ends early)"};
  }
  // Only a picture the file can hold is worth the advice to allow more.
  if (Status within = CheckPixelLimit(w, ht); !within) return within.error();
  return layout;
}

}  // namespace

Result<std::vector<uint8_t>> ReadPcxPixels(std::span<const uint8_t> file) {
  auto header = ReadPcxHeader(file);
  if (!header) return header.error();
  const PcxHeader& h = *header;
  auto layout = CheckPixelLayout(h, file.size());
  if (!layout) return layout.error();
  const int32_t w = layout->size.width, ht = layout->size.height;
  const int64_t row_bytes = layout->row_bytes;
  const size_t data_bytes = static_cast<size_t>(layout->data_bytes);
  const PcxSize* size = &layout->size;
  if (PcxIsLowDepth(h)) {
    // Packed and planar rows go through the row decoder, which spreads them to a
    // byte a pixel.
    size_t at = kPcxHeaderSize;
    auto decoder = PcxRowDecoder::Open(file.first(kPcxHeaderSize), file.size(),
                                       [&file, &at](std::span<uint8_t> into) -> Result<size_t> {
                                         const size_t n = std::min(into.size(), file.size() - at);
                                         std::memcpy(into.data(), file.data() + at, n);
                                         at += n;
                                         return n;
                                       });
    if (!decoder) return decoder.error();
    std::vector<uint8_t> pixels = AllocateBuffer<uint8_t>(static_cast<size_t>(size->count));
    auto rows = decoder->ReadRows(pixels);
    if (!rows) return rows.error();
    return pixels;
  }
  if (h.Encoding == 0) {
    std::vector<uint8_t> raw = AllocateBuffer<uint8_t>(static_cast<size_t>(size->count));
    const uint8_t* rows = file.data() + kPcxHeaderSize;
    for (int32_t y = 0; y < ht; ++y) {
      std::memcpy(raw.data() + static_cast<size_t>(y) * w,
                  rows + static_cast<size_t>(y) * static_cast<size_t>(row_bytes),
                  static_cast<size_t>(w));
    }
    return raw;
  }
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(size->count));
  AdviseHugePages(pixels.data(), pixels.capacity());
  pixels.resize(static_cast<size_t>(size->count));
  pcx_runs::RleSource src{file.data() + kPcxHeaderSize, file.data() + kPcxHeaderSize + data_bytes};
  std::vector<uint8_t> filler(static_cast<size_t>(row_bytes - w));
  for (int32_t y = 0; y < ht; ++y) {
    bool ok = pcx_runs::DecodeInto(src, pixels.data() + static_cast<size_t>(y) * w, w);
    if (ok && y + 1 < ht && row_bytes > w)
      ok = pcx_runs::DecodeInto(src, filler.data(), row_bytes - w);
    if (!ok) return Error{kEndsEarly};
  }
  return pixels;
}

Result<PcxRowDecoder> PcxRowDecoder::Open(std::span<const uint8_t> head, uint64_t file_size,
                                          PcxByteSource source, size_t input_bytes) {
  auto header = ReadPcxHeader(head);
  if (!header) return header.error();
  // Only an 8-bit picture has its palette at the end; a low-depth one is told by its
  // header, not refused for a palette it need not have.
  if (PcxDepthReadable(*header) && !PcxIsLowDepth(*header) && file_size < kPaletteBytes) {
    return Error{"file is shorter than the 768-byte palette (" + std::to_string(file_size) +
                 " bytes)"};
  }
  auto layout = CheckPixelLayout(*header, file_size);
  if (!layout) return layout.error();
  PcxRowDecoder decoder;
  decoder.header_ = *header;
  decoder.size_ = layout->size;
  decoder.row_bytes_ = layout->row_bytes;
  decoder.source_ = std::move(source);
  decoder.data_left_ = layout->data_bytes;
  decoder.input_.resize(std::max<size_t>(input_bytes, 256));
  if (PcxIsLowDepth(*header)) {
    decoder.scan_.resize(static_cast<size_t>(layout->row_bytes));
  } else {
    decoder.filler_.resize(static_cast<size_t>(layout->row_bytes - layout->size.width));
  }
  return decoder;
}

Result<bool> PcxRowDecoder::Refill() {
  if (data_left_ == 0) return false;
  std::memmove(input_.data(), input_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(input_.size() - end_, data_left_));
  auto got = source_(std::span<uint8_t>(input_.data() + end_, want));
  if (!got) return got.error();
  if (*got == 0 || *got > want) {
    return Error{"the file became shorter while it was read (pixel data ends early)"};
  }
  end_ += *got;
  data_left_ -= *got;
  return true;
}

Status PcxRowDecoder::Take(uint8_t* dst, int64_t n) {
  uint8_t* d = dst;
  uint8_t* const dend = dst + n;
  for (;;) {
    if (header_.Encoding == 0) {
      const size_t k = std::min<size_t>(end_ - pos_, static_cast<size_t>(dend - d));
      std::memcpy(d, input_.data() + pos_, k);
      d += k;
      pos_ += k;
    } else {
      pcx_runs::RleSource src{input_.data() + pos_, input_.data() + end_, pending_, value_};
      d = pcx_runs::DecodeAvailable(src, d, dend);
      pos_ = static_cast<size_t>(src.pos - input_.data());
      pending_ = src.pending;
      value_ = src.value;
    }
    if (d == dend) return Ok{};
    auto more = Refill();
    if (!more) return more.error();
    if (!*more) return Error{kEndsEarly};
  }
}

Result<int32_t> PcxRowDecoder::ReadRows(std::span<uint8_t> out) {
  const int32_t w = size_.width;
  const auto rows = static_cast<int32_t>(std::min<int64_t>(
      static_cast<int64_t>(out.size() / static_cast<size_t>(w)), size_.height - rows_done_));
  if (rows == 0 && !done()) {
    return Error{"a buffer of " + std::to_string(out.size()) + " bytes cannot hold a row of " +
                 std::to_string(w)};
  }
  if (!scan_.empty()) {
    for (int32_t r = 0; r < rows; ++r) {
      auto row = Take(scan_.data(), static_cast<int64_t>(scan_.size()));
      if (!row) return row.error();
      UnpackPcxRow(header_, scan_.data(), w, out.data() + static_cast<size_t>(r) * w);
      ++rows_done_;
    }
    return rows;
  }
  if (filler_.empty()) {
    // Without filler the rows lie back to back in the data as in `out`: one call
    // decodes them all, and the careful end-of-output loop runs once per slice
    // instead of once per row.
    auto all = Take(out.data(), int64_t{rows} * w);
    if (!all) return all.error();
    rows_done_ += rows;
    return rows;
  }
  for (int32_t r = 0; r < rows; ++r) {
    auto row = Take(out.data() + static_cast<size_t>(r) * static_cast<size_t>(w), w);
    if (!row) return row.error();
    ++rows_done_;
    if (!filler_.empty() && !done()) {
      auto filler = Take(filler_.data(), static_cast<int64_t>(filler_.size()));
      if (!filler) return filler.error();
    }
  }
  return rows;
}

Result<Palette> ReadPcxPalette(std::span<const uint8_t> file) {
  if (file.size() < kPaletteBytes) {
    return Error{"file is shorter than the 768-byte palette (" + std::to_string(file.size()) +
                 " bytes)"};
  }
  Palette pal;
  std::memcpy(pal.data(), file.data() + file.size() - kPaletteBytes, kPaletteBytes);
  return pal;
}

Result<DecodedPicture> DecodePcx(std::span<const uint8_t> file) {
  auto header = ReadPcxHeader(file);
  if (!header) return header.error();
  // A file too short for its palette is refused for that first, as the row decoder
  // does, so that both name the same cause.
  auto palette =
      PcxIsLowDepth(*header) ? Result<Palette>(PcxHeaderPalette(*header)) : ReadPcxPalette(file);
  if (!palette && PcxDepthReadable(*header)) return palette.error();
  auto pixels = ReadPcxPixels(file);
  if (!pixels) return pixels.error();
  if (!palette) return palette.error();
  const PcxSize size = *PictureSize(*header);
  DecodedPicture pic;
  pic.format = pic.extras.format = PictureFormat::Pcx;
  pic.width = size.width;
  pic.height = size.height;
  pic.pixels = std::move(*pixels);
  for (size_t i = 0; i < 256; ++i) pic.entries[i] = BoardEntry{(*palette)[i], 255};
  pic.palette_count = PcxColours(*header);
  pic.bit_depth = header->BitsPerPixel;
  pic.extras.pcx = *header;
  return pic;
}

Result<std::vector<uint8_t>> WritePcx(PcxHeader& header, std::span<const uint8_t> pixels,
                                      const Palette& palette) {
  auto size = PictureSize(header);
  if (!size) return size.error();
  const int32_t w = size->width, ht = size->height;
  const bool empty = w <= 0 || ht <= 0;
  if (!empty && pixels.size() < static_cast<size_t>(size->count)) {
    return Error{"pixel buffer holds " + std::to_string(pixels.size()) +
                 " bytes, the picture needs " + std::to_string(size->count)};
  }
  const bool packed = PcxIsLowDepth(header);
  if (!empty && packed) {
    const auto used = pixels.first(static_cast<size_t>(size->count));
    const uint8_t top = *std::max_element(used.begin(), used.end());
    if (top >= PcxColours(header)) {
      return Error{"index " + std::to_string(top) + " does not fit a picture of " +
                   std::to_string(PcxColours(header)) + " colours"};
    }
  }
  auto encoder = PcxRowEncoder::Start(header, palette);
  if (!encoder) return encoder.error();

  std::vector<uint8_t> out;
  const int64_t row_bytes =
      empty ? 0 : (packed ? int64_t{header.BytesPerLine} * header.NPlanes : RowBytes(header, w));
  const int64_t data_bytes = row_bytes * (empty ? 0 : ht) * (packed ? 2 : 1);
  // The encoded data never exceeds one byte per pixel plus one per literal of 192
  // or more (a run of n >= 2 takes 2 <= n bytes), so reserving that bound means the
  // buffer is allocated once and never moved.
  int64_t bound = data_bytes + static_cast<int64_t>(kPcxHeaderSize + 1 + kPaletteBytes);
  if (!empty && header.Encoding != 0 && !packed) {
    bound +=
        static_cast<int64_t>(pcx_runs::CountHigh(pixels.first(static_cast<size_t>(size->count))));
  }
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  out.reserve(static_cast<size_t>(bound));
  AdviseHugePages(out.data(), out.capacity());
  const auto head = encoder->Head();
  out.insert(out.end(), head.begin(), head.end());
  if (!empty) encoder->AppendRows(pixels.first(static_cast<size_t>(size->count)), out);
  encoder->AppendTail(out);
  return out;
}

Result<PcxRowEncoder> PcxRowEncoder::Start(PcxHeader& header, const Palette& palette) {
  auto size = PictureSize(header);
  if (!size) return size.error();
  std::copy_n(palette.begin(), 16, header.ColorMap.begin());
  PcxRowEncoder encoder;
  encoder.header_ = header;
  encoder.palette_ = palette;
  if (PcxIsLowDepth(header) && size->width > 0 && size->height > 0) {
    const int64_t plane_bytes = (int64_t{size->width} * header.BitsPerPixel + 7) / 8;
    if (header.BytesPerLine < plane_bytes) {
      return Error{"BytesPerLine " + std::to_string(header.BytesPerLine) +
                   " is too short for a row of " + std::to_string(size->width) + " pixels"};
    }
    encoder.width_ = size->width;
    encoder.row_bytes_ = int64_t{header.BytesPerLine} * header.NPlanes;
    encoder.padded_.assign(static_cast<size_t>(encoder.row_bytes_), 0);
    encoder.encoded_.resize(static_cast<size_t>(2 * encoder.row_bytes_ + 64 * header.NPlanes));
    encoder.packed_ = true;
  } else if (size->width > 0 && size->height > 0) {
    encoder.width_ = size->width;
    encoder.row_bytes_ = RowBytes(header, size->width);
    // Rows shorter than BytesPerLine are padded with zeros in a copy.
    if (encoder.row_bytes_ > size->width) encoder.padded_.assign(encoder.row_bytes_, 0);
    if (header.Encoding != 0) encoder.encoded_.resize(2 * encoder.row_bytes_ + 64);
  }
  return encoder;
}

void PcxRowEncoder::AppendRows(std::span<const uint8_t> rows, std::vector<uint8_t>& out) {
  if (width_ == 0) return;
  const auto w = static_cast<size_t>(width_);
  for (size_t at = 0; at + w <= rows.size(); at += w) {
    const uint8_t* row = rows.data() + at;
    if (packed_) {
      PackPcxRow(header_, row, width_, padded_.data());
      if (header_.Encoding == 0) {
        out.insert(out.end(), padded_.begin(), padded_.end());
        continue;
      }
      // Each plane's bytes are encoded on their own: no run crosses into the next.
      uint8_t* end = encoded_.data();
      for (int p = 0; p < header_.NPlanes; ++p) {
        end = pcx_runs::EncodeRow(padded_.data() + static_cast<size_t>(p) * header_.BytesPerLine,
                                  header_.BytesPerLine, end);
      }
      out.insert(out.end(), encoded_.data(), end);
      continue;
    }
    if (!padded_.empty()) {
      std::memcpy(padded_.data(), row, w);
      row = padded_.data();
    }
    if (header_.Encoding == 0) {
      out.insert(out.end(), row, row + row_bytes_);
    } else {
      uint8_t* end = pcx_runs::EncodeRow(row, row_bytes_, encoded_.data());
      out.insert(out.end(), encoded_.data(), end);
    }
  }
}

void PcxRowEncoder::AppendTail(std::vector<uint8_t>& out) const {
  if (PcxIsLowDepth(header_)) return;  // its colours are in the header
  out.push_back(12);
  const auto* pal = reinterpret_cast<const uint8_t*>(palette_.data());
  out.insert(out.end(), pal, pal + kPaletteBytes);
}

}  // namespace hw
