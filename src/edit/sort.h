// Ordering the whole board by usage or by a colour key. Every exchange goes
// through SwapBlot, so the check boxes of "Move:" decide what moves.
#pragma once

#include <cstdint>

#include "app/core/editor_state.h"
#include "edit/board_ops.h"

namespace hw {

// Colour keys of SortOnColor.
inline constexpr int16_t kSortHueValue = 0;    // "Sort by HSV": H, then V, descending
inline constexpr int16_t kSortValueSat = 1;    // "Sort by brightness": V, then S, descending
inline constexpr int16_t kSortSaturation = 2;  // "Sort by Saturation": S, descending
inline constexpr int16_t kSortRedGreen = 3;    // "Sort by RGB": R, then G, ascending

// Most used first. Counts the usage per board position, then bubbles neighbours
// (strictly greater count moves up) until a sweep exchanges nothing, exchanging the
// counts along with the entries. Remaps, rebuilds the display palette and refreshes
// the picture. Returns the number of sweeps.
int SortOnHisto(EditorState& s, BoardOps& ops);

// By the colour key `sort`, read afresh from the swatch colours for every pair;
// "Reverse sort" inverts each decision. At most 257 sweeps. Remaps, rebuilds the
// display palette and refreshes the picture. Returns the number of sweeps.
int SortOnColor(EditorState& s, BoardOps& ops, const int16_t& sort);

// "Sort": the routine of the selected option.
void SortCommand(EditorState& s, BoardOps& ops);

}  // namespace hw
