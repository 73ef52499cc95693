#include "board/moves.h"

namespace hw {

namespace {

bool OnBoard(int index) { return index >= 0 && index <= 255; }
bool FitsInt16(int32_t value) { return value >= INT16_MIN && value <= INT16_MAX; }

}  // namespace

bool MoveRun(BoardState& board, int16_t dst, int16_t src, int16_t count, MoveWhat what) {
  if (!OnBoard(src) || !OnBoard(dst)) return false;
  if (!FitsInt16(int32_t{src} + count) || !FitsInt16(int32_t{dst} + count)) return false;
  {
    Exchanger ex(board, what);
    if (int32_t{src} + count <= dst) {
      for (int32_t i = 0; i < count; ++i) ex.Exchange(dst + i, src + i);
    } else {
      for (int32_t i = int32_t{count} - 1; i >= 0; --i) ex.Exchange(dst + i, src + i);
    }
  }
  board.cur = dst;
  board.prev = src;
  return true;
}

void ReverseRange(BoardState& board, MoveWhat what) {
  const int16_t lo = RangeLow(board);
  const int16_t hi = RangeHigh(board);
  if (!OnBoard(lo) || !OnBoard(hi)) return;
  {
    Exchanger ex(board, what);
    for (int i = 0; i <= (hi - lo) / 2; ++i) ex.Exchange(lo + i, hi - i);
  }
  board.cur = lo;
  board.prev = hi;
}

}  // namespace hw
