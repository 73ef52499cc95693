// Properties every input must satisfy when fed to the ILBM reader, shared by the
// libFuzzer target (fuzz_ilbm.cpp) and the corpus replay test.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "format_check.h"
#include "formats/pictures/ilbm.h"

namespace hw::fuzzing {

// A decoded picture is consistent and comes back whole through the writer: pixels,
// entries (the one transparent colour included) and ranges.
inline FormatCheck CheckIlbmInput(std::span<const uint8_t> data) {
  FormatCheck out;
  auto pic = DecodeIlbm(data);
  if (!pic) {
    out.refusal = pic.error().Text();
    if (out.refusal.empty()) out.violation = "DecodeIlbm refused with an empty message";
    return out;
  }
  out.decoded = true;
  const auto fail = [&out](std::string why) {
    out.violation = std::move(why);
    return out;
  };
  if (!HasIlbmSignature(data)) return fail("decoded bytes without the FORM ILBM signature");
  if (pic->width < 1 || pic->height < 1 || pic->width > kMaxIlbmSide ||
      pic->height > kMaxIlbmSide) {
    return fail("decoded a picture outside the size limits");
  }
  if (pic->pixels.size() != static_cast<size_t>(pic->width) * static_cast<size_t>(pic->height)) {
    return fail("pixel buffer does not match width x height");
  }
  if (pic->palette_count < 0 || pic->palette_count > 256) return fail("palette_count out of range");
  int clear = 0;
  for (size_t k = 0; k < 256; ++k) {
    clear += pic->entries[k].A == 0;
    if (pic->entries[k].A != 0 && pic->entries[k].A != 255) return fail("an entry is translucent");
    if (k >= static_cast<size_t>(pic->palette_count) && pic->entries[k].rgb != RGBTriple{}) {
      return fail("an entry past the CMAP is not black");
    }
  }
  if (clear > 1) return fail("more than one transparent entry");
  if (pic->bit_depth < 8) {
    for (uint8_t v : pic->pixels) {
      if (v >> pic->bit_depth) return fail("a pixel above the planes' range");
    }
  }
  auto written = EncodeIlbm(pic->width, pic->height, pic->pixels, pic->entries, pic->cycles);
  if (!written) return fail("the writer refused a decoded picture: " + written.error().Text());
  auto again = DecodeIlbm(*written);
  if (!again) return fail("a written picture does not decode: " + again.error().Text());
  if (again->width != pic->width || again->height != pic->height) return fail("size changed");
  if (again->pixels != pic->pixels) return fail("pixels differ after a round trip");
  if (again->entries != pic->entries) return fail("entries differ after a round trip");
  if (again->cycles != pic->cycles) return fail("cycle ranges differ after a round trip");
  return out;
}

}  // namespace hw::fuzzing
