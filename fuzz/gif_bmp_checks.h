// Properties every input must satisfy when fed to the GIF and BMP readers, shared by
// the libFuzzer targets (fuzz_gif.cpp, fuzz_bmp.cpp) and the corpus replay test.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "format_check.h"
#include "formats/bmp.h"
#include "formats/gif.h"

namespace hw::fuzzing {

namespace detail {

// A decoded picture is consistent, and survives its format's writer and reader.
template <typename Picture, typename Encode, typename Decode>
std::string CheckPicture(const Picture& pic, int max_side, Encode encode, Decode decode,
                         bool keeps_alpha) {
  if (pic.width < 1 || pic.height < 1 || pic.width > max_side || pic.height > max_side) {
    return "decoded a picture outside the size limits";
  }
  if (pic.pixels.size() != static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height)) {
    return "pixel buffer does not match width x height";
  }
  if (pic.palette_count < 1 || pic.palette_count > 256) return "palette_count out of range";
  for (size_t k = static_cast<size_t>(pic.palette_count); k < 256; ++k) {
    if (pic.entries[k].rgb != RGBTriple{}) return "an entry past the colour table is not black";
  }
  auto written = encode(pic.width, pic.height, pic.pixels, pic.entries);
  if (!written) return "the writer refused a decoded picture: " + written.error().message;
  auto again = decode(*written);
  if (!again) return "a written picture does not decode: " + again.error().message;
  if (again->width != pic.width || again->height != pic.height) return "size changed";
  if (again->pixels != pic.pixels) return "pixels differ after a round trip";
  BoardEntries expected = pic.entries;
  if (!keeps_alpha) {
    for (auto& e : expected) e.A = 255;
  }
  if (again->entries != expected) return "entries differ after a round trip";
  return {};
}

}  // namespace detail

inline FormatCheck CheckGifInput(std::span<const uint8_t> data) {
  FormatCheck out;
  auto pic = DecodeGif(data);
  if (!pic) {
    out.refusal = pic.error().message;
    if (out.refusal.empty()) out.violation = "DecodeGif refused with an empty message";
    return out;
  }
  out.decoded = true;
  if (!HasGifSignature(data)) {
    out.violation = "decoded bytes without the GIF signature";
    return out;
  }
  // A GIF keeps one fully transparent entry, the lowest: only files with at most one
  // are expected back whole (a reader gives at most one).
  out.violation = detail::CheckPicture(*pic, kMaxGifSide, EncodeGif, DecodeGif, true);
  return out;
}

inline FormatCheck CheckBmpInput(std::span<const uint8_t> data) {
  FormatCheck out;
  auto pic = DecodeBmp(data);
  if (!pic) {
    out.refusal = pic.error().message;
    if (out.refusal.empty()) out.violation = "DecodeBmp refused with an empty message";
    return out;
  }
  out.decoded = true;
  if (!HasBmpSignature(data)) {
    out.violation = "decoded bytes without the BM signature";
    return out;
  }
  for (const BoardEntry& e : pic->entries) {
    if (e.A != 255) {
      out.violation = "a BMP entry is not opaque";
      return out;
    }
  }
  out.violation = detail::CheckPicture(*pic, kMaxBmpSide, EncodeBmp, DecodeBmp, false);
  return out;
}

}  // namespace hw::fuzzing
