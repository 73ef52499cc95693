// Colour cycling as a preview: starting and stopping it, its scheme and speed,
// and the timer tick that runs one cycling step on the picture's display palette.
#include <algorithm>

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

}  // namespace

void Editor::ToggleCycling() {
  cycle_on_ = !cycle_on_;
  // The animation is a preview: stopping it shows the board's colours again on
  // every surface.
  if (!cycle_on_) RebuildDisplayPalette();
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
