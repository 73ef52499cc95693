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
  // The board at its design size: its swatches' area (16 swatches of 192 twips
  // at a pitch of 1.1 from swatch 0 at 120, 360) with a margin.
  static constexpr float kDesignLeft = 110, kDesignTop = 350;
  static constexpr float kDesignRight = static_cast<float>(192.0 * 16 * 1.1 + 140);
  static constexpr float kDesignBottom = static_cast<float>(192.0 * 16 * 1.1 + 380);

  explicit RubberBand(Draw draw);
  // The board's rectangle, in twips: a press starts a box only strictly inside
  // it, and the box keeps to its edges.
  void SetBounds(float left, float top, float right, float bottom);

  // Button bits: 1 left, 2 right, 4 middle; points in twips on the surface.
  void Press(int buttons, float x, float y);   // the buttons held
  void Move(int buttons, float x, float y);    // the buttons held
  void Release(int button, float x, float y);  // the button released

 private:
  Draw draw_;
  // True from a left press inside the board until the left release.
  bool active_ = false;
  float x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  float left_ = kDesignLeft, top_ = kDesignTop;
  float right_ = kDesignRight, bottom_ = kDesignBottom;
};

}  // namespace hw
