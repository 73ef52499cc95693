// The one way into a picture file, for every reader: the file is opened once through
// the file layer (plain files only, so a named pipe cannot keep a reader waiting),
// its kind is told once from its first bytes, and the picture is then read as the
// caller needs it: a PCX a slice of rows at a time while the file is read, or whole;
// a PNG is decoded whole (libspng) as it is opened.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "colour/cycle_ranges.h"
#include "formats/bmp_stream.h"
#include "formats/pcx_stream.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/picture_extras.h"
#include "formats/pictures/picture_format.h"
#include "formats/pictures/picture_formats.h"
#include "formats/pictures/png.h"

namespace hw {

class OpenedPicture {
 public:
  // Opens the file and tells its kind. Anything but a PCX, PNG, GIF, BMP or ILBM picture is refused
  // ("cannot load 'x': not a picture Huewright reads"), and so is a picture of the
  // other kind when `only` names one ("... a PNG picture where a PCX one is needed"),
  // before any of it is decoded. A PCX's header and palette are read and checked
  // here, its pixels only when asked for; the others are decoded whole here. Errors name
  // the file, running out of memory included.
  static Result<OpenedPicture> Open(const std::string& path,
                                    std::optional<PictureFormat> only = std::nullopt);
  // The same for a file already open (`path` names it in errors).
  static Result<OpenedPicture> Open(FileReader file, const std::string& path,
                                    std::optional<PictureFormat> only = std::nullopt);

  const std::string& path() const { return path_; }
  PictureFormat format() const { return picture_.format; }
  int32_t width() const { return picture_.width; }
  int32_t height() const { return picture_.height; }
  // A PCX's header as read; for a PNG a fresh 8-bit header of its size.
  const PcxHeader& header() const { return picture_.extras.pcx; }
  // All 256 entries: a PCX's palette, opaque; a PNG's PLTE with its tRNS alpha, the
  // entries past it black and opaque.
  const BoardEntries& entries() const { return picture_.entries; }
  const Palette& palette() const { return palette_; }  // the entries' RGB
  int palette_count() const { return picture_.palette_count; }
  // The cycle ranges the file holds (a PNG's crNg chunk, an ILBM's CRNG and CCRT
  // chunks), in stored order.
  const CycleRanges& cycles() const { return picture_.cycles; }
  // See DecodedPicture::note.
  const std::string& note() const { return picture_.note; }
  // See PictureExtras.
  const PictureExtras& extras() const { return picture_.extras; }
  uint64_t frames() const { return picture_.extras.frames; }
  // The bits per pixel the file stores: a PNG's image data (1, 2, 4 or 8), a BMP's,
  // a GIF's colour table size, an ILBM's planes; the header's BitsPerPixel for a PCX.
  int bit_depth() const { return picture_.bit_depth; }

  // Hands the pixels not yet read to take(span) in order, one byte each, row-major:
  // a PCX's in slices of whole rows of about PcxFileRows::kSliceBytes, decoded as
  // the file is read, an uncompressed BMP's likewise (BmpFileRows); the others' all
  // at once. Stops at the first error, from decoding
  // (a damaged PCX shows only part way through) or from take (a Status). Once all
  // were handed over, Rewind starts again at the first row.
  template <typename Take>
  Status ForEachSlice(Take take) {
    if (rows_) return rows_->ForEachSlice(take);
    if (bmp_rows_) return bmp_rows_->ForEachSlice(take);
    if (png_handed_) return Ok{};
    png_handed_ = true;
    return take(std::span<const uint8_t>(picture_.pixels));
  }

  // Starts the pixels again at the first row; a PCX is read again from the file as
  // it was opened.
  Status Rewind();

  // The whole picture from its first row, its pixels in one buffer; it takes a PNG's
  // pixels along, so that nothing is left to read after it.
  Result<DecodedPicture> TakeWhole();

 private:
  OpenedPicture() = default;

  std::string path_;
  DecodedPicture picture_;  // all but a PCX's pixels
  Palette palette_{};
  bool png_handed_ = false;
  std::unique_ptr<PcxFileRows> rows_;      // PCX
  std::unique_ptr<BmpFileRows> bmp_rows_;  // uncompressed BMP
};

}  // namespace hw
