// Ordering the whole board by usage or by a colour key. Every exchange is an
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
};

// Neighbour-exchange sort over positions 0..255. `usage` is the usage of each
// position now (read only by the usage key). Either way round the usage sort
// keeps entries of equal usage in their order. "Reverse sort" inverts each
// decision of the colour keys, so neighbours with equal keys are exchanged in
// every sweep; colour sorts stop after 257 sweeps. Returns the number of sweeps.
int SortBoard(BoardState& board, SortKey key, bool reverse, MoveWhat what,
              const UsageCounts& usage);

}  // namespace hw
