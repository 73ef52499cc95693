#include "qt/rubber_band.h"

#include <cmath>

namespace hw {

namespace {

// The board's rectangle on the surface, in twips: the swatches' area (16 swatches
// of 192 twips at a pitch of 1.1 from swatch 0 at 120, 360) with a margin.
constexpr float kLeft = 120.0f - 10;
constexpr float kTop = 360.0f - 10;
constexpr float kRight = static_cast<float>(192.0 * 16 * 1.1 + 120 + 20);
constexpr float kBottom = static_cast<float>(192.0 * 16 * 1.1 + 360 + 20);

float Rounded(float v) { return std::nearbyint(v); }  // half to even

}  // namespace

RubberBand::RubberBand(Draw draw) : draw_(std::move(draw)) {}

void RubberBand::Press(int buttons, float x, float y) {
  if ((buttons & 1) == 0 || !(kLeft < x && x < kRight && kTop < y && y < kBottom)) return;
  if (active_) draw_(x0_, y0_, x1_, y1_);  // the old box goes first
  x0_ = x1_ = x;
  y0_ = y1_ = y;
  active_ = true;
  draw_(x, y, x, y);
}

void RubberBand::Move(int buttons, float x, float y) {
  if ((buttons & 1) == 0 || !active_) return;
  // Whole twips, kept on the board's edges.
  float nx = Rounded(x), ny = Rounded(y);
  if (nx < kLeft) nx = Rounded(kLeft);
  if (nx > kRight) nx = Rounded(kRight);
  if (ny < kTop) ny = Rounded(kTop);
  if (ny > kBottom) ny = Rounded(kBottom);
  draw_(x0_, y0_, x1_, y1_);  // removes the old box
  draw_(x0_, y0_, nx, ny);
  x1_ = nx;
  y1_ = ny;
}

void RubberBand::Release(int button, float, float) {
  // Whatever other button is still held, releasing the left one ends the box.
  if ((button & 1) == 0 || !active_) return;
  active_ = false;
  draw_(x0_, y0_, x1_, y1_);
}

}  // namespace hw
