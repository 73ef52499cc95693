// Moving entries of the board: the pairwise exchange, runs of exchanges with the
// one-level undo, the drop of a swatch on another, and reversing the marked range.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "app/core/editor_state.h"
#include "edit/board_ops.h"

namespace hw {

// The move count typed in "Move:": the leading plain signed decimal number of the
// text (optional blanks, sign, digits, fraction), rounded half to even. Text with
// no leading number gives 0. A value outside the 16-bit signed range gives nullopt:
// such a count is refused and the command does nothing at all.
std::optional<int16_t> ParseMoveCount(std::string_view text);

// Exchanges one pair of board entries: IndexMap when "Index" is ticked, the swatch
// colours when "Color" is ticked. Repaints the swatches of the last move first, as
// every exchange does. A pair with an index outside 0..255 is skipped.
void SwapBlot(EditorState& s, BoardOps& ops, const int16_t& DstIndex, const int16_t& SrcIndex);

// Exchanges the pairs (DstIndex + i, SrcIndex + i), i < count, in the order that
// keeps two separate runs intact, records the undo, moves the marks to the source
// (PrevIndex) and the destination (CurIndex), then remaps the picture and rebuilds
// the display palette. DstIndex and SrcIndex are read through their references at
// each use, so the undo can pass LastSrc and LastDst themselves.
// Returns false, having changed nothing, when Src + count or Dst + count leaves the
// 16-bit signed range.
bool DoSwapBlot(EditorState& s, BoardOps& ops, int16_t& DstIndex, int16_t& SrcIndex,
                int16_t& count);

// A swatch dropped on another (or on itself, which selects it). The count comes
// from TextMoveCount; a refused count does nothing.
void DropBlot(EditorState& s, BoardOps& ops, int16_t target, int16_t source);

// "Undo": repeats the last move's pairs with the roles of source and destination
// exchanged, with the count as TextMoveCount now reads.
void UndoMove(EditorState& s, BoardOps& ops);

// "Reverse Range": reverses the entries between PrevIndex and CurIndex, both ends
// included; afterwards CurIndex is the lower end and PrevIndex the upper one.
void ReverseRange(EditorState& s, BoardOps& ops);

}  // namespace hw
