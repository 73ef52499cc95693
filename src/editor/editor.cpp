// The editor's start-up, the palette board, the board commands with their
// history, and the rubber band. Files are in editor_files.cpp, the picture and
// the display palette in editor_picture.cpp, colour cycling in editor_cycle.cpp.
#include "editor/editor.h"

#include <algorithm>
#include <utility>

#include "board/moves.h"

namespace hw {

namespace {

// Design-time place and size of swatch 0, in twips.
constexpr SwatchRect kSwatch0{120.0f, 360.0f, 192.0f, 192.0f};
constexpr double kPitch = 1.1;
constexpr RGBTriple kStartColour{255, 170, 85};

// One coordinate of the board layout: cell (as a Single) times size times the
// pitch plus the origin, formed in double precision and stored as a Single.
float BoardCoordinate(int cell, float size, float origin) {
  return static_cast<float>(static_cast<double>(static_cast<float>(cell)) * size * kPitch +
                            origin);
}

bool OnBoard(int index) { return index >= 0 && index <= 255; }

}  // namespace

std::string NumberText(int64_t value) {
  if (value >= 0) return " " + std::to_string(value);
  return std::to_string(value);
}

Editor::Editor(EditorServices services, int palette_size)
    : svc_(services), display_(palette_size) {}

Editor::~Editor() {
  if (preparing_.joinable()) preparing_.join();
}

// ---- start-up -------------------------------------------------------------

void Editor::Start() {
  flipped_ = false;
  cycle_on_ = false;
  loaded_ = false;
  width_ = height_ = 0;
  if (preparing_.joinable()) preparing_.join();
  loaded_pixels_.clear();
  pixels_.clear();
  prepared_.clear();
  identity_ = true;
  loaded_counts_ = {};
  usage_ = {};

  for (int k = 0; k < 5; ++k) cycle_starts_[static_cast<size_t>(k)] = static_cast<int16_t>(5 * k);
  cycle_starts_[5] = 0;
  cycle_scheme_ = 0;
  ui_.ListSchemeIndex = 0;

  // The board rectangle from swatch 0 at its design place, then the swatches
  // column by column.
  const SwatchRect& b0 = kSwatch0;
  board_top_ = static_cast<float>(static_cast<double>(b0.Top) - 10);
  board_left_ = static_cast<float>(static_cast<double>(b0.Left) - 10);
  board_bottom_ = static_cast<float>(static_cast<double>(b0.Height) * 16 * kPitch + b0.Top + 20);
  board_right_ = static_cast<float>(static_cast<double>(b0.Width) * 16 * kPitch + b0.Left + 20);
  LayOutBoard();

  board_ = StartBoard(kStartColour);
  history_.Clear();
  // A display without a 256-entry palette shows true colours.
  ui_.CheckHW = display_.PaletteSize() == 256;
  RebuildDisplayPalette();
  if (auto* v = view()) {
    v->BoardChanged();
    v->ControlsChanged();
  }
}

void Editor::LayOutBoard() {
  int n = 0;
  for (int i = 0; i < 16; ++i) {
    for (int j = 0; j < 16; ++j) {
      // Column-major: position n = 16 i + j sits in column i, row j; flipped, in
      // row i, column j. Swatch 0 is in the corner either way.
      const int col = flipped_ ? j : i;
      const int row = flipped_ ? i : j;
      SwatchRect& r = swatch_rects_[static_cast<size_t>(n)];
      r.Width = kSwatch0.Width;
      r.Height = kSwatch0.Height;
      r.Left = BoardCoordinate(col, kSwatch0.Width, kSwatch0.Left);
      r.Top = BoardCoordinate(row, kSwatch0.Height, kSwatch0.Top);
      ++n;
    }
  }
}

// ---- board ------------------------------------------------------------------

void Editor::Flip() {
  flipped_ = !flipped_;
  ui_.LabelLL = flipped_ ? "240" : "15";
  ui_.LabelUR = flipped_ ? "15" : "240";
  LayOutBoard();
  if (auto* v = view()) {
    v->ControlsChanged();
    v->BoardChanged();
  }
}

void Editor::SetHardwareColours(bool on) {
  ui_.CheckHW = on;
  RebuildDisplayPalette();
  if (auto* v = view()) v->BoardChanged();
}

bool Editor::IsMarked(int index) const { return index == board_.prev || index == board_.cur; }

RGBTriple Editor::SwatchShownColour(int index) const {
  if (!OnBoard(index)) return RGBTriple{};
  if (ui_.CheckHW) {
    const LogicalPalette* realized = display_.Realized(SwatchSurface(index));
    if (realized != nullptr) {
      const PaletteEntry& e = (*realized)[static_cast<size_t>(index)];
      return RGBTriple{e.red, e.green, e.blue};
    }
  }
  return board_.entries[static_cast<size_t>(index)].rgb;
}

void Editor::ShowUsageLabel() {
  ui_.LabelHistCnt = NumberText(usage_[static_cast<size_t>(board_.cur)]);
}

void Editor::Select(int index) {
  if (!OnBoard(index)) return;
  const int old = board_.prev;
  board_.prev = board_.cur;
  board_.cur = static_cast<int16_t>(index);
  ShowUsageLabel();
  if (auto* v = view()) {
    v->ControlsChanged();
    v->SwatchChanged(old);
    v->SwatchChanged(index);
  }
}

void Editor::SetMarks(int prev, int cur) {
  if (!OnBoard(prev) || !OnBoard(cur)) return;
  BoardState next = board_;
  next.prev = static_cast<int16_t>(prev);
  next.cur = static_cast<int16_t>(cur);
  Apply(next, false);
}

// ---- the one path of every change -------------------------------------------

void Editor::Apply(const BoardState& next, bool record) {
  const BoardState before = board_;
  const bool map_changed = next.map != before.map;
  const bool entries_changed = next.entries != before.entries;
  // What can fail comes first: the buffer for the remapped pixels and the room
  // for the history's step. Until both are there nothing has changed, so a
  // command that runs out of memory leaves board, pixels and history as they were.
  std::vector<uint8_t>* remap_into = nullptr;
  if (map_changed && loaded_ && !IsIdentity(next.map)) remap_into = &RemapBuffer();
  if (record && (map_changed || entries_changed)) history_.Record(before, next);
  board_ = next;
  if (map_changed) Remap(remap_into);
  if (entries_changed) RebuildDisplayPalette();
  if (OnBoard(board_.cur)) ShowUsageLabel();
  if (auto* v = view()) {
    if (entries_changed) {
      v->BoardChanged();
    } else {
      for (int i : {int{before.prev}, int{before.cur}, int{board_.prev}, int{board_.cur}}) {
        v->SwatchChanged(i);
      }
    }
    v->ControlsChanged();
  }
}

void Editor::Drop(int target, int source) {
  if (!OnBoard(target) || !OnBoard(source)) return;
  if (target == source) {
    Select(target);
    return;
  }
  const std::optional<int16_t> count = ParseMoveCount(ui_.TextMoveCount);
  // A count that moves nothing is refused with the reason rather than ignored.
  if (!count || *count < 1 || *count > 256) {
    ui_.StatusText = "\"Move:\" takes a number of entries from 1 to 256.";
    if (auto* v = view()) v->ControlsChanged();
    return;
  }
  BoardState next = board_;
  if (!MoveRun(next, static_cast<int16_t>(target), static_cast<int16_t>(source), *count,
               Moving())) {
    return;
  }
  ui_.StatusText.clear();
  // Pairs past position 255 are skipped; the user hears how much of the run moved.
  const int moved = std::min({int{*count}, 256 - target, 256 - source});
  if (!ui_.CheckMoveIndex && !ui_.CheckMoveColor) {
    ui_.StatusText = "Neither \"Index\" nor \"Color\" is ticked: only the marks moved.";
  } else if (moved < *count) {
    ui_.StatusText = "Moved " + std::to_string(moved) + " of " + std::to_string(*count) +
                     ": the run reached the end of the board.";
  }
  Apply(next, true);
}

void Editor::ReverseRange() {
  BoardState next = board_;
  hw::ReverseRange(next, Moving());
  Apply(next, true);
}

void Editor::Sort(SortKey key, bool reverse) {
  BoardState next = board_;
  SortBoard(next, key, reverse, Moving(), usage_);
  Apply(next, true);
}

void Editor::Spread(SpreadKind kind) {
  BoardState next = board_;
  SpreadRange(next, kind);
  Apply(next, true);
}

void Editor::EditColour(int index, RGBTriple colour) {
  if (!OnBoard(index)) return;
  BoardState next = board_;
  next.entries[static_cast<size_t>(index)].rgb = colour;
  Apply(next, true);
}

// The history moves only once the board it names is shown.
void Editor::Undo() {
  if (std::optional<BoardState> back = history_.UndoTarget()) {
    Apply(*back, false);
    history_.UndoDone();
    if (auto* v = view()) v->ControlsChanged();
  }
}

void Editor::Redo() {
  if (std::optional<BoardState> again = history_.RedoTarget()) {
    Apply(*again, false);
    history_.RedoDone();
    if (auto* v = view()) v->ControlsChanged();
  }
}

// ---- rubber band --------------------------------------------------------------

void Editor::MouseDown(int button, float x, float y) {
  if ((button & 1) == 0) return;
  if (board_left_ < x && x < board_right_ && board_top_ < y && y < board_bottom_) {
    if (band_active_) {
      if (auto* v = view()) v->DrawBandBox(band_x0_, band_y0_, band_x1_, band_y1_);
    }
    band_x0_ = band_x1_ = x;
    band_y0_ = band_y1_ = y;
    band_active_ = true;
    if (auto* v = view()) v->DrawBandBox(x, y, x, y);
  }
}

void Editor::MouseMove(int button, float x, float y) {
  if ((button & 1) == 0 || !band_active_) return;
  int32_t xi = RoundHalfEven(x);
  int32_t yi = RoundHalfEven(y);
  if (static_cast<float>(xi) < board_left_) xi = RoundHalfEven(board_left_);
  if (static_cast<float>(xi) > board_right_) xi = RoundHalfEven(board_right_);
  if (static_cast<float>(yi) < board_top_) yi = RoundHalfEven(board_top_);
  if (static_cast<float>(yi) > board_bottom_) yi = RoundHalfEven(board_bottom_);
  const float nx = static_cast<float>(xi);
  const float ny = static_cast<float>(yi);
  if (auto* v = view()) {
    v->DrawBandBox(band_x0_, band_y0_, band_x1_, band_y1_);  // removes the old box
    v->DrawBandBox(band_x0_, band_y0_, nx, ny);
  }
  band_x1_ = nx;
  band_y1_ = ny;
}

void Editor::MouseUp(int button, float /*x*/, float /*y*/) {
  // Whatever other button is still held, releasing the left one ends the box.
  if ((button & 1) == 0 || !band_active_) return;
  band_active_ = false;
  if (auto* v = view()) v->DrawBandBox(band_x0_, band_y0_, band_x1_, band_y1_);
}

void Editor::ReportError(const std::string& message) {
  if (svc_.errors != nullptr) svc_.errors->ShowError(message);
}

}  // namespace hw
