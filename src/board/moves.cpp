#include "board/moves.h"

namespace hw {

namespace {

bool OnBoard(int index) { return index >= 0 && index <= 255; }
bool FitsInt16(int32_t value) { return value >= INT16_MIN && value <= INT16_MAX; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<int16_t> ParseMoveCount(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The whole part saturates just past the 16-bit range, so any length of digits
  // is safe and still refused.
  constexpr int64_t kSaturated = 100000;
  int64_t whole = 0;
  bool any_digit = false;
  for (; i < n && IsDigit(text[i]); ++i) {
    any_digit = true;
    if (whole <= kSaturated) whole = whole * 10 + (text[i] - '0');
  }
  if (i < n && text[i] == '.' && i + 1 < n && IsDigit(text[i + 1])) {
    any_digit = true;
    const char first = text[i + 1];
    bool more = false;  // any non-zero digit after the first one
    for (i += 2; i < n && IsDigit(text[i]); ++i) more = more || text[i] != '0';
    // Decided on the digits themselves: exact, no binary fraction involved.
    if (first > '5' || (first == '5' && more) || (first == '5' && whole % 2 == 1)) ++whole;
  }
  if (!any_digit) return int16_t{0};
  const int64_t value = negative ? -whole : whole;
  if (value < INT16_MIN || value > INT16_MAX) return std::nullopt;
  return static_cast<int16_t>(value);
}

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
