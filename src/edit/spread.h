// Filling the marked range of the board with a gradient between its end colours.
#pragma once

#include <cstdint>

#include "app/core/editor_state.h"
#include "edit/board_ops.h"

namespace hw {

// Range: lo and hi are the smaller and the larger of PrevIndex and CurIndex; the
// gradient runs from the swatch colour at lo to the one at hi. Each written
// position i gets the new swatch colour and the working-palette entry it shows,
// Pal(IndexMap(i)). The picture is not redrawn.

// "Spread RGB": linear in RGB over lo..hi, ends included (they keep their colours).
void RangeRGB(EditorState& s, BoardOps& ops);

// "Spread HSV" (direction > 0) and "Spread HSV Reverse" (direction <= 0): linear
// in HSV over the entries strictly between lo and hi; the ends are not written.
void RangeHSV(EditorState& s, BoardOps& ops, const int16_t& direction);

}  // namespace hw
