#include "formats/picture_opener.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/files/file_io.h"
#include "formats/pictures/bmp.h"
#include "formats/pictures/gif.h"
#include "formats/pictures/ilbm.h"
#include "formats/pictures/picture_formats.h"
#include "formats/pictures/png.h"

namespace hw {
namespace {

// A PNG, GIF, BMP or ILBM file is decoded from memory: the whole of it, as far as the file went
// when opened, up to the bound the file layer puts on whole-file reads.
constexpr uint64_t kMaxPngFileBytes = uint64_t{1} << 31;

// The read writes every byte kept, so the buffer is not filled first.
using FileBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

Result<FileBytes> ReadWhole(FileReader& file, const std::string& path) {
  const uint64_t size = file.size();
  if (size > kMaxPngFileBytes) {
    return CannotLoad(path, "file is too large (" + std::to_string(size) + " bytes, at most " +
                                std::to_string(kMaxPngFileBytes) + ")");
  }
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  // Advised before the first touch: filling fresh memory a 4 KiB page at a time
  // costs more than reading the file.
  FileBytes bytes;
  bytes.reserve(static_cast<size_t>(size));
  AdviseHugePages(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<size_t>(size));
  auto got = file.ReadAt(0, bytes);
  if (!got) return got.error();
  bytes.resize(*got);  // the file shrank since it was opened
  return bytes;
}

}  // namespace

Result<OpenedPicture> OpenedPicture::Open(const std::string& path,
                                          std::optional<PictureFormat> only) {
  auto file = FileReader::Open(path);
  if (!file) return file.error();
  return Open(std::move(*file), path, only);
}

Result<OpenedPicture> OpenedPicture::Open(FileReader opened_file, const std::string& path,
                                          std::optional<PictureFormat> only) {
  try {
    FileReader* file = &opened_file;
    // Enough for either signature and a PNG's bit depth (byte 24, in IHDR).
    std::array<uint8_t, 32> head_bytes{};
    auto got = file->ReadAt(0, head_bytes);
    if (!got) return got.error();
    const std::span<const uint8_t> head(head_bytes.data(), *got);
    const std::optional<PictureFormat> kind = PictureFormatOf(head);
    if (!kind) return CannotLoad(path, kNotAPicture);
    if (only && *kind != *only) {
      return CannotLoad(path, "a " + std::string(PictureFormatRowOf(*kind).name) +
                                  " picture where a " +
                                  std::string(PictureFormatRowOf(*only).name) + " one is needed");
    }

    OpenedPicture opened;
    opened.path_ = path;
    DecodedPicture& picture = opened.picture_;
    picture.format = *kind;
    picture.extras.format = *kind;
    if (*kind == PictureFormat::Pcx) {
      auto rows = PcxFileRows::Open(std::move(*file), path);
      if (!rows) return rows.error();
      opened.rows_ = std::move(*rows);
      picture.width = opened.rows_->size().width;
      picture.height = opened.rows_->size().height;
      opened.palette_ = opened.rows_->palette();
      for (size_t i = 0; i < 256; ++i) picture.entries[i] = BoardEntry{opened.palette_[i], 255};
      picture.extras.pcx = opened.rows_->header();
      picture.palette_count = PcxColours(picture.extras.pcx);
      picture.bit_depth = picture.extras.pcx.BitsPerPixel;
      return opened;
    }

    if (*kind == PictureFormat::Bmp) {
      // An uncompressed BMP is read a slice of rows at a time, straight from the file.
      std::array<uint8_t, kBmpHeadBytes> bmp_head{};
      auto got_head = file->ReadAt(0, bmp_head);
      if (!got_head) return got_head.error();
      auto layout = ReadBmpLayout(std::span(bmp_head).first(*got_head), file->size());
      if (!layout) return Within(layout.error(), "load", path);
      if (!layout->run_length) {
        picture.width = layout->width;
        picture.height = layout->height;
        picture.entries = layout->entries;
        picture.palette_count = layout->palette_count;
        picture.extras.pcx = IndexedPictureHeader(static_cast<int16_t>(picture.width),
                                                  static_cast<int16_t>(picture.height));
        for (size_t i = 0; i < 256; ++i) opened.palette_[i] = picture.entries[i].rgb;
        picture.bit_depth = layout->bits_per_pixel;
        opened.bmp_rows_ = std::make_unique<BmpFileRows>(std::move(*file), path, *layout);
        return opened;
      }
    }

    auto bytes = ReadWhole(*file, path);
    if (!bytes) return bytes.error();
    auto decoded = DecodeWholePicture(*kind, *bytes);
    if (!decoded) return Within(decoded.error(), "load", path);
    picture = std::move(*decoded);
    for (size_t i = 0; i < 256; ++i) opened.palette_[i] = picture.entries[i].rgb;
    return opened;
  } catch (const std::bad_alloc&) {
    return CannotLoad(path, "not enough memory");
  }
}

Status OpenedPicture::Rewind() {
  png_handed_ = false;
  if (rows_) return rows_->Rewind();
  if (bmp_rows_) bmp_rows_->Rewind();
  return Ok{};
}

namespace {

// Every row of a picture read a slice at a time, from the first, into one buffer.
template <typename Rows>
Status ReadAllRows(Rows& rows, DecodedPicture& out) {
  const size_t count = static_cast<size_t>(out.width) * static_cast<size_t>(out.height);
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  out.pixels.reserve(count);
  AdviseHugePages(out.pixels.data(), out.pixels.capacity());
  out.pixels.resize(count);
  size_t at = 0;
  while (!rows.done()) {
    auto got = rows.ReadRows(std::span<uint8_t>(out.pixels).subspan(at));
    if (!got) return got.error();
    if (*got == 0) break;
    at += static_cast<size_t>(*got) * static_cast<size_t>(out.width);
  }
  return Ok{};
}

}  // namespace

Result<DecodedPicture> OpenedPicture::TakeWhole() {
  try {
    if (bmp_rows_) {
      bmp_rows_->Rewind();
      DecodedPicture out = picture_;
      if (auto read = ReadAllRows(*bmp_rows_, out); !read) return read.error();
      return out;
    }
    if (!rows_) {
      png_handed_ = true;
      return std::move(picture_);
    }
    if (rows_->rows_done() > 0) {
      if (auto rewound = rows_->Rewind(); !rewound) return rewound.error();
    }
    // The pixels go straight from the decoder into the buffer kept: the file is
    // never held whole.
    DecodedPicture out = picture_;
    if (auto read = ReadAllRows(*rows_, out); !read) return read.error();
    return out;
  } catch (const std::bad_alloc&) {
    return CannotLoad(path_, "not enough memory");
  }
}

}  // namespace hw
