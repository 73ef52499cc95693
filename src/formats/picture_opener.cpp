#include "formats/picture_opener.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/file_io.h"
#include "formats/png.h"

namespace hw {
namespace {

std::string Named(const std::string& path) { return "'" + path + "'"; }

const char* KindName(PictureFormat format) { return format == PictureFormat::Png ? "PNG" : "PCX"; }

// A PNG file is decoded from memory: the whole of it, as far as the file went when
// opened, up to the bound the file layer puts on whole-file reads.
constexpr uint64_t kMaxPngFileBytes = uint64_t{1} << 31;

Result<std::vector<uint8_t>> ReadWhole(FileReader& file, const std::string& path) {
  const uint64_t size = file.size();
  if (size > kMaxPngFileBytes) {
    return Error{"cannot load " + Named(path) + ": file is too large (" + std::to_string(size) +
                 " bytes, at most " + std::to_string(kMaxPngFileBytes) + ")"};
  }
  std::vector<uint8_t> bytes = AllocateBuffer<uint8_t>(static_cast<size_t>(size));
  auto got = file.ReadAt(0, bytes);
  if (!got) return got.error();
  bytes.resize(*got);  // the file shrank since it was opened
  return bytes;
}

}  // namespace

std::optional<PictureFormat> PictureFormatOf(std::span<const uint8_t> head) {
  if (HasPcxSignature(head)) return PictureFormat::Pcx;
  if (HasPngSignature(head)) return PictureFormat::Png;
  return std::nullopt;
}

Result<OpenedPicture> OpenedPicture::Open(const std::string& path,
                                          std::optional<PictureFormat> only) {
  try {
    auto file = FileReader::Open(path);
    if (!file) return file.error();
    // Enough for either signature and a PNG's bit depth (byte 24, in IHDR).
    std::array<uint8_t, 32> head_bytes{};
    auto got = file->ReadAt(0, head_bytes);
    if (!got) return got.error();
    const std::span<const uint8_t> head(head_bytes.data(), *got);
    const std::optional<PictureFormat> kind = PictureFormatOf(head);
    if (!kind) return Error{"cannot load " + Named(path) + ": " + kNotAPicture};
    if (only && *kind != *only) {
      return Error{"cannot load " + Named(path) + ": a " + KindName(*kind) + " picture where a " +
                   KindName(*only) + " one is needed"};
    }

    OpenedPicture opened;
    opened.path_ = path;
    LoadedPicture& picture = opened.picture_;
    picture.format = *kind;
    if (*kind == PictureFormat::Pcx) {
      auto rows = PcxFileRows::Open(std::move(*file), path);
      if (!rows) return rows.error();
      opened.rows_ = std::move(*rows);
      picture.width = opened.rows_->size().width;
      picture.height = opened.rows_->size().height;
      opened.palette_ = opened.rows_->palette();
      for (size_t i = 0; i < 256; ++i) picture.entries[i] = BoardEntry{opened.palette_[i], 255};
      picture.pcx_header = opened.rows_->header();
      picture.palette_count = PcxColours(picture.pcx_header);
      return opened;
    }

    auto bytes = ReadWhole(*file, path);
    if (!bytes) return bytes.error();
    auto png = DecodeIndexedPng(*bytes);
    if (!png) return Error{"cannot load " + Named(path) + ": " + png.error().message};
    picture.width = png->width;
    picture.height = png->height;
    picture.pixels = std::move(png->pixels);
    picture.entries = png->entries;
    picture.palette_count = png->palette_count;
    picture.pcx_header =
        IndexedPictureHeader(static_cast<int16_t>(png->width), static_cast<int16_t>(png->height));
    for (size_t i = 0; i < 256; ++i) opened.palette_[i] = png->entries[i].rgb;
    opened.png_bit_depth_ = head.size() > 24 ? head[24] : 8;
    return opened;
  } catch (const std::bad_alloc&) {
    return Error{"cannot load " + Named(path) + ": not enough memory"};
  }
}

Status OpenedPicture::Rewind() {
  png_handed_ = false;
  if (rows_) return rows_->Rewind();
  return Ok{};
}

Result<LoadedPicture> OpenedPicture::TakeWhole() {
  try {
    if (!rows_) {
      png_handed_ = true;
      return std::move(picture_);
    }
    if (rows_->rows_done() > 0) {
      if (auto rewound = rows_->Rewind(); !rewound) return rewound.error();
    }
    // The pixels go straight from the decoder into the buffer kept: the file is
    // never held whole.
    LoadedPicture out = picture_;
    const size_t count = static_cast<size_t>(rows_->size().count);
    if (faults::AllocationShouldFail()) throw std::bad_alloc();
    out.pixels.reserve(count);
    AdviseHugePages(out.pixels.data(), out.pixels.capacity());
    out.pixels.resize(count);
    size_t at = 0;
    while (!rows_->done()) {
      auto got = rows_->ReadRows(std::span<uint8_t>(out.pixels).subspan(at));
      if (!got) return got.error();
      if (*got == 0) break;
      at += static_cast<size_t>(*got) * static_cast<size_t>(out.width);
    }
    return out;
  } catch (const std::bad_alloc&) {
    return Error{"cannot load " + Named(path_) + ": not enough memory"};
  }
}

}  // namespace hw
