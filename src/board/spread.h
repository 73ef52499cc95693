// Filling the marked range of the board with a gradient between its end colours.
#pragma once

#include "board/board.h"

namespace hw {

enum class SpreadKind {
  Rgb,         // "Spread RGB": linear in RGB over lo..hi, ends included
  Hsv,         // "Spread HSV": linear in HSV strictly between lo and hi
  HsvReverse,  // "Spread HSV Reverse": the same, the hue running the other way round
};

// The gradient runs from the colour at the lower mark to the one at the upper
// mark. Each position written keeps its opacity; locked positions are skipped. On
// a target the 24-bit gradient is computed as without one (from the ends' own,
// unsnapped colours), then every unlocked position of the range, the two ends
// included and whatever the kind, is snapped; returns how many entries of the range the snapping
// made equal to a neighbour in the range that the gradient had kept apart (0 without a target).
int SpreadRange(BoardState& board, SpreadKind kind);

}  // namespace hw
