// Properties every input must satisfy when fed to the PNG reader, shared by the
// libFuzzer target (fuzz_png.cpp) and the corpus replay test (tests/fuzz/).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "format_check.h"
#include "formats/pictures/palette_extent.h"
#include "formats/pictures/png.h"

namespace hw::fuzzing {

// Decodes the bytes; a decoded picture must be consistent, and must come back
// unchanged through EncodeIndexedPng + DecodeIndexedPng.
inline FormatCheck CheckPngInput(std::span<const uint8_t> data) {
  FormatCheck out;
  auto fail = [&out](std::string why) {
    out.violation = std::move(why);
    return out;
  };
  auto pic = DecodeIndexedPng(data);
  if (!pic) {
    out.refusal = pic.error().Text();
    if (out.refusal.empty()) return fail("DecodeIndexedPng refused with an empty message");
    return out;
  }
  out.decoded = true;
  if (!HasPngSignature(data)) return fail("decoded bytes without the PNG signature");
  if (pic->width < 1 || pic->height < 1 || static_cast<uint32_t>(pic->width) > kMaxPngSide ||
      static_cast<uint32_t>(pic->height) > kMaxPngSide) {
    return fail("decoded a picture outside the size limits");
  }
  if (pic->pixels.size() != static_cast<size_t>(pic->width) * static_cast<size_t>(pic->height)) {
    return fail("pixel buffer does not match width x height");
  }
  if (pic->palette_count < 1 || pic->palette_count > 256) return fail("palette_count out of range");
  for (size_t k = static_cast<size_t>(pic->palette_count); k < 256; ++k) {
    if (!(pic->entries[k] == BoardEntry{})) return fail("an entry past the palette is not black");
  }
  auto png = EncodeIndexedPng(pic->width, pic->height, pic->pixels, pic->entries, &pic->extras.png,
                              pic->cycles);
  if (!png) return fail("EncodeIndexedPng refused a decoded picture: " + png.error().Text());
  auto again = DecodeIndexedPng(*png);
  if (!again) return fail("a written picture does not decode: " + again.error().Text());
  if (again->width != pic->width || again->height != pic->height) return fail("size changed");
  if (again->pixels != pic->pixels) return fail("pixels differ after a round trip");
  if (again->entries != pic->entries) return fail("entries differ after a round trip");
  if (again->cycles != pic->cycles) return fail("cycle ranges differ after a round trip");
  // Entries 0..L-1 (more to hold bKGD's index) at the smallest depth that holds them,
  // and the kept chunks back: all but those left out, sBIT only while it holds.
  const int length = PngSavedLength(pic->pixels, pic->entries, &pic->extras.png);
  if (again->palette_count != length) return fail("a written palette is not L entries long");
  if (again->bit_depth != PngBitDepthFor(length)) return fail("not written at the smallest depth");
  PngChunks kept = pic->extras.png;
  kept.dropped.clear();
  if (kept.significant_bits &&
      !PngSignificantBitsHold(*kept.significant_bits, pic->entries, length)) {
    kept.significant_bits.reset();
  }
  if (again->extras.png != kept) return fail("the kept chunks differ after a round trip");
  if (again->extras.frames != 1) return fail("a written picture has more than one frame");
  auto png2 = EncodeIndexedPng(again->width, again->height, again->pixels, again->entries,
                               &again->extras.png, again->cycles);
  if (!png2 || *png2 != *png) return fail("writing a reloaded picture changes the file");
  return out;
}

}  // namespace hw::fuzzing
