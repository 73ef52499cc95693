// The checkerboard shown under colours that are not fully opaque, on the board
// and in the picture window alike.
#pragma once

#include <QRect>

class QPainter;

namespace hw {

// Fills `area` with light and dark grey squares of `square` pixels, aligned to
// the painter's origin so that neighbouring areas continue one pattern.
void FillChecker(QPainter& painter, const QRect& area, int square = 4);

}  // namespace hw
