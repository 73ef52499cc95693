// Colour cycling: the cycle ranges as part of the board (each edit one step of
// the history), playing them through the display palette by the clock, and the
// hidden scheme preview with its scheme and speed. Playing never changes the
// board: only the shown colours move, and stopping shows the board's again.
#include <algorithm>
#include <chrono>

#include "cycle/cycle.h"
#include "editor/editor.h"

namespace hw {

namespace {

// Used only when the editor was given no random source: one generator for the
// whole program, never reseeded.
RandomSource& FallbackRandom() {
  static DefaultRandom random;
  return random;
}

bool Valid(const CycleRange& r) { return r.low <= r.high; }

}  // namespace

int64_t Editor::NowMicros() const {
  if (svc_.clock != nullptr) return svc_.clock->NowMicros();
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int Editor::CycleInterval() const {
  if (!PlayingRanges()) return cycle_interval_;
  const int64_t elapsed = NowMicros() - play_start_;
  const int64_t next = CycleNextStepAt(board_.cycles, elapsed);
  if (next < 0) return kFrameMillis;
  const int64_t wait = (next - elapsed + 999) / 1000;
  return static_cast<int>(std::clamp<int64_t>(wait, 1, kFrameMillis));
}

// ---- the ranges ----

bool Editor::ChangeCycles(const CycleRanges& next, const char* step) {
  BoardState state = board_;
  state.cycles = next;
  Apply(state, step);
  return true;
}

bool Editor::AddCycleRange(CycleRange range) {
  if (!Valid(range)) {
    message_ = "A cycle range needs LOW at or below HIGH.";
    if (auto* v = view()) v->StateChanged();
    return false;
  }
  CycleRanges next = board_.cycles;
  if (!next.push_back(range)) {
    message_ = "A picture holds at most " + std::to_string(kMaxCycleRanges) + " cycle ranges.";
    if (auto* v = view()) v->StateChanged();
    return false;
  }
  message_.clear();
  return ChangeCycles(next, "Add Cycle Range");
}

bool Editor::AddCycleRangeFromMarks(int rate, bool reverse) {
  const int r = std::clamp(rate, 0, kMaxCycleRate);
  return AddCycleRange(CycleRange{static_cast<uint8_t>(RangeLow(board_)),
                                  static_cast<uint8_t>(RangeHigh(board_)), static_cast<uint16_t>(r),
                                  reverse, true});
}

bool Editor::AddFiveBands() {
  const CycleRanges preset = FiveBandsPreset();
  CycleRanges next = board_.cycles;
  if (next.size() + preset.size() > kMaxCycleRanges) {
    message_ = "The five bands need five free places of the " + std::to_string(kMaxCycleRanges) +
               " cycle ranges.";
    if (auto* v = view()) v->StateChanged();
    return false;
  }
  for (const CycleRange& r : preset) next.push_back(r);
  message_.clear();
  return ChangeCycles(next, "Add Five Bands");
}

void Editor::RemoveCycleRange(int index) {
  if (index < 0 || static_cast<size_t>(index) >= board_.cycles.size()) return;
  CycleRanges next = board_.cycles;
  next.erase(static_cast<size_t>(index));
  ChangeCycles(next, "Remove Cycle Range");
}

void Editor::SetCycleRange(int index, CycleRange range) {
  if (index < 0 || static_cast<size_t>(index) >= board_.cycles.size() || !Valid(range)) return;
  if (board_.cycles[static_cast<size_t>(index)] == range) return;
  CycleRanges next = board_.cycles;
  next[static_cast<size_t>(index)] = range;
  ChangeCycles(next, "Change Cycle Range");
}

void Editor::ClearCycleRanges() {
  if (board_.cycles.empty()) return;
  ChangeCycles(CycleRanges{}, "Clear Cycle Ranges");
}

// ---- playing ----

void Editor::ShowCycleFrame(bool force) {
  if (!PlayingRanges()) return;
  const CycleSources sources = CycleSourcesAt(board_.cycles, NowMicros() - play_start_);
  if (!force && frame_shown_ && sources == shown_sources_) return;
  shown_sources_ = sources;
  frame_shown_ = true;
  LogicalPalette work{};
  for (size_t p = 0; p < 256; ++p) {
    const RGBTriple& c = board_.entries[sources[p]].rgb;
    work[p] = PaletteEntry{c.R, c.G, c.B, kEntryFlags};
  }
  display_.AnimatePalette(hpal_, 0, 256, work);
  if (auto* v = view()) {
    v->PicturePaletteChanged();
    v->BoardChanged();
  }
}

void Editor::PlayCycles() {
  if (cycle_on_) return;
  cycle_on_ = true;
  playing_ranges_ = true;
  play_start_ = NowMicros();
  frame_shown_ = false;
  ShowCycleFrame(true);
  if (auto* v = view()) {
    v->StateChanged();
    v->TimerChanged();
  }
}

void Editor::StopCycles() {
  if (!cycle_on_) return;
  cycle_on_ = false;
  playing_ranges_ = false;
  frame_shown_ = false;
  // Every surface shows the board's colours again, exactly.
  RebuildDisplayPalette();
  if (auto* v = view()) {
    v->BoardChanged();
    v->StateChanged();
    v->TimerChanged();
  }
}

void Editor::TogglePlay() {
  if (cycle_on_) {
    StopCycles();
  } else {
    PlayCycles();
  }
}

// ---- the hidden scheme preview ----

void Editor::ToggleCycling() {
  if (cycle_on_) {
    StopCycles();
    return;
  }
  // Scheme 0 rotated five bands of the display palette; it is the ranges now
  // (see FiveBandsPreset), so it plays them.
  if (cycle_scheme_ == kSchemeBackward) {
    PlayCycles();
    return;
  }
  cycle_on_ = true;
  playing_ranges_ = false;
  if (auto* v = view()) {
    v->StateChanged();
    v->TimerChanged();
  }
}

void Editor::SelectScheme(int index) {
  if (index < 0 || index >= kCycleSchemes) return;
  cycle_scheme_ = static_cast<int16_t>(index);
  if (auto* v = view()) v->StateChanged();
}

void Editor::SetCycleSpeed(int value) {
  cycle_interval_ = std::clamp(value, kCycleSpeedMin, kCycleSpeedMax);
  if (auto* v = view()) {
    v->StateChanged();
    v->TimerChanged();
  }
}

void Editor::CycleTick() {
  if (!cycle_on_) return;
  if (playing_ranges_) {
    ShowCycleFrame(false);
    return;
  }
  RandomSource& random = svc_.random != nullptr ? *svc_.random : FallbackRandom();
  // The step rewrites its key colours and band starts before every use, so they
  // need not outlive the tick.
  CycleTables tables;
  CycleStep(display_, hpal_, cycle_starts_, cycle_entries_, cycle_scheme_, random, tables);
  if (auto* v = view()) {
    v->PicturePaletteChanged();
    // Swatches that show display-palette references follow the animation.
    if (hardware_colours_) v->BoardChanged();
  }
}

}  // namespace hw
