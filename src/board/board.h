// The palette model: what decides every colour the editor shows and saves.
//
//   loaded pixels   the picture's indices as read (kept by the editor, never changed)
//   map             as-loaded index -> board position (a permutation or a merge)
//   entries         the 256 board entries: colour and opacity
//   marks           the two marked positions; their range is the range of the
//                   range commands
//   names           each entry's name, moving with its entry (most have none)
//   locks           positions no command may change (each command's rules say how)
//   target          the hardware colours entries must lie on (none: every colour);
//                   the commands that write colours write only colours it can show
//   cycles          the colour-cycle ranges over positions; they move with their
//                   entries only where a command says so (moves.h)
//
// Everything else is derived: pixels = map applied to the loaded pixels, the
// board and the display palette show the entries, a saved picture is the pixels
// with the entries, usage per position is the loaded counts pushed through map.
// Every command here is a function from one BoardState to the next.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/usage_counts.h"
#include "colour/colour.h"
#include "colour/cycle_ranges.h"
#include "colour/target.h"

namespace hw {

using IndexMap = std::array<uint8_t, 256>;

// The names of the board's entries. The list is shared between the states of the
// history and never changed in place, so copying a board copies a pointer; no list
// at all when no entry has a name.
class BoardNames {
 public:
  BoardNames() = default;
  // A copy of `names`; none when it is null or every name is empty.
  explicit BoardNames(const EntryNames* names);
  // Position p's name, empty when it has none.
  const std::string& At(size_t p) const;
  bool None() const { return list_ == nullptr; }
  // The list (null when no entry has a name), for the writers of named files.
  const EntryNames* List() const { return list_.get(); }
  // Position p takes `name`.
  void Set(size_t p, const std::string& name);
  // The name at p goes to to[p], for every p (`to` a permutation of 0..255).
  void Permute(const std::array<uint8_t, 256>& to);
  friend bool operator==(const BoardNames& a, const BoardNames& b);

 private:
  std::shared_ptr<const EntryNames> list_;
};

// Locked positions: bit p set when position p is locked.
using LockSet = std::bitset<256>;

struct BoardState {
  IndexMap map{};
  BoardEntries entries{};
  int16_t prev = 0;  // the mark selected before the current one
  int16_t cur = 0;   // the current mark
  BoardNames names;
  LockSet locked;
  ColourTarget target;
  CycleRanges cycles;
  friend bool operator==(const BoardState&, const BoardState&) = default;
};

inline bool IsLocked(const BoardState& b, int position) {
  return position >= 0 && position <= 255 && b.locked.test(static_cast<size_t>(position));
}

// The unlocked positions of low..high (clamped to the board), ascending: the
// commands that sweep over a stretch of the board treat them as neighbours.
std::vector<int> UnlockedPositions(const BoardState& b, int low, int high);

// The lowest locked position of `before` whose entry, name or set of as-loaded
// indices differs in `after`, or -1 when every locked position is as it was.
int ChangedLockedPosition(const BoardState& before, const BoardState& after);

// The identity map, every entry `colour` (opaque), both marks on 0.
BoardState StartBoard(const RGBTriple& colour);
IndexMap IdentityMap();
bool IsIdentity(const IndexMap& map);

// What an exchange of two positions moves: "Index" relabels the map's values,
// "Color" swaps the two entries. Both: the picture keeps its look.
struct MoveWhat {
  bool index = true;
  bool colour = true;
};

// Applies a sequence of exchanges of positions to a board. The map's relabelling
// is gathered as a permutation of positions (constant time per exchange) and
// applied to the map once in Finish() or on destruction; entries swap at once,
// and their names with them (also gathered, and applied in Finish()).
class Exchanger {
 public:
  Exchanger(BoardState& board, MoveWhat what);
  ~Exchanger() { Finish(); }
  Exchanger(const Exchanger&) = delete;
  Exchanger& operator=(const Exchanger&) = delete;

  // Exchanges positions a and b; a pair with a position outside 0..255 is skipped.
  void Exchange(int a, int b);
  void Finish();

 private:
  BoardState& board_;
  MoveWhat what_;
  std::array<uint8_t, 256> to_{};    // position p's value goes to to_[p]
  std::array<uint8_t, 256> from_{};  // inverse of to_
  bool pending_ = false;
  std::array<uint8_t, 256> name_to_{};  // the name at p goes to name_to_[p]
  std::array<uint8_t, 256> name_from_{};
  bool names_pending_ = false;
};

// Usage of each board position: the per-index counts of the loaded pixels pushed
// through the map.
UsageCounts UsageByPosition(const IndexMap& map, std::span<const int64_t, 256> loaded_counts);

// Which positions a palette load takes: all, those inside the marked range
// ("Replace Range") or those outside it ("Protect Range").
enum class PaletteMerge { All, ReplaceRange, ProtectRange };

// Puts a palette file's entries (`count` of them, 1..256, the rest of `file`
// black) on the board. A whole load sets every position: file entry k to position
// k. Merges take the marked range LOW..HIGH into account:
//  - a full file (256 entries) gives position k its entry k, inside the range
//    ("Replace Range") or outside it ("Protect Range");
//  - a shorter file fills the range from its low end, entry k to LOW + k while both
//    last ("Replace Range"), or gives position k its entry k for every k < count
//    outside the range ("Protect Range").
// Positions the file does not reach keep their entries, and so do locked ones:
// the file entry meant for a locked position is dropped (the later entries do not
// shift). Entries placed are snapped to the board's target. A position that takes
// an entry takes its name too (`file_names`, or none). The map, and so the pixels,
// stay as they are. Returns how many positions took an entry.
int ApplyPalette(BoardState& board, const BoardEntries& file, int count, PaletteMerge merge,
                 const EntryNames* file_names = nullptr);

// An entry with its colour snapped to the board's target (its opacity kept).
inline BoardEntry OnBoardTarget(const BoardState& b, BoardEntry e) {
  if (!b.target.None()) e.rgb = SnapColour(b.target, e.rgb);
  return e;
}

// "Snap All": every unlocked entry takes the nearest colour the target can show.
struct SnapReport {
  int changed = 0;  // entries whose colour changed
  int largest = 0;  // the largest change of one channel, 0..255
};
SnapReport SnapAll(BoardState& board);

// The marked range in ascending order.
inline int16_t RangeLow(const BoardState& b) { return MinOf(b.cur, b.prev); }
inline int16_t RangeHigh(const BoardState& b) { return MaxOf(b.cur, b.prev); }

}  // namespace hw
