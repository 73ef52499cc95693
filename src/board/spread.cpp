#include "board/spread.h"

#include <array>

namespace hw {

namespace {

// The 24-bit gradient over lo..hi.
void Gradient(BoardState& board, SpreadKind kind, int16_t lo, int16_t hi) {
  const int16_t span = static_cast<int16_t>(hi - lo);
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

}  // namespace

int SpreadRange(BoardState& board, SpreadKind kind) {
  const int16_t lo = RangeLow(board);
  const int16_t hi = RangeHigh(board);
  if (lo < 0 || hi > 255 || hi - lo < 1) return 0;
  Gradient(board, kind, lo, hi);
  if (board.target.None()) return 0;
  // On a target every spread writes the whole range, both ends included: the ends
  // are snapped like the rest, the gradient having been computed from their 24-bit
  // colours, so an end off the lattice never survives a spread.
  std::array<RGBTriple, 256> gradient{};
  for (int i = lo; i <= hi; ++i) {
    const size_t p = static_cast<size_t>(i);
    gradient[p] = board.entries[p].rgb;
    if (!IsLocked(board, i)) {
      board.entries[p].rgb = SnapColour(board.target, gradient[p]);
    }
  }
  int coincide = 0;
  const auto same_as = [&](int i, int j) {
    const size_t a = static_cast<size_t>(i), b = static_cast<size_t>(j);
    return j >= lo && j <= hi && board.entries[a].rgb == board.entries[b].rgb &&
           gradient[a] != gradient[b];
  };
  for (int i = lo; i <= hi; ++i) coincide += same_as(i, i - 1) || same_as(i, i + 1);
  return coincide;
}

}  // namespace hw
