// Pictures and palettes of every format the editor reads and writes, from and to
// files: the codecs (pcx.h, png.h, palette_files.h) over the safe file layer
// (file_io.h). Every error names the file and the cause.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_files.h"
#include "formats/picture_opener.h"
#include "formats/pictures/pcx.h"
#include "formats/pictures/picture_format.h"
#include "formats/save_losses.h"

namespace hw {

// Reads a PCX, PNG, GIF, BMP or ILBM picture whole, decided by the file's content
// (picture_opener.h).
Result<DecodedPicture> LoadPictureFile(const std::string& path);

// Whether the name ends in `extension` (given in lower case), in any case.
bool HasExtension(const std::string& path, std::string_view extension);

// .png is PNG, .gif GIF, .bmp BMP, .lbm and .iff ILBM; any other name is PCX.
PictureFormat PictureFormatForName(const std::string& path);

// Writes width x height pixels with all 256 entries in `format`. For PCX the
// header's fields are kept (the writer copies entries 0..15 into its colour map),
// and its depth when the picture fits it (FitPcxDepth); when it had to be widened to
// 8 bits, `note` (when given) says why, else it is emptied. A PNG, GIF, BMP or ILBM
// is written as png.h, gif.h, bmp.h and ilbm.h say, with what `extras` holds of a
// file of the same format (a PNG's tIME says the time of the save); a PNG and an
// ILBM keep the cycle ranges (the other formats cannot hold them: see
// save_losses.h). Pictures wider or taller than the format allows are refused.
Status SavePictureFile(const std::string& path, PictureFormat format, int32_t width, int32_t height,
                       const std::vector<uint8_t>& pixels, const BoardEntries& entries,
                       PictureExtras* extras = nullptr, std::string* note = nullptr,
                       const CycleRanges& cycles = {});

// Converts the picture in `in` to the format `out`'s name says (as
// PictureFormatForName), keeping what SavePictureFile keeps. A PCX picture goes
// through a slice of rows at a time, decoded and encoded as the file is read and
// written, so nothing of the picture's size is held (a save in place excepted, see
// file_io.h), when it goes to PCX or PNG; any other is decoded whole first, and a
// PNG written from a PCX takes one pass more, to find its palette's length. A PNG
// kept in its own format keeps what SavePictureFile keeps of its file. Errors name
// the file at fault. After a successful save, `loss` (when given) holds what the
// save dropped, as PictureSaveLoss words it; `note` (when given) what the load of
// `in` left out (DecodedPicture::note), or is empty.
Status ConvertPictureFile(const std::string& in, const std::string& out, SaveLoss* loss = nullptr,
                          std::string* note = nullptr);

// Reads the palette of a picture or a palette file of any known format (see
// palette_files.h for the rule): a PNG gives its PLTE entries with their tRNS alpha,
// a PCX the palette at its end (read alone, whatever the file's size), any other
// file is read as raw colours only when it is exactly 768 bytes. Anything else, and
// a palette file too large for its format, is refused before it is read whole.
Result<PaletteFile> LoadAnyPaletteFile(const std::string& path);

// Reads a palette file of a format the user named (a console format: the bytes
// cannot tell them apart). A file larger than any palette of that format is
// refused before it is read.
Result<PaletteFile> LoadPaletteFileAs(const std::string& path, PaletteFormat format);

// The format a palette is saved in: by extension, PCX when it is not known.
PaletteFormat PaletteFormatForName(const std::string& path);

// Writes all 256 entries in the given format (with `names` where it holds them;
// a console format its first `count` when that is 16 or 32); the formats only
// read (swatch files) are refused.
Status SavePaletteFile(const std::string& path, PaletteFormat format, const BoardEntries& entries,
                       const EntryNames* names = nullptr, int count = 256);
// Writes just these entries (a bank of the board, say) as EncodePaletteEntries does,
// `names` naming them in order; refused as SavePaletteFile refuses.
Status SavePaletteEntries(const std::string& path, PaletteFormat format,
                          std::span<const BoardEntry> entries, const EntryNames* names = nullptr);

}  // namespace hw
