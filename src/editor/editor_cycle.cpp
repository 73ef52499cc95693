// The editor's colour-cycling controls: "Test"/"Stop", the scheme list, the speed
// scroll bar and the timer tick that runs one cycling step on the picture's
// display palette.
#include <algorithm>

#include "editor/editor.h"
#include "cycle/cycle.h"

namespace hw {

namespace {

// The scroll bar's range: its value is the timer interval in milliseconds.
constexpr int kSpeedMin = 1;
constexpr int kSpeedMax = 1000;

// Used only when the editor was given no random source: one generator for the
// whole program, never reseeded.
RandomSource& FallbackRandom() {
  static DefaultRandom random;
  return random;
}

}  // namespace

void Editor::ToggleCycling() {
  cycle_on_ = !cycle_on_;
  ui_.TimerEnabled = cycle_on_;
  ui_.ButtonTestCaption = cycle_on_ ? "Stop" : "Test";
  // The animation is a preview: stopping it shows the board's colours again on
  // every surface.
  if (!cycle_on_) RebuildDisplayPalette();
  if (auto* v = view()) {
    v->ControlsChanged();
    v->TimerChanged();
  }
}

void Editor::SelectScheme(int index) {
  // The list holds the three schemes; no other index can be selected.
  if (index < 0 || index >= static_cast<int>(kListSchemeItems.size())) return;
  ui_.ListSchemeIndex = index;
  cycle_scheme_ = static_cast<int16_t>(index);
  if (auto* v = view()) v->ControlsChanged();
}

void Editor::SetCycleSpeed(int value) {
  const int speed = std::clamp(value, kSpeedMin, kSpeedMax);
  ui_.HScrollSpeed = speed;
  ui_.TimerInterval = speed;
  if (auto* v = view()) {
    v->ControlsChanged();
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
    if (ui_.CheckHW) v->BoardChanged();
  }
}

}  // namespace hw
