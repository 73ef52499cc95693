// PCX codec over byte spans: header, run-length pixel data, trailing palette.
#include "picture/pcx.h"

#include <algorithm>
#include <cstring>
#include <string>

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

// Decoder state carried across rows, since a run may continue into the next row.
struct RleSource {
  const uint8_t* pos;
  const uint8_t* end;  // first byte the pixel data may not use
  int pending = 0;     // pixels of the current run still to store
  uint8_t value = 0;   // value of that run
};

// Stores exactly n decoded bytes at dst. Returns false when the data runs out.
bool DecodeInto(RleSource& src, uint8_t* dst, int64_t n) {
  while (n > 0) {
    if (src.pending > 0) {
      const int64_t k = std::min<int64_t>(src.pending, n);
      std::memset(dst, src.value, static_cast<size_t>(k));
      dst += k;
      n -= k;
      src.pending -= static_cast<int>(k);
      continue;
    }
    if (src.pos >= src.end) return false;
    const uint8_t b = *src.pos++;
    if (b < 0xC0) {
      *dst++ = b;
      --n;
      continue;
    }
    if (src.pos >= src.end) return false;
    src.value = *src.pos++;
    src.pending = b - 0xC0;
  }
  return true;
}

// Writes one row of run-length data. Runs never cross the end of the row.
void EncodeRow(const uint8_t* row, int64_t len, std::vector<uint8_t>& out) {
  int64_t x = 0;
  while (x < len) {
    const uint8_t v = row[x];
    int64_t n = 1;
    while (x + n < len && n < 63 && row[x + n] == v) ++n;
    if (n > 1) {
      out.push_back(static_cast<uint8_t>(0xC0 + n));
      out.push_back(v);
    } else {
      if (v >= 0xC0) out.push_back(0xC1);
      out.push_back(v);
    }
    x += n;
  }
}

}  // namespace

Result<PcxSize> PictureSize(const PcxHeader& header) {
  const int32_t w = int32_t{header.Xmax} - header.Xmin + 1;
  const int32_t h = int32_t{header.Ymax} - header.Ymin + 1;
  if (w < -32768 || w > 32767) return Error{"picture width overflows (window " + std::to_string(header.Xmin) + ".." + std::to_string(header.Xmax) + ")"};
  if (h < -32768 || h > 32767) return Error{"picture height overflows (window " + std::to_string(header.Ymin) + ".." + std::to_string(header.Ymax) + ")"};
  const int64_t count = int64_t{w} * h;
  if (count < INT32_MIN || count > INT32_MAX) return Error{"picture pixel count overflows"};
  return PcxSize{w, h, static_cast<int32_t>(count)};
}

Result<PcxHeader> ReadPcxHeader(std::span<const uint8_t> file) {
  if (file.size() < kPcxHeaderSize) {
    return Error{"file is shorter than the 128-byte header (" + std::to_string(file.size()) + " bytes)"};
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

Result<std::vector<uint8_t>> ReadPcxPixels(std::span<const uint8_t> file) {
  auto header = ReadPcxHeader(file);
  if (!header) return header.error();
  const PcxHeader& h = *header;
  if (h.BitsPerPixel != 8 || h.NPlanes != 1) {
    return Error{"unsupported picture: " + std::to_string(h.BitsPerPixel) + " bits per pixel in " +
                 std::to_string(h.NPlanes) + " plane(s); only 8 bits per pixel in 1 plane can be read"};
  }
  auto size = PictureSize(h);
  if (!size) return size.error();
  const int32_t w = size->width, ht = size->height;
  if (w <= 0 || ht <= 0) {
    return Error{"picture has no pixels (" + std::to_string(w) + " x " + std::to_string(ht) + ")"};
  }
  // The pixel data lies between the header and the trailing palette block.
  const size_t data_bytes =
      file.size() >= kPcxHeaderSize + kPaletteBytes ? file.size() - kPcxHeaderSize - kPaletteBytes : 0;
  const int64_t row_bytes = RowBytes(h, w);
  // Decoded bytes needed: every row in full except the last, whose filler is not needed.
  const int64_t needed = row_bytes * (ht - 1) + w;
  // Each encoded pair yields at most 63 bytes; refuse before allocating anything.
  const int64_t most = 63 * static_cast<int64_t>(data_bytes / 2) + static_cast<int64_t>(data_bytes % 2);
  if (needed > most) {
    return Error{"picture size " + std::to_string(w) + " x " + std::to_string(ht) +
                 " is too large for the file's pixel data (pixel data ends early)"};
  }
  std::vector<uint8_t> pixels(static_cast<size_t>(size->count));
  RleSource src{file.data() + kPcxHeaderSize, file.data() + kPcxHeaderSize + data_bytes};
  std::vector<uint8_t> filler(static_cast<size_t>(row_bytes - w));
  for (int32_t y = 0; y < ht; ++y) {
    bool ok = DecodeInto(src, pixels.data() + static_cast<size_t>(y) * w, w);
    if (ok && y + 1 < ht) ok = DecodeInto(src, filler.data(), row_bytes - w);
    if (!ok) return Error{"pixel data ends early (before the picture is complete, or runs into the palette)"};
  }
  return pixels;
}

Result<Palette> ReadPcxPalette(std::span<const uint8_t> file) {
  if (file.size() < kPaletteBytes) {
    return Error{"file is shorter than the 768-byte palette (" + std::to_string(file.size()) + " bytes)"};
  }
  Palette pal;
  std::memcpy(pal.data(), file.data() + file.size() - kPaletteBytes, kPaletteBytes);
  return pal;
}

Result<PcxPicture> DecodePcx(std::span<const uint8_t> file) {
  auto header = ReadPcxHeader(file);
  if (!header) return header.error();
  auto palette = ReadPcxPalette(file);
  if (!palette) return palette.error();
  auto pixels = ReadPcxPixels(file);
  if (!pixels) return pixels.error();
  PcxPicture pic;
  pic.header = *header;
  pic.size = *PictureSize(*header);
  pic.pixels = std::move(*pixels);
  pic.palette = *palette;
  return pic;
}

Result<std::vector<uint8_t>> WritePcx(PcxHeader& header, std::span<const uint8_t> pixels,
                                      const Palette& palette) {
  auto size = PictureSize(header);
  if (!size) return size.error();
  const int32_t w = size->width, ht = size->height;
  const bool empty = w <= 0 || ht <= 0;
  if (!empty && pixels.size() < static_cast<size_t>(size->count)) {
    return Error{"pixel buffer holds " + std::to_string(pixels.size()) + " bytes, the picture needs " +
                 std::to_string(size->count)};
  }
  std::copy_n(palette.begin(), 16, header.ColorMap.begin());

  std::vector<uint8_t> out;
  const auto head = HeaderBytes(header);
  out.insert(out.end(), head.begin(), head.end());
  if (!empty) {
    const int64_t row_bytes = RowBytes(header, w);
    std::vector<uint8_t> row(static_cast<size_t>(row_bytes), 0);
    for (int32_t y = 0; y < ht; ++y) {
      std::memcpy(row.data(), pixels.data() + static_cast<size_t>(y) * w, static_cast<size_t>(w));
      if (header.Encoding == 0) {
        out.insert(out.end(), row.begin(), row.end());
      } else {
        EncodeRow(row.data(), row_bytes, out);
      }
    }
  }
  out.push_back(12);
  const auto* pal = reinterpret_cast<const uint8_t*>(palette.data());
  out.insert(out.end(), pal, pal + kPaletteBytes);
  return out;
}

}  // namespace hw
