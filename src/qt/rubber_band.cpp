#include "qt/rubber_band.h"

#include <cmath>

namespace hw {

namespace {

float Rounded(float v) { return std::nearbyint(v); }  // half to even

}  // namespace

RubberBand::RubberBand(Draw draw) : draw_(std::move(draw)) {}

void RubberBand::SetBounds(float left, float top, float right, float bottom) {
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
}

void RubberBand::Press(int buttons, float x, float y) {
  if ((buttons & 1) == 0 || !(left_ < x && x < right_ && top_ < y && y < bottom_)) return;
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
  if (nx < left_) nx = Rounded(left_);
  if (nx > right_) nx = Rounded(right_);
  if (ny < top_) ny = Rounded(top_);
  if (ny > bottom_) ny = Rounded(bottom_);
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
