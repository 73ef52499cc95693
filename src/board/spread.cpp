#include "board/spread.h"

namespace hw {

void SpreadRange(BoardState& board, SpreadKind kind) {
  const int16_t lo = RangeLow(board);
  const int16_t hi = RangeHigh(board);
  if (lo < 0 || hi > 255) return;
  const int16_t span = static_cast<int16_t>(hi - lo);
  if (span < 1) return;
  const RGBTriple from = board.entries[static_cast<size_t>(lo)].rgb;
  const RGBTriple to = board.entries[static_cast<size_t>(hi)].rgb;

  if (kind == SpreadKind::Rgb) {
    for (int i = lo; i <= hi; ++i) {
      if (IsLocked(board, i)) continue;
      BlendRGB(from, to, board.entries[static_cast<size_t>(i)].rgb, static_cast<int16_t>(i - lo),
               span);
    }
    return;
  }
  const int16_t direction = kind == SpreadKind::Hsv ? 1 : -1;
  HSVTriple from_hsv, to_hsv;
  RGBToHSV(from, from_hsv);
  RGBToHSV(to, to_hsv);
  for (int i = lo + 1; i <= hi - 1; ++i) {
    if (IsLocked(board, i)) continue;
    HSVTriple hsv;
    BlendHSV(from_hsv, to_hsv, hsv, static_cast<int16_t>(i - lo), span, direction);
    HSVToRGB(hsv, board.entries[static_cast<size_t>(i)].rgb);
  }
}

}  // namespace hw
