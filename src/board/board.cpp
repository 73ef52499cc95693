#include "board/board.h"

#include <algorithm>
#include <cstdlib>
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

BoardNames::BoardNames(const EntryNames* names) {
  if (names == nullptr) return;
  for (const std::string& n : *names) {
    if (!n.empty()) {
      list_ = std::make_shared<const EntryNames>(*names);
      return;
    }
  }
}

const std::string& BoardNames::At(size_t p) const {
  static const std::string kNone;
  return list_ && p < 256 ? (*list_)[p] : kNone;
}

void BoardNames::Set(size_t p, const std::string& name) {
  if (p >= 256 || At(p) == name) return;
  EntryNames next = list_ ? *list_ : EntryNames{};
  next[p] = name;
  *this = BoardNames(&next);
}

void BoardNames::Permute(const std::array<uint8_t, 256>& to) {
  if (!list_) return;
  auto next = std::make_shared<EntryNames>();
  for (size_t p = 0; p < 256; ++p) (*next)[to[p]] = (*list_)[p];
  list_ = std::move(next);
}

bool operator==(const BoardNames& a, const BoardNames& b) {
  if (a.list_ == b.list_) return true;
  if (!a.list_ || !b.list_) return false;
  return *a.list_ == *b.list_;
}

Exchanger::Exchanger(BoardState& board, MoveWhat what) : board_(board), what_(what) {
  std::iota(to_.begin(), to_.end(), uint8_t{0});
  from_ = to_;
  name_to_ = to_;
  name_from_ = to_;
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
    if (!board_.names.None()) {
      const uint8_t na = name_from_[static_cast<size_t>(a)];
      const uint8_t nb = name_from_[static_cast<size_t>(b)];
      name_to_[na] = static_cast<uint8_t>(b);
      name_to_[nb] = static_cast<uint8_t>(a);
      std::swap(name_from_[static_cast<size_t>(a)], name_from_[static_cast<size_t>(b)]);
      names_pending_ = true;
    }
  }
}

void Exchanger::Finish() {
  if (names_pending_) {
    board_.names.Permute(name_to_);
    std::iota(name_to_.begin(), name_to_.end(), uint8_t{0});
    name_from_ = name_to_;
    names_pending_ = false;
  }
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

int ApplyPalette(BoardState& board, const BoardEntries& file, int count, PaletteMerge merge,
                 const EntryNames* file_names) {
  count = count < 1 ? 1 : count > 256 ? 256 : count;
  const int lo = RangeLow(board);
  const int hi = RangeHigh(board);
  EntryNames names;
  for (size_t p = 0; p < 256; ++p) names[p] = board.names.At(p);
  int taken = 0;
  const auto put = [&](int position, int k) {
    if (IsLocked(board, position)) return;
    ++taken;
    board.entries[static_cast<size_t>(position)] =
        OnBoardTarget(board, file[static_cast<size_t>(k)]);
    names[static_cast<size_t>(position)] =
        file_names ? (*file_names)[static_cast<size_t>(k)] : std::string();
  };
  const auto done = [&] {
    board.names = BoardNames(&names);
    return taken;
  };
  if (merge == PaletteMerge::All) {
    for (int k = 0; k < 256; ++k) put(k, k);
    return done();
  }
  if (merge == PaletteMerge::ReplaceRange && count < 256) {
    for (int k = 0; k < count && lo + k <= hi; ++k) put(lo + k, k);
    return done();
  }
  const int reach = count < 256 ? count : 256;
  for (int k = 0; k < reach; ++k) {
    const bool inside = k >= lo && k <= hi;
    if (inside == (merge == PaletteMerge::ReplaceRange)) put(k, k);
  }
  return done();
}

std::vector<int> UnlockedPositions(const BoardState& b, int low, int high) {
  std::vector<int> out;
  for (int p = low < 0 ? 0 : low; p <= (high > 255 ? 255 : high); ++p) {
    if (!b.locked.test(static_cast<size_t>(p))) out.push_back(p);
  }
  return out;
}

int ChangedLockedPosition(const BoardState& before, const BoardState& after) {
  for (size_t p = 0; p < 256; ++p) {
    if (!before.locked.test(p)) continue;
    bool same = before.entries[p] == after.entries[p] && before.names.At(p) == after.names.At(p);
    for (size_t i = 0; same && i < 256; ++i) {
      same = (before.map[i] == p) == (after.map[i] == p);
    }
    if (!same) return static_cast<int>(p);
  }
  return -1;
}

SnapReport SnapAll(BoardState& board) {
  SnapReport report;
  if (board.target.None()) return report;
  for (int p = 0; p < 256; ++p) {
    if (IsLocked(board, p)) continue;
    RGBTriple& c = board.entries[static_cast<size_t>(p)].rgb;
    const RGBTriple snapped = SnapColour(board.target, c);
    if (snapped == c) continue;
    ++report.changed;
    for (auto [from, to] : {std::pair{c.R, snapped.R}, {c.G, snapped.G}, {c.B, snapped.B}}) {
      report.largest = std::max(report.largest, std::abs(int{from} - int{to}));
    }
    c = snapped;
  }
  return report;
}

}  // namespace hw
