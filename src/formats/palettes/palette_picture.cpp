#include "formats/palettes/palette_picture.h"

#include <algorithm>
#include <string>

#include "formats/palettes/palette_common.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/png.h"

namespace hw::palette_files {
namespace {

constexpr uint8_t kPcxPaletteMarker = 12;  // the byte before a PCX file's palette

Result<PaletteFile> DecodePcxTail(std::span<const uint8_t> tail, uint64_t file_size,
                                  std::string_view file_name);

}  // namespace

// A picture gives its own palette: a PNG its PLTE entries and their tRNS alpha (a
// PNG without a palette its distinct colours), a PCX the colours it is drawn with
// (its pixels are not looked at). A file that is neither,
// nor any palette format, is taken only when it is exactly 768 bytes of raw colours:
// any other size is much more likely something else than a palette.
Result<PaletteFile> DecodeRawOrPicture(std::span<const uint8_t> bytes, std::string_view file) {
  if (HasPngSignature(bytes)) {
    auto png = DecodePngColours(bytes);
    if (!png) return Fail(file, png.error().cause);
    PaletteFile out;
    out.entries = png->entries;
    out.count = png->count;
    return out;
  }
  if (HasPcxSignature(bytes)) {
    // A low-depth picture is drawn with its header's colours.
    if (auto header = ReadPcxHeader(bytes); header && PcxIsLowDepth(*header)) {
      PaletteFile out;
      out.count = PcxColours(*header);
      const Palette palette = PcxHeaderPalette(*header);
      // The entries past the picture's colours stay opaque black.
      for (size_t k = 0; k < static_cast<size_t>(out.count); ++k)
        out.entries[k] = {palette[k], 255};
      return out;
    }
    return DecodePcxTail(bytes, bytes.size(), file);
  }
  if (bytes.size() != kPaletteBytes) {
    return Fail(file,
                "not a palette file Huewright reads (no PNG, PCX, GIMP, JASC, RIFF or "
                "swatch exchange signature, and " +
                    std::to_string(bytes.size()) + " bytes where raw colours are 768)");
  }
  PaletteFile out;
  out.count = kMaxEntries;
  ReadTriples(bytes, kMaxEntries, out.entries);
  return out;
}

namespace {

// An 8-bit PCX's palette from its last bytes: a header's worth and the byte 12
// before the last 768.
Result<PaletteFile> DecodePcxTail(std::span<const uint8_t> tail, uint64_t file_size,
                                  std::string_view file_name) {
  if (file_size < kPcxHeaderSize + kPcxPaletteTailBytes || tail.size() < kPcxPaletteTailBytes ||
      tail[tail.size() - kPcxPaletteTailBytes] != kPcxPaletteMarker) {
    return Fail(file_name,
                "the PCX file has no 256-colour palette (no byte 12 before its last "
                "768 bytes)");
  }
  PaletteFile out;
  out.count = kMaxEntries;
  ReadTriples(tail.last(kPaletteBytes), kMaxEntries, out.entries);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodePcxPalette(std::span<const BoardEntry> entries) {
  // Pixel k holds index k: a full palette shown as a 16 x 16 grid, a shorter one as
  // a strip. The file's palette always has 256 colours; those past the entries are black.
  const bool grid = entries.size() == size_t{kMaxEntries};
  const int width = grid ? 16 : static_cast<int>(entries.size());
  PcxHeader header = IndexedPictureHeader(width, grid ? 16 : 1);
  std::vector<uint8_t> pixels(entries.size());
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k);
  Palette palette{};
  for (size_t k = 0; k < entries.size(); ++k) palette[k] = entries[k].rgb;
  // Cannot fail: the size is fixed and the buffer matches it.
  return std::move(WritePcx(header, pixels, palette).value());
}

std::vector<uint8_t> EncodePngStrip(std::span<const BoardEntry> entries) {
  // One pixel per entry; the entries past them stay opaque black, which the PNG
  // writer leaves out of the palette.
  BoardEntries all{};
  std::copy(entries.begin(), entries.end(), all.begin());
  std::vector<uint8_t> pixels(entries.size());
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k);
  // Cannot fail: the size is fixed and the buffer matches it.
  return std::move(EncodeIndexedPng(static_cast<int>(pixels.size()), 1, pixels, all).value());
}

}  // namespace hw::palette_files
