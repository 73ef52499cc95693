// Where a panel (Colour Cycling, Banks) opens: beside the windows already on the
// screen, covering none of them.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

namespace hw {

// The top left of a panel's frame of `frame` size inside `screen`, clear of every
// rectangle in `avoid` (the main window first, then the picture window and the
// other panels, all frames) by `gap` pixels: the first free place right of,
// below, left of or above one of them, in that order. When no place is free, the
// one overlapping them least.
QPoint PlacePanel(QSize frame, const QRect& screen, const std::vector<QRect>& avoid, int gap = 12);

}  // namespace hw
