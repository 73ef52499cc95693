// The rubber band on the board surface: a box from the point of a left press
// strictly inside the board's rectangle to the pointer, kept on the board's
// edges, drawn in exclusive-or fashion (drawing a box twice removes it) and gone
// when the left button is released.
#pragma once

#include <functional>

namespace hw {

class RubberBand {
 public:
  // Toggles a box between two corners, in twips.
  using Draw = std::function<void(float x0, float y0, float x1, float y1)>;
  explicit RubberBand(Draw draw);

  // Button bits: 1 left, 2 right, 4 middle; points in twips on the surface.
  void Press(int buttons, float x, float y);   // the buttons held
  void Move(int buttons, float x, float y);    // the buttons held
  void Release(int button, float x, float y);  // the button released

 private:
  Draw draw_;
  // True from a left press inside the board until the left release.
  bool active_ = false;
  float x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
};

}  // namespace hw
