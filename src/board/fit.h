// Fitting the board to a palette and tidying it: remap to a palette file by
// nearest colour, merge duplicate entries, compact the used entries to the front.
// Each is a function from one board state to the next; the marks stay where they
// are.
#pragma once

#include <optional>
#include <span>

#include "board/board.h"

namespace hw {

// How "nearest" is measured between two colours (RGB only, alpha aside).
enum class RemapMetric {
  Rgb,         // squared Euclidean distance of the 8-bit values
  Perceptual,  // CIEDE2000 between their CIELAB values (colour/lab.h)
};

struct RemapOptions {
  RemapMetric metric = RemapMetric::Rgb;
  // The file position that becomes transparent when pixels need one and the file
  // has no transparent entry (see RemapToPalette).
  std::optional<int> transparent;
};

// Why a remap could not be made; the board is left as it was.
enum class RemapRefusal {
  None,
  NeedsTransparent,    // pixels show a transparent entry, the file has none, and no
                       // position was given to become transparent
  TransparentOutside,  // the position given is not one of the file's entries
  NoOpaqueEntry,       // pixels show colours, and the file has no entry left for them
  TransparentLocked,   // the position given to become transparent is locked
};

// The file's first `count` entries (1..256), snapped to the board's target, become
// the board's entries, entry k at position k; positions past them become opaque black and take no
// pixels. Every as-loaded index i, used or not, then goes to a file position, by the entry it shows
// now (entries[map[i]]):
//  - an entry with alpha 0 goes to the lowest file position with alpha 0;
//  - any other goes to the nearest file entry with alpha above 0 by
//    options.metric on RGB alone (from the board's colour to the file's); equal
//    distances go to the entry whose alpha is closer to its own, then to the
//    lower position.
// Only when some used index (loaded_counts above 0) shows alpha 0 and the file
// has no alpha 0 entry is options.transparent read: that file position becomes
// alpha 0, keeps its RGB, and takes the transparent indices and no others.
// Otherwise it is ignored, and with no transparent position the unused
// transparent indices go by colour like the rest.
// The board's names become the file's (`file_names`, or none).
// Locked positions keep their entries, names and pixels (the file entry meant for
// one is dropped), and are targets like the file's entries: remap is the one
// command that sends pixels to a locked entry.
RemapRefusal RemapToPalette(BoardState& board, const BoardEntries& file, int count,
                            RemapOptions options, std::span<const int64_t, 256> loaded_counts,
                            const EntryNames* file_names = nullptr);

// Whether RemapToPalette needs `options.transparent` for this board and file.
bool RemapNeedsTransparent(const BoardState& board, const BoardEntries& file, int count,
                           std::span<const int64_t, 256> loaded_counts);

// In every group of entries with equal RGB and alpha, the indices that go to any
// of them go to the group's lowest unlocked position; the entries stay as they
// are, and locked positions neither give nor take.
// Returns how many positions lost their pixels to a lower twin.
int MergeDuplicates(BoardState& board, const UsageCounts& usage);

// The used positions (usage above 0) move to 0..N-1 in their order, the unused
// ones after them in theirs; entries and the indices that go to them move
// together, so the picture keeps its look. Locked positions stay where they are;
// the unlocked ones are the slots, in order. Returns N (unlocked used positions).
int CompactBoard(BoardState& board, const UsageCounts& usage);

}  // namespace hw
