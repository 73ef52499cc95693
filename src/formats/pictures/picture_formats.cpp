#include "formats/pictures/picture_formats.h"

#include <algorithm>
#include <cctype>

#include "formats/pictures/bmp.h"
#include "formats/pictures/gif.h"
#include "formats/pictures/ilbm.h"
#include "formats/pictures/png.h"

namespace hw {

namespace {

constexpr int32_t kMaxPcxSide = 32767;

Result<EncodedPicture> Bytes(Result<std::vector<uint8_t>> bytes) {
  if (!bytes) return bytes.error();
  return EncodedPicture{std::move(*bytes), {}};
}

Result<EncodedPicture> EncodePcxPicture(const PictureToWrite& p) {
  if (p.width > kMaxPcxSide || p.height > kMaxPcxSide) {
    return Error{"a PCX picture is at most 32767 x 32767 pixels; this one is " +
                 std::to_string(p.width) + " x " + std::to_string(p.height)};
  }
  Palette palette{};
  for (size_t i = 0; i < 256; ++i) palette[i] = (*p.entries)[i].rgb;
  // The depth the file had, unless the picture no longer fits it.
  const auto widened = FitPcxDepth(*p.pcx_header, p.pixels, *p.entries);
  auto bytes = WritePcx(*p.pcx_header, p.pixels, palette);
  if (!bytes) return bytes.error();
  return EncodedPicture{std::move(*bytes),
                        widened ? "written at 8 bits per pixel: " + *widened : std::string()};
}

Result<EncodedPicture> EncodePngPicture(const PictureToWrite& p) {
  return Bytes(EncodeIndexedPng(p.width, p.height, p.pixels, *p.entries,
                                p.own ? &p.own->png : nullptr, *p.cycles, p.save_time));
}

Result<EncodedPicture> EncodeGifPicture(const PictureToWrite& p) {
  return Bytes(EncodeGif(p.width, p.height, p.pixels, *p.entries, p.own ? &p.own->gif : nullptr));
}

Result<EncodedPicture> EncodeBmpPicture(const PictureToWrite& p) {
  return Bytes(EncodeBmp(p.width, p.height, p.pixels, *p.entries));
}

Result<EncodedPicture> EncodeIlbmPicture(const PictureToWrite& p) {
  return Bytes(EncodeIlbm(p.width, p.height, p.pixels, *p.entries, *p.cycles,
                          p.own ? &p.own->ilbm : nullptr));
}

// clang-format off
constexpr PictureFormatRow kRows[] = {
    // format            key     name    file            extensions        signature
    //                   decode            encode             alpha               cycles
    {PictureFormat::Pcx,  "pcx",  "PCX",  "a PCX file",   {".pcx", ""},     HasPcxSignature,
                         DecodePcx,        EncodePcxPicture,  AlphaKept::None,     false},
    {PictureFormat::Png,  "png",  "PNG",  "a PNG file",   {".png", ""},     HasPngSignature,
                         DecodeIndexedPng, EncodePngPicture,  AlphaKept::All,      true},
    {PictureFormat::Gif,  "gif",  "GIF",  "a GIF file",   {".gif", ""},     HasGifSignature,
                         DecodeGif,        EncodeGifPicture,  AlphaKept::OneClear, false},
    {PictureFormat::Bmp,  "bmp",  "BMP",  "a BMP file",   {".bmp", ""},     HasBmpSignature,
                         DecodeBmp,        EncodeBmpPicture,  AlphaKept::None,     false},
    {PictureFormat::Ilbm, "ilbm", "ILBM", "an ILBM file", {".lbm", ".iff"}, HasIlbmSignature,
                         DecodeIlbm,       EncodeIlbmPicture, AlphaKept::OneClear, true},
};
// clang-format on

bool EndsWith(std::string_view path, std::string_view extension) {
  if (extension.empty() || path.size() < extension.size()) return false;
  return std::equal(extension.rbegin(), extension.rend(), path.rbegin(), [](char e, char c) {
    return e == std::tolower(static_cast<unsigned char>(c));
  });
}

}  // namespace

std::span<const PictureFormatRow> PictureFormatRows() { return kRows; }

Result<DecodedPicture> DecodeWholePicture(PictureFormat format, std::span<const uint8_t> file) {
  auto decoded = PictureFormatRowOf(format).decode(file);
  if (decoded && format != PictureFormat::Pcx) {
    decoded->extras.pcx = IndexedPictureHeader(static_cast<int16_t>(decoded->width),
                                               static_cast<int16_t>(decoded->height));
  }
  return decoded;
}

const PictureFormatRow& PictureFormatRowOf(PictureFormat format) {
  for (const PictureFormatRow& row : kRows) {
    if (row.format == format) return row;
  }
  return kRows[0];
}

std::optional<PictureFormat> PictureFormatOf(std::span<const uint8_t> head) {
  for (const PictureFormatRow& row : kRows) {
    if (row.signature(head)) return row.format;
  }
  return std::nullopt;
}

std::optional<PictureFormat> PictureFormatOfExtension(std::string_view path) {
  for (const PictureFormatRow& row : kRows) {
    for (std::string_view extension : row.extensions) {
      if (EndsWith(path, extension)) return row.format;
    }
  }
  return std::nullopt;
}

std::string PictureExtensionList(std::string_view last) {
  std::vector<std::string_view> all;
  for (const PictureFormatRow& row : kRows) {
    for (std::string_view extension : row.extensions) {
      if (!extension.empty()) all.push_back(extension);
    }
  }
  std::string text;
  for (size_t i = 0; i < all.size(); ++i) {
    if (i > 0) text += i + 1 == all.size() ? last : std::string_view(", ");
    text += all[i];
  }
  return text;
}

}  // namespace hw
