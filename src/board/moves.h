// Moving entries of the board: runs of exchanges (a drop of one swatch on
// another) and reversing the marked range.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "board/board.h"

namespace hw {

// The move count typed in "Move:": the leading plain signed decimal number of the
// text (optional blanks, sign, digits, fraction), rounded half to even. Text with
// no leading number gives 0. A value outside the 16-bit signed range gives nullopt:
// such a count is refused and the command does nothing at all.
std::optional<int16_t> ParseMoveCount(std::string_view text);

// Exchanges the pairs (dst + i, src + i), i < count, in the order that keeps two
// separate runs intact (ascending when the destination run starts at or after the
// end of the source run, descending otherwise); pairs that leave the board are
// skipped. Marks the source (prev) and the destination (cur). Returns false,
// having changed nothing, when src or dst is not a board position or src + count
// or dst + count leaves the 16-bit signed range.
bool MoveRun(BoardState& board, int16_t dst, int16_t src, int16_t count, MoveWhat what);

// Reverses the entries between the two marks, both ends included; afterwards the
// current mark is the lower end and the previous one the upper end.
void ReverseRange(BoardState& board, MoveWhat what);

}  // namespace hw
