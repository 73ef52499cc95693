#include "board/fit.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "colour/lab.h"

namespace hw {

namespace {

int64_t SquaredRgb(const RGBTriple& x, const RGBTriple& y) {
  const int64_t dr = int{x.R} - int{y.R};
  const int64_t dg = int{x.G} - int{y.G};
  const int64_t db = int{x.B} - int{y.B};
  return dr * dr + dg * dg + db * db;
}

// Which positions some as-loaded index goes to, and which of those some pixel uses.
struct Sources {
  std::array<bool, 256> referenced{};
  std::array<bool, 256> used{};
};

Sources SourcesOf(const IndexMap& map, std::span<const int64_t, 256> loaded_counts) {
  Sources s;
  for (size_t i = 0; i < 256; ++i) {
    s.referenced[map[i]] = true;
    if (loaded_counts[i] > 0) s.used[map[i]] = true;
  }
  return s;
}

// Whether pixels that the remap moves show a transparent entry (the pixels of a
// locked position stay where they are).
bool UsedTransparent(const BoardState& board, const Sources& s) {
  for (size_t p = 0; p < 256; ++p) {
    if (s.used[p] && board.entries[p].A == 0 && !board.locked.test(p)) return true;
  }
  return false;
}

// The entries a remap leaves on the board: the file's first `count` at their
// positions, opaque black past them, and the locked positions' own entries.
BoardEntries RemapEntries(const BoardState& board, const BoardEntries& file, int count) {
  BoardEntries entries{};
  for (size_t k = 0; k < 256; ++k) {
    if (board.locked.test(k)) {
      entries[k] = board.entries[k];
    } else if (k < static_cast<size_t>(count)) {
      // On a target the file's entries are snapped first: the pixels go to the
      // colours the board will show.
      entries[k] = OnBoardTarget(board, file[k]);
    }
  }
  return entries;
}

// The positions a remap may send pixels to: the file's and the locked ones.
std::vector<int> RemapTargets(const BoardState& board, int count) {
  std::vector<int> out;
  for (int k = 0; k < 256; ++k) {
    if (k < count || board.locked.test(static_cast<size_t>(k))) out.push_back(k);
  }
  return out;
}

int FirstTransparentOf(const BoardEntries& entries, const std::vector<int>& targets) {
  for (int k : targets) {
    if (entries[static_cast<size_t>(k)].A == 0) return k;
  }
  return -1;
}

// The best target so far: the least distance, then the least alpha difference,
// then the lowest position.
struct Best {
  double distance = 0;
  int alpha = 0;
  int position = -1;
  void Offer(double d, int a, int k) {
    if (position < 0 || d < distance ||
        (d == distance && (a < alpha || (a == alpha && k < position)))) {
      distance = d;
      alpha = a;
      position = k;
    }
  }
};

int AlphaDifference(const BoardEntry& x, const BoardEntry& y) { return std::abs(x.A - y.A); }

int NearestRgb(const BoardEntry& from, const BoardEntries& file,
               const std::vector<int>& candidates) {
  Best best;
  for (int k : candidates) {
    const BoardEntry& to = file[static_cast<size_t>(k)];
    best.Offer(static_cast<double>(SquaredRgb(from.rgb, to.rgb)), AlphaDifference(from, to), k);
  }
  return best.position;
}

// The perceptual search visits the candidates outwards from the source's
// lightness and stops on each side once the lightness difference alone rules
// the rest out: the difference is at least |L2 - L1| / SL, and SL, which grows
// with the mean lightness's distance from 50, is below 1.75 for every sRGB colour
// (1.747 at L = 0 or 100). Between those, a candidate is measured only when
// the difference's lower bound does not rule it out. The margins keep rounding
// from skipping a candidate that an exhaustive search would take.
class PerceptualSearch {
 public:
  PerceptualSearch(const BoardEntries& file, const std::vector<int>& candidates) : file_(file) {
    for (int k : candidates) sorted_.push_back({SrgbToLab(file[static_cast<size_t>(k)].rgb), k});
    std::sort(sorted_.begin(), sorted_.end(),
              [](const Target& x, const Target& y) { return x.lab.L < y.lab.L; });
  }

  int Nearest(const BoardEntry& from) const {
    const Lab lab = SrgbToLab(from.rgb);
    Best best;
    const auto visit = [&](size_t j) {
      const Target& t = sorted_[j];
      if (best.position >= 0 &&
          std::abs(t.lab.L - lab.L) > kMaxSl * best.distance * (1 + 1e-9) + 1e-9) {
        return false;
      }
      if (best.position < 0 ||
          Ciede2000LowerBound(lab, t.lab) <= best.distance * (1 + 1e-9) + kBoundSlack) {
        best.Offer(Ciede2000(lab, t.lab), AlphaDifference(from, file_[static_cast<size_t>(t.k)]),
                   t.k);
      }
      return true;
    };
    // The nearest by plain Lab distance first: usually the answer or close to
    // it, so the bounds rule out most of the rest.
    size_t guess = 0;
    double guess_distance = 0;
    for (size_t j = 0; j < sorted_.size(); ++j) {
      const Lab& t = sorted_[j].lab;
      const double d = (t.L - lab.L) * (t.L - lab.L) + (t.a - lab.a) * (t.a - lab.a) +
                       (t.b - lab.b) * (t.b - lab.b);
      if (j == 0 || d < guess_distance) guess = j, guess_distance = d;
    }
    if (!sorted_.empty()) {
      const Target& t = sorted_[guess];
      best.Offer(Ciede2000(lab, t.lab), AlphaDifference(from, file_[static_cast<size_t>(t.k)]),
                 t.k);
    }
    const size_t n = sorted_.size();
    size_t up = static_cast<size_t>(
        std::lower_bound(sorted_.begin(), sorted_.end(), lab.L,
                         [](const Target& t, double l) { return t.lab.L < l; }) -
        sorted_.begin());
    size_t down = up;  // the next one below is down - 1
    bool going_up = up < n;
    bool going_down = down > 0;
    while (going_up || going_down) {
      if (going_up) going_up = visit(up++) && up < n;
      if (going_down) going_down = visit(--down) && down > 0;
    }
    return best.position;
  }

