// The editor's start-up, the palette board and the board commands with their
// history. Files are in editor_files.cpp, the picture and
// the display palette in editor_picture.cpp, colour cycling in editor_cycle.cpp.
#include "editor/editor.h"

#include <algorithm>
#include <utility>

#include "board/moves.h"

namespace hw {

namespace {

constexpr RGBTriple kStartColour{255, 170, 85};

bool OnBoard(int index) { return index >= 0 && index <= 255; }

}  // namespace

Editor::Editor(EditorServices services, int palette_size)
    : svc_(services), display_(palette_size) {}

Editor::~Editor() {
  if (preparing_.joinable()) preparing_.join();
}

// ---- start-up -------------------------------------------------------------

void Editor::Start() {
  flipped_ = false;
  cycle_on_ = false;
  playing_ranges_ = false;
  frame_shown_ = false;
  loaded_ = false;
  width_ = height_ = 0;
  if (preparing_.joinable()) preparing_.join();
  loaded_pixels_.clear();
  pixels_.clear();
  prepared_.clear();
  identity_ = true;
  loaded_counts_ = {};
  usage_ = {};
  message_.clear();

  for (int k = 0; k < 5; ++k) cycle_starts_[static_cast<size_t>(k)] = static_cast<int16_t>(5 * k);
  cycle_starts_[5] = 0;
  cycle_scheme_ = 0;

  board_ = StartBoard(kStartColour);
  history_.Clear();
  history_shortened_ = history_notice_ = false;
  // A display without a 256-entry palette shows true colours.
  hardware_colours_ = display_.PaletteSize() == 256;
  RebuildDisplayPalette();
  if (auto* v = view()) {
    v->BoardChanged();
    v->StateChanged();
  }
}

// ---- board ------------------------------------------------------------------

void Editor::Flip() {
  flipped_ = !flipped_;
  if (auto* v = view()) {
    v->StateChanged();
    v->BoardChanged();
  }
}

void Editor::SetHardwareColours(bool on) {
  hardware_colours_ = on;
  RebuildDisplayPalette();
  if (auto* v = view()) v->BoardChanged();
}

bool Editor::IsMarked(int index) const { return index == board_.prev || index == board_.cur; }

RGBTriple Editor::SwatchShownColour(int index) const {
  if (!OnBoard(index)) return RGBTriple{};
  // While the ranges play the swatches show the colours they rotate to.
  if (PlayingRanges()) {
    const LogicalPalette* shown = display_.Realized(Surface::PictureBox);
    if (shown != nullptr) {
      const PaletteEntry& e = (*shown)[static_cast<size_t>(index)];
      return RGBTriple{e.red, e.green, e.blue};
    }
  }
  if (hardware_colours_) {
    const LogicalPalette* realized = display_.Realized(SwatchSurface(index));
    if (realized != nullptr) {
      const PaletteEntry& e = (*realized)[static_cast<size_t>(index)];
      return RGBTriple{e.red, e.green, e.blue};
    }
  }
  return board_.entries[static_cast<size_t>(index)].rgb;
}

void Editor::Select(int index) {
  if (!OnBoard(index)) return;
  const int old = board_.prev;
  board_.prev = board_.cur;
  board_.cur = static_cast<int16_t>(index);
  if (auto* v = view()) {
    v->StateChanged();
    v->SwatchChanged(old);
    v->SwatchChanged(index);
  }
}

void Editor::SetMarks(int prev, int cur) {
  if (!OnBoard(prev) || !OnBoard(cur)) return;
  BoardState next = board_;
  next.prev = static_cast<int16_t>(prev);
  next.cur = static_cast<int16_t>(cur);
  Apply(next, nullptr);
}

// ---- the one path of every change -------------------------------------------

void Editor::Apply(const BoardState& next, const char* step) {
  const BoardState before = board_;
  const bool map_changed = next.map != before.map;
  // A new target changes no entry, but the marks of the swatches off it.
  const bool entries_changed = next.entries != before.entries || next.target != before.target;
  const bool cycles_changed = next.cycles != before.cycles;
  const bool locks_changed = next.locked != before.locked;
  // What can fail comes first: the buffer for the remapped pixels and the room
  // for the history's step. Until both are there nothing has changed, so a
  // command that runs out of memory leaves board, pixels and history as they were.
  std::vector<uint8_t>* remap_into = nullptr;
  const bool in_place = forward_only_ && loaded_;
  if (map_changed && !in_place && loaded_ && !IsIdentity(next.map)) remap_into = &RemapBuffer();
  size_t dropped = 0;
  if (step != nullptr && (map_changed || entries_changed || cycles_changed || locks_changed)) {
    dropped = history_.Record(step, before, next);
  }
  // The first time the bound drops old steps the status line says so, once.
  history_notice_ = dropped > 0 && !history_shortened_;
  history_shortened_ = history_shortened_ || dropped > 0;
  board_ = next;
  if (map_changed && in_place) {
    RemapInPlace(before.map, board_.map);
  } else if (map_changed) {
    Remap(remap_into);
  }
  if (map_changed) RecheckTiles();
  if (entries_changed) {
    RebuildDisplayPalette();
  } else if (cycles_changed) {
    ShowCycleFrame(true);
  }
  if (auto* v = view()) {
    if (entries_changed || locks_changed) {
      v->BoardChanged();
    } else {
      for (int i : {int{before.prev}, int{before.cur}, int{board_.prev}, int{board_.cur}}) {
        v->SwatchChanged(i);
      }
    }
    v->StateChanged();
  }
}

bool Editor::ApplyUnlessLocked(const BoardState& next, const char* step) {
  if (const int p = ChangedLockedPosition(board_, next); p >= 0) {
    ReportError("position " + std::to_string(p) + " is locked");
    return false;
  }
  Apply(next, step);
  return true;
}

bool Editor::Drop(int target, int source, MoveOptions options) {
  if (!OnBoard(target) || !OnBoard(source)) return false;
  if (target == source) {
    Select(target);
    return true;
  }
  // A count that moves nothing is refused with the reason rather than ignored.
  if (!IsMoveCount(options.count)) {
    message_ =
        "\"Move:\" takes a number of entries from 1 to " + std::to_string(kMaxMoveCount) + ".";
    if (auto* v = view()) v->StateChanged();
    return false;
  }
  BoardState next = board_;
  if (!MoveRun(next, static_cast<int16_t>(target), static_cast<int16_t>(source),
               static_cast<int16_t>(options.count), options.what)) {
    return false;
  }
  // Pairs past position 255 are skipped; the user hears how much of the run moved.
  const int moved = std::min({options.count, 256 - target, 256 - source});
  std::string message;
  if (!options.what.index && !options.what.colour) {
    message = "Neither \"Index\" nor \"Color\" is ticked: only the marks moved.";
  } else if (moved < options.count) {
    message = "Moved " + std::to_string(moved) + " of " + std::to_string(options.count) +
              ": the run reached the end of the board.";
  }
  if (!ApplyUnlessLocked(next, "Swap")) return false;
  message_ = std::move(message);
  if (auto* v = view()) v->StateChanged();
  return true;
}

bool Editor::ReverseRange(MoveWhat what) {
  BoardState next = board_;
  hw::ReverseRange(next, what);
  return ApplyUnlessLocked(next, "Reverse Range");
}

void Editor::Sort(SortKey key, bool reverse, MoveWhat what, bool range_only) {
  BoardState next = board_;
  SortRange range;
  if (range_only) range = {RangeLow(board_), RangeHigh(board_)};
  SortBoard(next, key, reverse, what, usage_, range);
  Apply(next, "Sort");
}

void Editor::Spread(SpreadKind kind) {
  BoardState next = board_;
  const int coincide = SpreadRange(next, kind);
  Apply(next, kind == SpreadKind::Rgb   ? "Spread RGB"
              : kind == SpreadKind::Hsv ? "Spread HSV"
                                        : "Spread HSV Reverse");
  message_ = coincide == 0   ? std::string()
             : coincide == 1 ? "1 entry coincides on this hardware"
                             : std::to_string(coincide) + " entries coincide on this hardware";
  if (auto* v = view()) v->StateChanged();
}

bool Editor::EditColour(int index, RGBTriple colour) {
  if (!OnBoard(index)) return false;
  return SetEntry(index, BoardEntry{colour, board_.entries[static_cast<size_t>(index)].A});
}

bool Editor::SetEntry(int index, BoardEntry entry) {
  if (!OnBoard(index)) return false;
  BoardState next = board_;
  next.entries[static_cast<size_t>(index)] = OnBoardTarget(board_, entry);
  return ApplyUnlessLocked(next, "Edit Colour");
}

void Editor::LockRange(bool lock) {
  BoardState next = board_;
  for (int p = RangeLow(board_); p <= RangeHigh(board_); ++p) {
    next.locked.set(static_cast<size_t>(p), lock);
  }
  Apply(next, lock ? "Lock Range" : "Unlock Range");
  const int n = RangeHigh(board_) - RangeLow(board_) + 1;
  message_ = std::string(lock ? "Locked " : "Unlocked ") +
             (n == 1 ? "position " + std::to_string(RangeLow(board_))
                     : "positions " + std::to_string(RangeLow(board_)) + " to " +
                           std::to_string(RangeHigh(board_))) +
             ".";
  if (auto* v = view()) v->StateChanged();
}

void Editor::SetTarget(const ColourTarget& target) {
  BoardState next = board_;
  next.target = target;
  Apply(next, "Target Hardware");
  int off = 0;
  for (const BoardEntry& e : board_.entries) off += !OnTarget(target, e.rgb);
  message_ = "Target hardware: " + TargetMenuText(target);
  if (off > 0) {
    message_ +=
        "; " + std::to_string(off) + (off == 1 ? " entry is" : " entries are") + " off its colours";
  }
  if (auto* v = view()) v->StateChanged();
}

void Editor::SnapAll() {
  BoardState next = board_;
  const SnapReport report = hw::SnapAll(next);
  Apply(next, "Snap All");
  message_ = "Snap All: " + std::to_string(report.changed) +
             (report.changed == 1 ? " entry" : " entries") +
             " changed, the largest change of a channel " + std::to_string(report.largest);
  if (auto* v = view()) v->StateChanged();
}

// The history moves only once the board it names is shown.
void Editor::Undo() {
  if (forward_only_) return;
  if (std::optional<BoardState> back = history_.UndoTarget()) {
    Apply(*back, nullptr);
    history_.UndoDone();
    if (auto* v = view()) v->StateChanged();
  }
}

void Editor::Redo() {
  if (forward_only_) return;
  if (std::optional<BoardState> again = history_.RedoTarget()) {
    Apply(*again, nullptr);
    history_.RedoDone();
    if (auto* v = view()) v->StateChanged();
  }
}

void Editor::ReportError(const Error& error) {
  if (svc_.errors != nullptr) svc_.errors->ShowError(error);
}

}  // namespace hw
