// What a save would drop of the board's entries because the file format cannot
// hold it. The window asks before such a save; the command line warns and writes.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "colour/colour.h"
#include "formats/palette_files.h"
#include "formats/picture_format.h"

namespace hw {

// A phrase naming what is lost ("the alpha of 3 entries: a PCX file has no
// transparency"), or nullopt when the format keeps everything the entries and the
// `cycle_ranges` cycle ranges hold (a PNG and an ILBM keep ranges; a GIF and an ILBM
// one fully transparent entry).
std::optional<std::string> PictureSaveLoses(PictureFormat format, const BoardEntries& entries,
                                            size_t cycle_ranges = 0);
// With `names`, entry names count too: only a GIMP palette keeps them. A console
// format also names the entries (of the first `count` written) whose colours it
// changes to its own depth.
std::optional<std::string> PaletteSaveLoses(PaletteFormat format, const BoardEntries& entries,
                                            const EntryNames* names = nullptr, int count = 256);
// The same for a palette of just these entries (a bank of the board, say), as
// EncodePaletteEntries writes it; `names` names them in order.
std::optional<std::string> PaletteEntriesSaveLoses(PaletteFormat format,
                                                   std::span<const BoardEntry> entries,
                                                   const EntryNames* names = nullptr);

}  // namespace hw
