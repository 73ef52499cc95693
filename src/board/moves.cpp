#include "board/moves.h"

#include <algorithm>

namespace hw {

namespace {

bool OnBoard(int index) { return index >= 0 && index <= 255; }
bool FitsInt16(int32_t value) { return value >= INT16_MIN && value <= INT16_MAX; }

// Both ends, so that a range stored with LOW above HIGH stays on the board too.
bool Inside(const CycleRange& r, int first, int last) {
  return std::min(r.low, r.high) >= first && std::max(r.low, r.high) <= last;
}

// Ranges lying wholly in one of two separate runs of `n` positions go with their
// colours to the other run.
void CarryRanges(CycleRanges& cycles, int a, int b, int n) {
  if (n <= 0 || (a < b + n && b < a + n)) return;
  for (CycleRange& r : cycles) {
    int shift = 0;
    if (Inside(r, a, a + n - 1)) {
      shift = b - a;
    } else if (Inside(r, b, b + n - 1)) {
      shift = a - b;
    }
    r.low = static_cast<uint8_t>(r.low + shift);
    r.high = static_cast<uint8_t>(r.high + shift);
  }
}

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
  if (what.colour) {
    const int moved = std::min({int{count}, 256 - int{src}, 256 - int{dst}});
    CarryRanges(board.cycles, src, dst, moved);
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
  if (what.colour) {
    for (CycleRange& r : board.cycles) {
      if (!Inside(r, lo, hi)) continue;
      const int low = lo + hi - r.high;
      r.high = static_cast<uint8_t>(lo + hi - r.low);
      r.low = static_cast<uint8_t>(low);
      r.reverse = !r.reverse;
    }
  }
  board.cur = lo;
  board.prev = hi;
}

}  // namespace hw
