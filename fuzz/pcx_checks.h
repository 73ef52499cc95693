// Properties every input must satisfy when fed to the PCX readers, shared by the
// libFuzzer target (fuzz_pcx.cpp) and the corpus replay test (tests/fuzz/).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "formats/pictures/pcx.h"
#include "formats/pictures/pcx_internal.h"

namespace hw::fuzzing {

struct PcxCheck {
  bool decoded = false;   // DecodePcx accepted the input
  std::string refusal;    // DecodePcx's message when it refused
  std::string violation;  // first broken property, empty when all hold
};

namespace detail {

inline bool SameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

inline std::span<const uint8_t> Bytes(const Palette& palette) {
  return {reinterpret_cast<const uint8_t*>(palette.data()), kPaletteBytes};
}

// The header with ColorMap replaced by palette entries 0..15, as the writer leaves it.
inline PcxHeader WithColorMap(PcxHeader header, const Palette& palette) {
  std::copy_n(palette.begin(), header.ColorMap.size(), header.ColorMap.begin());
  return header;
}

// The colours of a decoded picture's entries.
inline Palette PaletteOf(const DecodedPicture& picture) {
  Palette palette{};
  for (size_t i = 0; i < 256; ++i) palette[i] = picture.entries[i].rgb;
  return palette;
}

// Encodes a decoded picture and decodes the result again.
inline std::string CheckRoundTrip(const DecodedPicture& picture) {
  const Palette palette = PaletteOf(picture);
  PcxHeader header = picture.extras.pcx;
  auto written = WritePcx(header, picture.pixels, palette);
  if (!written) return "WritePcx refused a decoded picture: " + written.error().Text();
  if (!(header == WithColorMap(picture.extras.pcx, palette))) {
    return "WritePcx changed header fields other than ColorMap";
  }
  const auto head = HeaderBytes(header);
  if (PcxIsLowDepth(header)) {
    if (written->size() < kPcxHeaderSize ||
        !SameBytes(std::span(*written).first(kPcxHeaderSize), head))
      return "written low-depth file does not start with its header";
  } else if (written->size() < kPcxHeaderSize + 1 + kPaletteBytes ||
             !SameBytes(std::span(*written).first(kPcxHeaderSize), head) ||
             (*written)[written->size() - kPaletteBytes - 1] != 12 ||
             !SameBytes(std::span(*written).last(kPaletteBytes), Bytes(palette))) {
    return "written file does not have the header, marker 12 and palette in place";
  }
  auto again = DecodePcx(*written);
  if (!again) return "a written picture does not decode: " + again.error().Text();
  if (!(again->extras.pcx == header)) return "header differs after a round trip";
  if (again->pixels != picture.pixels) return "pixels differ after a round trip";
  if (PaletteOf(*again) != palette) return "palette differs after a round trip";
  // Saving the reloaded picture unchanged must give the same file again.
  PcxHeader header2 = again->extras.pcx;
  auto rewritten = WritePcx(header2, again->pixels, PaletteOf(*again));
  if (!rewritten || *rewritten != *written) return "writing a reloaded picture changes the file";
  return {};
}

}  // namespace detail

// Runs every reader on the bytes and checks that they agree with each other and
// with the file; a decoded picture must survive WritePcx + DecodePcx unchanged.
inline PcxCheck CheckPcxInput(std::span<const uint8_t> data) {
  PcxCheck out;
  auto fail = [&out](std::string why) {
    out.violation = std::move(why);
    return out;
  };

  auto header = ReadPcxHeader(data);
  if (header.ok() != (HasPcxSignature(data) && data.size() >= kPcxHeaderSize)) {
    return fail(
        "ReadPcxHeader accepts or refuses a file by something other than its first "
        "byte and its length");
  }
  if (!HasPcxSignature(data) && header.error().Text() != kNotAPicture) {
    return fail("a file without the PCX manufacturer byte is refused for another cause");
  }
  if (!header && header.error().Text().empty()) {
    return fail("ReadPcxHeader refused with an empty message");
  }
  if (header && !detail::SameBytes(HeaderBytes(*header), data.first(kPcxHeaderSize))) {
    return fail("header bytes do not survive ReadPcxHeader + HeaderBytes");
  }

  auto palette = ReadPcxPalette(data);
  if (palette.ok() != (data.size() >= kPaletteBytes)) {
    return fail("ReadPcxPalette accepts or refuses a file by something other than its length");
  }
  if (!palette && palette.error().Text().empty()) {
    return fail("ReadPcxPalette refused with an empty message");
  }
  if (palette && !detail::SameBytes(detail::Bytes(*palette), data.last(kPaletteBytes))) {
    return fail("palette is not the last 768 bytes of the file");
  }

  auto pixels = ReadPcxPixels(data);
  if (!pixels && pixels.error().Text().empty()) {
    return fail("ReadPcxPixels refused with an empty message");
  }
  if (pixels) {
    auto size = PictureSize(*header);
    if (!size || size->width <= 0 || size->height <= 0 ||
        pixels->size() != static_cast<size_t>(size->width) * static_cast<size_t>(size->height)) {
      return fail("ReadPcxPixels returned a buffer that does not match the window");
    }
    if (!PcxDepthReadable(*header)) return fail("ReadPcxPixels accepted a depth it does not read");
    const int colours = PcxColours(*header);
    if (std::any_of(pixels->begin(), pixels->end(),
                    [colours](uint8_t v) { return v >= colours; })) {
      return fail("a low-depth picture gave an index its depth cannot hold");
    }
  }

  // The narrower instruction sets the decoder falls back to give the same pixels,
  // or refuse as well.
  for (auto level : {pcx_internal::SimdLevel::kSsse3, pcx_internal::SimdLevel::kPortable}) {
    const auto widest = pcx_internal::AllowSimd(level);
    auto narrower = ReadPcxPixels(data);
    pcx_internal::AllowSimd(widest);
    if (narrower.ok() != pixels.ok() || (narrower && *narrower != *pixels)) {
      return fail("the decoder's instruction sets disagree");
    }
  }

  auto picture = DecodePcx(data);
  const bool low = header && PcxIsLowDepth(*header);
  if (picture.ok() != (header.ok() && (low || palette.ok()) && pixels.ok())) {
    return fail("DecodePcx disagrees with the separate readers");
  }
  if (!picture) {
    out.refusal = picture.error().Text();
    if (out.refusal.empty()) return fail("DecodePcx refused with an empty message");
    return out;
  }
  out.decoded = true;
  const Palette expected = low ? PcxHeaderPalette(*header) : *palette;
  if (!(picture->extras.pcx == *header) || picture->pixels != *pixels ||
      detail::PaletteOf(*picture) != expected) {
    return fail("DecodePcx returned something other than the separate readers");
  }
  if (picture->width != PictureSize(*header)->width ||
      picture->height != PictureSize(*header)->height ||
      int64_t{picture->width} * picture->height != static_cast<int64_t>(pixels->size())) {
    return fail("DecodePcx reported a size that does not match its pixels");
  }
  return fail(detail::CheckRoundTrip(*picture));
}

}  // namespace hw::fuzzing
