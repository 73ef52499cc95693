// What a save would drop of the board's entries because the file format cannot
// hold it. The window asks before such a save; the command line warns and writes.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "colour/colour.h"
#include "formats/palettes/palette_files.h"
#include "formats/pictures/picture_extras.h"
#include "formats/pictures/picture_format.h"

namespace hw {

// A phrase naming what is lost ("the alpha of 3 entries: a PCX file has no
// transparency"), or nullopt when the format keeps everything the entries and the
// `cycle_ranges` cycle ranges hold (a PNG and an ILBM keep ranges; a GIF and an ILBM
// one fully transparent entry).
std::optional<std::string> PictureSaveLoses(PictureFormat format, const BoardEntries& entries,
                                            size_t cycle_ranges = 0);
// What a save of a loaded picture drops: the frames after the first, and whatever
// else PictureSaveLoss names. The window asks one question of it all; the command
// line prints a warning line for the frames and one for the rest.
struct SaveLoss {
  uint64_t frames = 1;              // the loaded picture's; above 1 the others are lost
  std::optional<std::string> what;  // the rest, as PictureSaveLoses words it
  bool any() const { return frames > 1 || what.has_value(); }
};

// The command line's words for the frames lost: "the other N-1 frames, their
// delays and the loop are lost".
std::string FramesLostWarning(uint64_t frames);

// What a save in `format` of `pixels` and `entries` with `cycle_ranges` ranges loses
// of them and of the file they came from (`extras`, with a PNG's bKGD index where
// the save puts it): as PictureSaveLoses, then what a save in the file's own format
// leaves out (chunks it does not copy, an sBIT the saved colours no longer fit), or
// in another format everything of `extras` but the colour-mode bits of an ILBM
// (CAMG): colour profile, text, other chunks and extensions, each named.
SaveLoss PictureSaveLoss(PictureFormat format, const BoardEntries& entries, size_t cycle_ranges,
                         std::span<const uint8_t> pixels, const PictureExtras& extras);

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
