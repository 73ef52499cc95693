// Ordering the board, or a stretch of it, by usage or by a colour key. Every exchange is an
// exchange of positions under the "Move:" boxes; the keys are computed once at
// the start and travel with the entries whatever the boxes move, so every sort
// ends.
#pragma once

#include "board/board.h"

namespace hw {

// The sort keys, in the order of the sort options.
enum class SortKey {
  Usage,       // "Sort by usage": most used first; reversed, least used first
  Brightness,  // "Sort by brightness": V, then S, descending
  Hue,         // "Sort by HSV": H, then V, descending
  Saturation,  // "Sort by Saturation": S, descending
  RedGreen,    // "Sort by RGB": R, then G, ascending
  Lightness,   // "Sort by lightness": CIELAB L*, then HSV hue, ascending
};

// The stretch of the board a sort orders, ends included.
struct SortRange {
  int low = 0;
  int high = 255;
};

// Neighbour-exchange sort over the unlocked positions of `range`, taken in order
// as if they were adjacent (locked positions keep their entries and pixels).
// `usage` is the usage of each position now (read only by the usage key). Either
// way round the usage and lightness sorts keep entries of equal keys in their
// order (reversed, lightness runs lightest first). "Reverse sort" inverts each
// decision of the other colour keys, so neighbours with equal keys are exchanged
// in every sweep; those sorts stop after 257 sweeps. Returns the number of sweeps.
int SortBoard(BoardState& board, SortKey key, bool reverse, MoveWhat what, const UsageCounts& usage,
              SortRange range = {});

}  // namespace hw
