// Sizes and places of the main window's controls are given in twips (a
// fifteenth of a device-independent pixel), as the board's own layout is.
#pragma once

#include <QRect>

namespace hw {

inline constexpr double kTwipsPerPixel = 15.0;

// A rectangle given in twips, in device-independent pixels.
QRect TwipsRect(double left, double top, double width, double height);

}  // namespace hw
