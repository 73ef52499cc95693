// The slice decoder (PcxRowDecoder, which the command line and the editor read PCX
// files through) against the whole-picture decoder, shared by the libFuzzer target
// (fuzz_pcx_rows.cpp) and the corpus replay test (tests/fuzz/).
//
// An input is three setting bytes, then the file:
//   byte 0  bits 0-1: the widest instruction set allowed (widest, SSSE3, portable);
//           bits 2-7: the input buffer, 256 + 64 x n bytes
//   byte 1  bits 0-5: rows per slice, 1 + n; bit 6-7: that many bytes more than
//           the whole rows (0, 1, width - 1 or 2 x width - 1), which must go unused
//   byte 2  the most bytes the source gives a call: 1 + 3 x n, or no bound at 255
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "format_check.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/pcx_internal.h"

namespace hw::fuzzing {

inline constexpr size_t kPcxRowsSettingBytes = 3;

// Decodes the file both ways; they must accept and refuse the same files with the
// same message and give the same header and pixels.
inline FormatCheck CheckPcxRowsInput(std::span<const uint8_t> input) {
  FormatCheck out;
  auto fail = [&out](std::string why) {
    out.violation = std::move(why);
    return out;
  };
  if (input.size() < kPcxRowsSettingBytes) {
    out.refusal = "too short for the settings";
    return out;
  }
  const uint8_t s0 = input[0], s1 = input[1], s2 = input[2];
  const std::span<const uint8_t> file = input.subspan(kPcxRowsSettingBytes);
  const size_t input_bytes = 256 + size_t{64} * (s0 >> 2);
  const size_t slice_rows = 1 + (s1 & 63u);
  const size_t piece = s2 == 255 ? SIZE_MAX : 1 + size_t{3} * s2;
  const auto level = static_cast<pcx_internal::SimdLevel>(std::min(s0 & 3, 2));
  const auto widest = pcx_internal::AllowSimd(level);

  auto whole = DecodePcx(file);
  std::string refusal;
  std::vector<uint8_t> pixels;
  size_t at = std::min(file.size(), kPcxHeaderSize);
  auto decoder = PcxRowDecoder::Open(
      file.first(at), file.size(),
      [&](std::span<uint8_t> into) -> Result<size_t> {
        const size_t n = std::min({into.size(), piece, file.size() - at});
        std::copy_n(file.begin() + static_cast<ptrdiff_t>(at), n, into.begin());
        at += n;
        return n;
      },
      input_bytes);
  std::string broken;
  if (!decoder) {
    refusal = decoder.error().Text();
  } else {
    const size_t w = static_cast<size_t>(decoder->size().width);
    const size_t extra[] = {0, 1, w - 1, 2 * w - 1};
    // Never more than the picture: a small buffer for a huge window is the point of
    // decoding in slices.
    const size_t rows = std::min<size_t>(slice_rows, static_cast<size_t>(decoder->size().height));
    std::vector<uint8_t> slice(rows * w + extra[s1 >> 6], 0xA5);
    while (!decoder->done()) {
      auto got = decoder->ReadRows(slice);
      if (!got) {
        refusal = got.error().Text();
        break;
      }
      if (*got <= 0 || static_cast<size_t>(*got) > slice.size() / w) {
        broken = "ReadRows returned no rows, or more than fit, before the end";
        break;
      }
      const size_t n = static_cast<size_t>(*got) * w;
      pixels.insert(pixels.end(), slice.begin(), slice.begin() + static_cast<ptrdiff_t>(n));
    }
    if (refusal.empty() && broken.empty()) {
      auto after = decoder->ReadRows(slice);
      if (!after || *after != 0) broken = "ReadRows gave more after the last row";
    }
  }
  pcx_internal::AllowSimd(widest);
  if (!broken.empty()) return fail(broken);

  if (whole.ok() != refusal.empty()) {
    return fail(whole ? "the slice decoder refused a picture DecodePcx reads: " + refusal
                      : "the slice decoder read a picture DecodePcx refuses: " +
                            whole.error().Text());
  }
  if (!whole) {
    out.refusal = refusal;
    if (refusal.empty()) return fail("refused with an empty message");
    if (refusal != whole.error().Text()) {
      return fail("the decoders refuse for different causes: '" + refusal + "' and '" +
                  whole.error().Text() + "'");
    }
    return out;
  }
  out.decoded = true;
  if (!(decoder->header() == whole->extras.pcx)) return fail("the decoders read different headers");
  if (decoder->size().width != whole->width || decoder->size().height != whole->height) {
    return fail("the decoders read different sizes");
  }
  if (pixels != whole->pixels) return fail("the decoders give different pixels");
  return out;
}

}  // namespace hw::fuzzing
