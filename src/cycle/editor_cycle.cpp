// The editor's colour-cycling controls: "Test"/"Stop", the scheme list, the speed
// scroll bar and the timer tick that runs one cycling step on the picture's
// display palette.
#include <algorithm>

#include "app/core/editor.h"
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

void Editor::ButtonTest_Click() {
  if (s_.CycleOn != kFalse) {
    s_.CycleOn = kFalse;
    s_.ui.TimerEnabled = false;
    s_.ui.ButtonTestCaption = "Test";
  } else {
    s_.CycleOn = kTrue;
    s_.ui.TimerEnabled = true;
    s_.ui.ButtonTestCaption = "Stop";
  }
  if (auto* v = view()) {
    v->ControlsChanged();
    v->TimerChanged();
  }
}

void Editor::ListScheme_Click(int index) {
  // The list holds the three schemes; no other index can be selected.
  if (index < 0 || index >= static_cast<int>(kListSchemeItems.size())) return;
  s_.ui.ListSchemeIndex = index;
  s_.CycleScheme = static_cast<int16_t>(index);
  if (auto* v = view()) v->ControlsChanged();
}

void Editor::HScrollSpeed_Change(int value) {
  const int speed = std::clamp(value, kSpeedMin, kSpeedMax);
  s_.ui.HScrollSpeed = speed;
  s_.ui.TimerInterval = speed;
  if (auto* v = view()) {
    v->ControlsChanged();
    v->TimerChanged();
  }
}

void Editor::TimerColor_Timer() {
  RandomSource& random = svc_.random != nullptr ? *svc_.random : FallbackRandom();
  // The step rewrites its key colours and band starts before every use, so they
  // need not outlive the tick.
  CycleTables tables;
  CycleStep(display_, s_.HPal, s_.CycleStarts, s_.CycleEntries, s_.CycleScheme, random, tables);
  if (auto* v = view()) {
    v->PicturePaletteChanged();
    // Swatches that show display-palette references follow the animation.
    if (s_.ui.CheckHW == 1) v->BoardChanged();
  }
}

}  // namespace hw