 private:
  static constexpr double kMaxSl = 1.75;
  // Ciede2000LowerBound's rounding (its hue part subtracts nearly equal products).
  static constexpr double kBoundSlack = 1e-4;
  struct Target {
    Lab lab;
    int k = 0;
  };
  const BoardEntries& file_;
  std::vector<Target> sorted_;
};

int Clamp(int count) { return count < 1 ? 1 : count > 256 ? 256 : count; }

}  // namespace

bool RemapNeedsTransparent(const BoardState& board, const BoardEntries& file, int count,
                           std::span<const int64_t, 256> loaded_counts) {
  count = Clamp(count);
  return FirstTransparentOf(RemapEntries(board, file, count), RemapTargets(board, count)) < 0 &&
         UsedTransparent(board, SourcesOf(board.map, loaded_counts));
}

RemapRefusal RemapToPalette(BoardState& board, const BoardEntries& file, int count,
                            RemapOptions options, std::span<const int64_t, 256> loaded_counts,
                            const EntryNames* file_names) {
  const std::optional<int> transparent = options.transparent;
  count = Clamp(count);
  const Sources sources = SourcesOf(board.map, loaded_counts);
  BoardEntries entries = RemapEntries(board, file, count);
  const std::vector<int> targets = RemapTargets(board, count);

  int clear = FirstTransparentOf(entries, targets);
  if (clear < 0 && UsedTransparent(board, sources)) {
    if (!transparent) return RemapRefusal::NeedsTransparent;
    if (*transparent < 0 || *transparent >= count) return RemapRefusal::TransparentOutside;
    if (IsLocked(board, *transparent)) return RemapRefusal::TransparentLocked;
    clear = *transparent;
    entries[static_cast<size_t>(clear)].A = 0;
  }
  std::vector<int> opaque;
  for (int k : targets) {
    if (entries[static_cast<size_t>(k)].A > 0) opaque.push_back(k);
  }

  std::optional<PerceptualSearch> perceptual;
  if (options.metric == RemapMetric::Perceptual) perceptual.emplace(entries, opaque);
  std::array<uint8_t, 256> target{};
  for (size_t p = 0; p < 256; ++p) {
    if (!sources.referenced[p]) continue;
    if (board.locked.test(p)) {  // a locked position keeps its pixels
      target[p] = static_cast<uint8_t>(p);
      continue;
    }
    const BoardEntry& from = board.entries[p];
    if (from.A == 0 && clear >= 0) {
      target[p] = static_cast<uint8_t>(clear);
      continue;
    }
    if (opaque.empty()) {
      // Only an unused index can get here (a used one is refused); the
      // transparent position is as good as any.
      if (sources.used[p]) return RemapRefusal::NoOpaqueEntry;
      target[p] = static_cast<uint8_t>(clear);
      continue;
    }
    // Equal entries go to the same place: each colour is searched once.
    size_t twin = 0;
    while (twin < p &&
           !(sources.referenced[twin] && !board.locked.test(twin) && board.entries[twin] == from)) {
      ++twin;
    }
    if (twin < p) {
      target[p] = target[twin];
      continue;
    }
    target[p] = static_cast<uint8_t>(perceptual ? perceptual->Nearest(from)
                                                : NearestRgb(from, entries, opaque));
  }
  for (uint8_t& m : board.map) m = target[m];
  board.entries = entries;
  EntryNames names;
  for (size_t k = 0; k < 256; ++k) {
    if (board.locked.test(k)) {
      names[k] = board.names.At(k);
    } else if (file_names && k < static_cast<size_t>(count)) {
      names[k] = (*file_names)[k];
    }
  }
  board.names = BoardNames(&names);
  return RemapRefusal::None;
}

int MergeDuplicates(BoardState& board, const UsageCounts& usage) {
  std::array<uint8_t, 256> lowest{};
  int merged = 0;
  for (size_t p = 0; p < 256; ++p) {
    lowest[p] = static_cast<uint8_t>(p);
    if (board.locked.test(p)) continue;  // neither gives nor takes
    size_t q = 0;
    while (board.locked.test(q) || board.entries[q] != board.entries[p]) ++q;  // p at the latest
    lowest[p] = static_cast<uint8_t>(q);
    if (q != p && usage[p] > 0) ++merged;
  }
  for (uint8_t& m : board.map) m = lowest[m];
  return merged;
}

int CompactBoard(BoardState& board, const UsageCounts& usage) {
  // The unlocked positions are the slots, in order; locked ones stay put.
  const std::vector<int> slots = UnlockedPositions(board, 0, 255);
  std::array<uint8_t, 256> to{};
  for (size_t p = 0; p < 256; ++p) to[p] = static_cast<uint8_t>(p);
  size_t next = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int p : slots) {
      if ((usage[static_cast<size_t>(p)] > 0) == (pass == 0)) {
        to[static_cast<size_t>(p)] = static_cast<uint8_t>(slots[next++]);
      }
    }
  }
  BoardEntries entries{};
  for (size_t p = 0; p < 256; ++p) entries[to[p]] = board.entries[p];
  board.entries = entries;
  board.names.Permute(to);
  for (uint8_t& m : board.map) m = to[m];
  int used = 0;
  for (int p : slots) used += usage[static_cast<size_t>(p)] > 0;
  return used;
}

}  // namespace hw
