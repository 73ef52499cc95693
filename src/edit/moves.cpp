#include "edit/moves.h"

#include <utility>

#include "colour/colour.h"

namespace hw {
namespace {

bool OnBoard(int index) { return index >= 0 && index <= 255; }

bool FitsInt16(int32_t value) { return value >= INT16_MIN && value <= INT16_MAX; }

void RepaintIfOnBoard(BoardOps& ops, int index) {
  if (OnBoard(index)) ops.RepaintSwatch(index);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Passes everything through except the follow-up of a change of entries, which the
// caller runs once itself when all exchanges are done. Nothing reads the pixels or
// the display palette in between, so the result is the same as running it per call.
class DeferredFollowUp final : public BoardOps {
 public:
  explicit DeferredFollowUp(BoardOps& inner) : inner_(inner) {}
  void RepaintSwatch(int index) override { inner_.RepaintSwatch(index); }
  void RemapPicture() override {}
  void RealizeNewPalette() override {}
  void RefreshPicture() override { inner_.RefreshPicture(); }
  void ShowUsage(int16_t index) override { inner_.ShowUsage(index); }
  void ComputeHisto() override { inner_.ComputeHisto(); }

 private:
  BoardOps& inner_;
};

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

void SwapBlot(EditorState& s, BoardOps& ops, const int16_t& DstIndex, const int16_t& SrcIndex) {
  if (!OnBoard(DstIndex) || !OnBoard(SrcIndex)) return;
  RepaintIfOnBoard(ops, s.LastSrc);
  if (s.LastDst != s.LastSrc) RepaintIfOnBoard(ops, s.LastDst);
  const int dst = DstIndex;
  const int src = SrcIndex;
  if (s.ui.CheckMoveIndex == 1) std::swap(s.IndexMap[src], s.IndexMap[dst]);
  if (s.ui.CheckMoveColor == 1) {
    const PackedColour saved = s.BlotColour[dst];
    s.BlotColour[dst] = s.BlotColour[src];
    s.BlotColour[src] = saved;
    ops.RepaintSwatch(dst);
    if (src != dst) ops.RepaintSwatch(src);
  }
}

bool DoSwapBlot(EditorState& s, BoardOps& ops, int16_t& DstIndex, int16_t& SrcIndex,
                int16_t& count) {
  const int16_t Src = SrcIndex;
  const int16_t Dst = DstIndex;
  const int16_t n = count;
  // Both ends must be board entries, and the ends of both runs must be 16-bit
  // values; otherwise nothing at all happens (no exchange, no undo record, no mark).
  if (!OnBoard(Src) || !OnBoard(Dst)) return false;
  if (!FitsInt16(int32_t{Src} + n) || !FitsInt16(int32_t{Dst} + n)) return false;

  if (int32_t{Src} + n <= Dst) {
    for (int16_t i = 0; i < n; ++i) {
      const int16_t d = static_cast<int16_t>(DstIndex + i);
      const int16_t src = static_cast<int16_t>(SrcIndex + i);
      SwapBlot(s, ops, d, src);
    }
  } else {
    for (int32_t i = int32_t{n} - 1; i >= 0; --i) {
      const int16_t d = static_cast<int16_t>(DstIndex + i);
      const int16_t src = static_cast<int16_t>(SrcIndex + i);
      SwapBlot(s, ops, d, src);
    }
  }

  // The undo record, read through the references: when they are LastSrc and
  // LastDst themselves, both end up holding the old LastDst.
  s.LastSrc = SrcIndex;
  s.LastDst = DstIndex;

  const int16_t old_cur = s.CurIndex;
  s.CurIndex = Dst;
  RepaintIfOnBoard(ops, old_cur);
  const int16_t old_prev = s.PrevIndex;
  s.PrevIndex = Src;
  RepaintIfOnBoard(ops, old_prev);
  // Draw the new marks (also for a count of 0 or less, so the marks show where they are).
  ops.RepaintSwatch(Dst);
  if (Src != Dst) ops.RepaintSwatch(Src);

  ops.RemapPicture();
  ops.RealizeNewPalette();
  return true;
}

void DropBlot(EditorState& s, BoardOps& ops, int16_t target, int16_t source) {
  if (target == source) {
    ops.ShowUsage(target);
    return;
  }
  const std::optional<int16_t> parsed = ParseMoveCount(s.ui.TextMoveCount);
  if (!parsed) return;
  int16_t dst = target;
  int16_t src = source;
  int16_t count = *parsed;
  if (!DoSwapBlot(s, ops, dst, src, count)) return;
  if (s.PicLoaded != kFalse) ops.RefreshPicture();
}

void UndoMove(EditorState& s, BoardOps& ops) {
  const std::optional<int16_t> parsed = ParseMoveCount(s.ui.TextMoveCount);
  if (!parsed) return;
  int16_t count = *parsed;
  if (!DoSwapBlot(s, ops, s.LastSrc, s.LastDst, count)) return;
  if (s.PicLoaded != kFalse) ops.RefreshPicture();
}

void ReverseRange(EditorState& s, BoardOps& ops) {
  const int16_t lo = MinOf(s.CurIndex, s.PrevIndex);
  const int16_t hi = MaxOf(s.CurIndex, s.PrevIndex);
  if (!OnBoard(lo) || !OnBoard(hi)) return;
  const int half = (hi - lo) / 2;
  {
    // One remap and one palette rebuild at the end instead of one per pair: the
    // picture may be large, and the pairs are all exchanged before anyone looks.
    DeferredFollowUp per_pair(ops);
    for (int i = 0; i <= half; ++i) {
      int16_t dst = static_cast<int16_t>(lo + i);
      int16_t src = static_cast<int16_t>(hi - i);
      int16_t one = 1;
      DoSwapBlot(s, per_pair, dst, src, one);
    }
  }
  const int16_t old_cur = s.CurIndex;
  const int16_t old_prev = s.PrevIndex;
  s.CurIndex = lo;
  s.PrevIndex = hi;
  ops.RepaintSwatch(lo);
  ops.RepaintSwatch(hi);
  RepaintIfOnBoard(ops, old_cur);
  RepaintIfOnBoard(ops, old_prev);
  ops.RemapPicture();
  ops.RealizeNewPalette();
}

}  // namespace hw
