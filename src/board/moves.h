// Moving entries of the board: runs of exchanges (a drop of one swatch on
// another) and reversing the marked range.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace hw {

// How many consecutive entries a drop moves: 1 to kMaxMoveCount, nothing else.
inline constexpr int kMaxMoveCount = 256;
inline bool IsMoveCount(int count) { return count >= 1 && count <= kMaxMoveCount; }

// What a drop of one swatch on another moves: a run of `count` entries, and which
// parts of them.
struct MoveOptions {
  int count = 1;
  MoveWhat what{};
};

// Exchanges the pairs (dst + i, src + i), i < count, in the order that keeps two
// separate runs intact (ascending when the destination run starts at or after the
// end of the source run, descending otherwise); pairs that leave the board are
// skipped. With "Color" ticked and two runs that do not overlap, a cycle range
// lying wholly in either run moves with it. Marks the source (prev) and the destination (cur).
// Returns false, having changed nothing, when src or dst is not a board position or src + count or
// dst + count leaves the 16-bit signed range.
bool MoveRun(BoardState& board, int16_t dst, int16_t src, int16_t count, MoveWhat what);

// Reverses the entries between the two marks, both ends included. With "Color"
// ticked a cycle range lying wholly inside is mirrored (LOW..HIGH becomes
// lo+hi-HIGH..lo+hi-LOW) and turns the other way round. Afterwards the
// current mark is the lower end and the previous one the upper end.
void ReverseRange(BoardState& board, MoveWhat what);

}  // namespace hw
