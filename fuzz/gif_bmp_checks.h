// Properties every input must satisfy when fed to the GIF and BMP readers, shared by
// the libFuzzer targets (fuzz_gif.cpp, fuzz_bmp.cpp) and the corpus replay test.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "format_check.h"
#include "formats/pictures/bmp.h"
#include "formats/pictures/gif.h"

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
  if (!written) return "the writer refused a decoded picture: " + written.error().Text();
  auto again = decode(*written);
  if (!again) return "a written picture does not decode: " + again.error().Text();
  if (again->width != pic.width || again->height != pic.height) return "size changed";
  if (again->pixels != pic.pixels) return "pixels differ after a round trip";
  BoardEntries expected = pic.entries;
  if (!keeps_alpha) {
    for (auto& e : expected) e.A = 255;
  }
  if (again->entries != expected) return "entries differ after a round trip";
  return {};
}

// Where giflib's own line decoder reads the first frame of a file DecodeGif read
// otherwise; empty when they agree or giflib refuses the file. Rows are compared
// as giflib gives them, so nothing larger than a row is held.
inline std::string CompareWithGiflib(std::span<const uint8_t> data, const DecodedPicture& pic) {
  struct Input {
    std::span<const uint8_t> bytes;
    size_t at = 0;
  } input{data};
  const InputFunc read = [](GifFileType* g, GifByteType* into, int n) -> int {
    auto* in = static_cast<Input*>(g->UserData);
    const size_t k = std::min(static_cast<size_t>(std::max(n, 0)), in->bytes.size() - in->at);
    std::memcpy(into, in->bytes.data() + in->at, k);
    in->at += k;
    return static_cast<int>(k);
  };
  int error = 0;
  const auto close = [](GifFileType* g) {
    int ignored = 0;
    DGifCloseFile(g, &ignored);
  };
  std::unique_ptr<GifFileType, decltype(close)> gif(DGifOpen(&input, read, &error), close);
  if (!gif) return {};
  for (GifRecordType type = UNDEFINED_RECORD_TYPE; type != IMAGE_DESC_RECORD_TYPE;) {
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
      return {};
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) return {};
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return {};
      }
    }
  }
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return {};
  const GifImageDesc& f = gif->Image;
  std::vector<GifPixelType> row(static_cast<size_t>(f.Width));
  const int x0 = std::clamp(f.Left, 0, pic.width), x1 = std::clamp(f.Left + f.Width, 0, pic.width);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (f.Interlace ? 4 : 1); ++pass) {
    for (int y = f.Interlace ? kStart[pass] : 0; y < f.Height; y += f.Interlace ? kStep[pass] : 1) {
      if (DGifGetLine(gif.get(), row.data(), f.Width) == GIF_ERROR) return {};
      const int at = f.Top + y;
      if (at < 0 || at >= pic.height || x0 >= x1) continue;
      if (std::memcmp(pic.pixels.data() + static_cast<size_t>(at) * pic.width + x0,
                      row.data() + (x0 - f.Left), static_cast<size_t>(x1 - x0)) != 0) {
        return "pixels differ from giflib's line decoder";
      }
    }
  }
  return {};
}

}  // namespace detail

inline FormatCheck CheckGifInput(std::span<const uint8_t> data) {
  FormatCheck out;
  auto pic = DecodeGif(data);
  if (!pic) {
    out.refusal = pic.error().Text();
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
  out.violation = detail::CompareWithGiflib(data, *pic);
  const auto encode = [](int width, int height, std::span<const uint8_t> pixels,
                         const BoardEntries& entries) {
    return EncodeGif(width, height, pixels, entries);
  };
  if (out.violation.empty()) {
    out.violation = detail::CheckPicture(*pic, kMaxGifSide, encode, DecodeGif, true);
  }
  // The extensions a save keeps come back as they were, before one image.
  if (out.violation.empty()) {
    auto kept = EncodeGif(pic->width, pic->height, pic->pixels, pic->entries, &pic->extras.gif);
    auto again = kept ? DecodeGif(*kept) : Result<DecodedPicture>(kept.error());
    if (!again) {
      out.violation =
          "a picture written with its extensions does not decode: " + again.error().Text();
    } else if (again->extras.gif.kept != pic->extras.gif.kept || again->extras.frames != 1) {
      out.violation = "the kept extensions differ after a round trip";
    }
  }
  return out;
}

inline FormatCheck CheckBmpInput(std::span<const uint8_t> data) {
  FormatCheck out;
  auto pic = DecodeBmp(data);
  if (!pic) {
    out.refusal = pic.error().Text();
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
