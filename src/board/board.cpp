#include "board/board.h"

#include <numeric>
#include <utility>

namespace hw {

namespace {

bool OnBoard(int index) { return index >= 0 && index <= 255; }

}  // namespace

IndexMap IdentityMap() {
  IndexMap map{};
  std::iota(map.begin(), map.end(), uint8_t{0});
  return map;
}

bool IsIdentity(const IndexMap& map) { return map == IdentityMap(); }

BoardState StartBoard(const RGBTriple& colour) {
  BoardState b;
  b.map = IdentityMap();
  b.entries.fill(BoardEntry{colour, 255});
  return b;
}

Exchanger::Exchanger(BoardState& board, MoveWhat what) : board_(board), what_(what) {
  std::iota(to_.begin(), to_.end(), uint8_t{0});
  from_ = to_;
}

void Exchanger::Exchange(int a, int b) {
  if (!OnBoard(a) || !OnBoard(b) || a == b) return;
  if (what_.index) {
    // Whatever goes to a now goes to b, and back: compose (a b) after the
    // permutation gathered so far.
    const uint8_t pa = from_[static_cast<size_t>(a)];
    const uint8_t pb = from_[static_cast<size_t>(b)];
    to_[pa] = static_cast<uint8_t>(b);
    to_[pb] = static_cast<uint8_t>(a);
    std::swap(from_[static_cast<size_t>(a)], from_[static_cast<size_t>(b)]);
    pending_ = true;
  }
  if (what_.colour) {
    std::swap(board_.entries[static_cast<size_t>(a)], board_.entries[static_cast<size_t>(b)]);
  }
}

void Exchanger::Finish() {
  if (!pending_) return;
  for (uint8_t& m : board_.map) m = to_[m];
  std::iota(to_.begin(), to_.end(), uint8_t{0});
  from_ = to_;
  pending_ = false;
}

UsageCounts UsageByPosition(const IndexMap& map, std::span<const int64_t, 256> loaded_counts) {
  UsageCounts usage{};
  for (size_t p = 0; p < 256; ++p) usage[map[p]] += loaded_counts[p];
  return usage;
}

void ApplyPalette(BoardState& board, const BoardEntries& file, PaletteMerge merge) {
  const int lo = RangeLow(board);
  const int hi = RangeHigh(board);
  for (int i = 0; i < 256; ++i) {
    const bool inside = i >= lo && i <= hi;
    const bool take = merge == PaletteMerge::All ||
                      (merge == PaletteMerge::ReplaceRange ? inside : !inside);
    if (take) board.entries[static_cast<size_t>(i)] = file[static_cast<size_t>(i)];
  }
}

}  // namespace hw
