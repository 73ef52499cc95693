// Remap to a palette, Merge Duplicates, Compact and Reduce against plain models:
// an exhaustive search of every file entry, the colour every index shows, and the
// reduction's error measured again pixel by pixel.
#include "board/fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "board/reduce.h"
#include "colour/lab.h"

namespace hw {
namespace {

using Counts = std::array<int64_t, 256>;

// Colours on a coarse grid, so boards and files repeat colours and RGB distances tie
// (a board colour halfway between two grid steps is as far from either).
struct Random {
  std::mt19937 gen;
  explicit Random(uint32_t seed) : gen(seed) {}
  int Below(int n) { return static_cast<int>(gen() % static_cast<uint32_t>(n)); }
  uint8_t Level(int step) { return static_cast<uint8_t>(Below(256 / step) * step); }
  BoardEntry Entry(int step, int transparent_in) {
    const uint8_t alphas[] = {255, 255, 128, 254, 1};
    const uint8_t a = Below(transparent_in) == 0 ? 0 : alphas[Below(5)];
    return {{Level(step), Level(step), Level(step)}, a};
  }
};

// Where the model sends a board colour: the transparent position for alpha 0 (when
// there is one), else the least (distance, alpha difference, position) over the
// entries below `count` with alpha above 0, computed for every entry.
int ModelTarget(const BoardEntry& from, const BoardEntries& file, int count, RemapMetric metric,
                int clear) {
  if (from.A == 0 && clear >= 0) return clear;
  std::tuple<double, int, int> best{1e300, 0, -1};
  for (int k = 0; k < count; ++k) {
    const BoardEntry& to = file[static_cast<size_t>(k)];
    if (to.A == 0 || k == clear) continue;
    double d = 0;
    if (metric == RemapMetric::Rgb) {
      for (int c = 0; c < 3; ++c) {
        const int diff = (&from.rgb.R)[c] - (&to.rgb.R)[c];
        d += diff * diff;
      }
    } else {
      d = Ciede2000(SrgbToLab(from.rgb), SrgbToLab(to.rgb));
    }
    best = std::min(best, std::make_tuple(d, std::abs(from.A - to.A), k));
  }
  return std::get<2>(best) >= 0 ? std::get<2>(best) : clear;
}

TEST(RemapToPalette, EveryIndexGoesWhereAnExhaustiveSearchSendsIt) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    Random r(seed);
    const RemapMetric metric = seed % 2 ? RemapMetric::Rgb : RemapMetric::Perceptual;
    BoardState board = StartBoard({});
    Counts counts{};
    for (size_t i = 0; i < 256; ++i) {
      board.map[i] = static_cast<uint8_t>(r.Below(256));  // merges and unused positions
      board.entries[i] = r.Entry(32, 6);
      counts[i] = r.Below(3) == 0 ? 0 : r.Below(1000);
    }
    board.cur = static_cast<int16_t>(r.Below(256));
    const int count = seed % 5 == 0 ? 256 : 1 + r.Below(seed % 3 ? 40 : 256);
    BoardEntries file{};
    for (int k = 0; k < count; ++k) file[static_cast<size_t>(k)] = r.Entry(64, seed % 4 ? 9 : 1000);
    for (int k = count; k < 256; ++k) file[static_cast<size_t>(k)] = r.Entry(64, 2);  // not read

    int clear = -1;
    for (int k = count - 1; k >= 0; --k) clear = file[static_cast<size_t>(k)].A == 0 ? k : clear;
    bool used_clear = false;
    for (size_t i = 0; i < 256; ++i)
      used_clear |= counts[i] > 0 && board.entries[board.map[i]].A == 0;
    RemapOptions options{metric, std::nullopt};
    BoardState next = board;
    if (clear < 0 && used_clear) {
      ASSERT_TRUE(RemapNeedsTransparent(board, file, count, counts));
      EXPECT_EQ(RemapToPalette(next, file, count, options, counts), RemapRefusal::NeedsTransparent);
      options.transparent = count;
      EXPECT_EQ(RemapToPalette(next, file, count, options, counts),
                RemapRefusal::TransparentOutside);
      EXPECT_EQ(next, board);  // refused: nothing changed
      options.transparent = clear = r.Below(count);
    } else {
      ASSERT_FALSE(RemapNeedsTransparent(board, file, count, counts));
      options.transparent = r.Below(count);  // not needed: ignored
    }
    BoardEntries want = file;
    for (int k = count; k < 256; ++k) want[static_cast<size_t>(k)] = BoardEntry{};
    if (clear >= 0) want[static_cast<size_t>(clear)].A = 0;
    bool opaque_left = false;
    for (int k = 0; k < count; ++k) opaque_left |= want[static_cast<size_t>(k)].A > 0;
    bool used_opaque = false;
    for (size_t i = 0; i < 256; ++i)
      used_opaque |= counts[i] > 0 && board.entries[board.map[i]].A > 0;
    if (!opaque_left && used_opaque) {
      EXPECT_EQ(RemapToPalette(next, file, count, options, counts), RemapRefusal::NoOpaqueEntry);
      EXPECT_EQ(next, board);
      continue;
    }
    ASSERT_EQ(RemapToPalette(next, file, count, options, counts), RemapRefusal::None) << seed;
    EXPECT_EQ(next.entries, want) << seed;
    for (size_t i = 0; i < 256; ++i) {
      const BoardEntry& from = board.entries[board.map[i]];
      ASSERT_EQ(next.map[i], ModelTarget(from, want, count, metric, clear))
          << "seed " << seed << " index " << i;
    }
    EXPECT_EQ(next.cur, board.cur);
  }
}

TEST(RemapToPalette, TiesGoToTheCloserAlphaThenTheLowerPosition) {
  BoardState board = StartBoard({});
  board.entries[0] = {{100, 100, 100}, 200};
  board.entries[1] = {{30, 30, 30}, 255};
  BoardEntries file{};
  file[0] = {{90, 100, 100}, 255};   // 10 away, alpha 55 away
  file[1] = {{110, 100, 100}, 180};  // 10 away, alpha 20 away
  file[2] = {{100, 110, 100}, 220};  // 10 away, alpha 20 away, higher
  file[3] = {{30, 30, 30}, 0};       // transparent: never a colour's target
  file[4] = {{30, 30, 30}, 7};
  file[5] = {{30, 30, 30}, 9};
  Counts counts{};
  counts.fill(1);
  for (RemapMetric metric : {RemapMetric::Rgb, RemapMetric::Perceptual}) {
    BoardState next = board;
    ASSERT_EQ(RemapToPalette(next, file, 6, {metric, std::nullopt}, counts), RemapRefusal::None);
    if (metric == RemapMetric::Rgb) {
      EXPECT_EQ(next.map[0], 1);
    }
    EXPECT_EQ(next.map[1], 5);  // equal colours: 5 and 4 tie, 5's alpha is closer
  }
}

// What each used as-loaded index shows.
std::vector<BoardEntry> Shown(const BoardState& b, const UsageCounts& counts) {
  std::vector<BoardEntry> out;
  for (size_t i = 0; i < 256; ++i) {
    if (counts[i] > 0) out.push_back(b.entries[b.map[i]]);
  }
  return out;
}

TEST(MergeAndCompact, EveryPixelKeepsItsColourAndAlpha) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    Random r(seed);
    BoardState board = StartBoard({});
    UsageCounts counts{};
    for (size_t i = 0; i < 256; ++i) {
      board.map[i] = static_cast<uint8_t>(r.Below(256));
      board.entries[i] = r.Entry(128, 4);  // few colours: many twins
      counts[i] = r.Below(4) == 0 ? 0 : 1 + r.Below(50);
    }
    const UsageCounts usage = UsageByPosition(board.map, counts);

    BoardState merged = board;
    MergeDuplicates(merged, usage);
    EXPECT_EQ(merged.entries, board.entries);
    EXPECT_EQ(Shown(merged, counts), Shown(board, counts));
    for (uint8_t p : merged.map) {
      for (size_t q = 0; q < p; ++q) ASSERT_NE(merged.entries[q], merged.entries[p]) << seed;
    }

    BoardState compact = board;
    const int used = CompactBoard(compact, usage);
    EXPECT_EQ(Shown(compact, counts), Shown(board, counts));
    const UsageCounts after = UsageByPosition(compact.map, counts);
    std::vector<BoardEntry> in_order_used, in_order_unused, now_used, now_unused;
    for (size_t p = 0; p < 256; ++p) {
      (usage[p] > 0 ? in_order_used : in_order_unused).push_back(board.entries[p]);
      (after[p] > 0 ? now_used : now_unused).push_back(compact.entries[p]);
      EXPECT_EQ(after[p] > 0, static_cast<int>(p) < used) << seed;
    }
    EXPECT_EQ(now_used, in_order_used);
    EXPECT_EQ(now_unused, in_order_unused);
  }
}

// Locks in the cases random boards almost never make, each against what the rule
// says by hand.
TEST(Locks, MergeAndRemapLeaveLockedPositionsAndTheirPixels) {
  // A group of twins whose lowest member is locked: the others' pixels go to the
  // lowest unlocked member; the locked one keeps its own.
  BoardState board = StartBoard({});
  for (size_t p = 0; p < 256; ++p) board.entries[p] = {{uint8_t(p), 1, 2}, 255};
  for (int p : {2, 5, 9}) board.entries[static_cast<size_t>(p)] = {{40, 80, 120}, 255};
  board.locked.set(2);
  UsageCounts usage{};
  usage.fill(1);
  BoardState merged = board;
  EXPECT_EQ(MergeDuplicates(merged, usage), 1);
  EXPECT_EQ(std::tuple(merged.map[2], merged.map[5], merged.map[9]), std::tuple(2, 5, 5));

  // A locked position whose own colour's nearest file entry is elsewhere: its
  // pixels stay; an unlocked twin of it may go to it (the exact match).
  board = StartBoard({});
  board.entries[3] = {{200, 0, 0}, 255};
  board.entries[8] = {{200, 0, 0}, 255};
  board.locked.set(3);
  BoardEntries file{};
  for (auto& e : file) e = {{0, 0, 255}, 255};
  file[7] = {{201, 0, 0}, 255};
  Counts counts{};
  counts.fill(1);
  BoardState next = board;
  ASSERT_EQ(RemapToPalette(next, file, 16, {}, counts), RemapRefusal::None);
  EXPECT_EQ(std::tuple(next.map[3], next.map[8], next.entries[3], next.entries[7]),
            std::tuple(3, 3, board.entries[3], file[7]));
}

// Transparent pixels go to the lowest position that holds a fully transparent entry
// after the remap: a file's transparent entry at an unlocked position, or a locked
// position's own transparent entry. A file's transparent entry at a locked position
// is dropped with the rest of that entry. Only when there is none is `transparent`
// read, and a locked position there is refused.
TEST(Locks, TransparentPixelsGoToTheLowestTransparentPositionAfterTheRemap) {
  struct Case {
    std::vector<int> file_clear, locked, locked_clear;  // positions
    std::optional<int> transparent;
    RemapRefusal refusal;
    int goes_to;
  };
  const Case cases[] = {
      {{6, 9}, {}, {}, std::nullopt, RemapRefusal::None, 6},             // the file's first
      {{6}, {6}, {}, std::nullopt, RemapRefusal::NeedsTransparent, -1},  // dropped: none left
      {{6}, {6}, {}, 4, RemapRefusal::None, 4},                          // so it is named
      {{6}, {6, 11}, {11}, std::nullopt, RemapRefusal::None, 11},        // a locked clear one
      {{6}, {2}, {2}, std::nullopt, RemapRefusal::None, 2},              // lower than the file's
      {{6}, {12}, {12}, std::nullopt, RemapRefusal::None, 6},            // higher than the file's
      {{}, {5}, {}, 5, RemapRefusal::TransparentLocked, -1},             // named but locked
      {{}, {}, {}, 20, RemapRefusal::TransparentOutside, -1},
  };
  for (size_t c = 0; c < std::size(cases); ++c) {
    const Case& k = cases[c];
    BoardState board = StartBoard({});
    for (size_t p = 0; p < 256; ++p) board.entries[p] = {{uint8_t(p), 10, 10}, 255};
    board.entries[30].A = 0;  // the picture's transparent pixels
    for (int p : k.locked) board.locked.set(static_cast<size_t>(p));
    for (int p : k.locked_clear) board.entries[static_cast<size_t>(p)].A = 0;
    BoardEntries file{};
    for (size_t p = 0; p < 16; ++p) file[p] = {{uint8_t(p), 10, 10}, 255};
    for (int p : k.file_clear) file[static_cast<size_t>(p)].A = 0;
    Counts counts{};
    counts.fill(1);
    BoardState next = board;
    EXPECT_EQ(RemapToPalette(next, file, 16, {RemapMetric::Rgb, k.transparent}, counts), k.refusal)
        << "case " << c;
    if (k.refusal != RemapRefusal::None) {
      EXPECT_EQ(next, board) << "case " << c;
      continue;
    }
    EXPECT_EQ(next.map[30], k.goes_to) << "case " << c;
    EXPECT_EQ(next.entries[static_cast<size_t>(k.goes_to)].A, 0) << "case " << c;
    for (int p : k.locked) {
      EXPECT_EQ(std::tuple(next.map[static_cast<size_t>(p)], next.entries[static_cast<size_t>(p)]),
                std::tuple(p, board.entries[static_cast<size_t>(p)]))
          << "case " << c;
    }
  }
}

// Reduce's measure of a pixel against its new colour, from reduce.h's words.
double Measure(const RGBTriple& x, const RGBTriple& y) {
  const double dr = x.R - y.R, dg = x.G - y.G, db = x.B - y.B;
  return Ciede2000(SrgbToLab(x), SrgbToLab(y)) + kReduceRgbWeight * (dr * dr + dg * dg + db * db);
}

// Three opacities: the free colours go where they lower the whole sum most, each
// level keeping one at least, as a search over every split of them finds.
TEST(ReduceColours, FreeColoursAreSharedAmongOpacitiesForTheLeastSum) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    Random r(seed);
    BoardState board = StartBoard({});
    Counts counts{};
    const uint8_t alphas[] = {255, 60, 200};
    std::vector<ReducePoint> level_points[3];
    for (size_t i = 0; i < 30; ++i) {
      const int level = i < 18 ? 0 : i < 25 ? 1 : 2;
      board.entries[i] = {{r.Level(1), r.Level(1), r.Level(1)}, alphas[level]};
      counts[i] = 1 + r.Below(seed % 2 ? 10 : 1000);
      level_points[level].push_back({board.entries[i].rgb, double(counts[i])});
    }
    const int n = 4 + static_cast<int>(seed);
    double best = 1e300;
    for (int a = 1; a <= n - 2; ++a) {
      for (int b = 1; a + b <= n - 1; ++b) {
        const int c = n - a - b;
        best = std::min(best, FitColours(level_points[0], a).cost +
                                  FitColours(level_points[1], b).cost +
                                  FitColours(level_points[2], c).cost);
      }
    }
    BoardState next = board;
    const ReduceResult result = ReduceColours(next, n, counts);
    ASSERT_EQ(result.refusal, ReduceRefusal::None);
    double seen = 0, sum = 0, difference = 0;
    for (size_t i = 0; i < 30; ++i) {
      const BoardEntry& was = board.entries[i];
      const BoardEntry& now = next.entries[next.map[i]];
      EXPECT_EQ(now.A, was.A);
      seen += double(counts[i]);
      sum += double(counts[i]) * Measure(was.rgb, now.rgb);
      difference += double(counts[i]) * Ciede2000(SrgbToLab(was.rgb), SrgbToLab(now.rgb));
    }
    EXPECT_NEAR(sum, best, 1e-6 * std::max(1.0, best)) << seed;
    EXPECT_NEAR(result.mean, difference / seen, 1e-9);
    EXPECT_LE(result.used_after, n);
  }
}

// Reduce, checked from the outside: at most N positions used; locked and fully
// transparent entries and their pixels untouched; every other used index shows a
// new colour that sits at the lowest position of the entries that went to it and
// is the nearest of its level's new colours by the measure; the mean and largest
// CIEDE2000 agree with the pixels; other entries keep their colours. Also the
// search does no worse than the plainest answer, the N - kept most used colours
// kept.
TEST(ReduceColours, ResultsHoldAndTheErrorIsWhatThePixelsShow) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    Random r(seed);
    BoardState board = StartBoard({});
    Counts counts{};
    for (size_t i = 0; i < 256; ++i) {
      board.map[i] = static_cast<uint8_t>(r.Below(256));
      const RGBTriple rgb = {r.Level(seed % 3 ? 1 : 32), r.Level(1), r.Level(4)};
      // Some seeds with a second and third opacity.
      const uint8_t alpha = r.Below(12) == 0                   ? 0
                            : seed % 4 == 0 && r.Below(3) == 0 ? 128
                            : seed % 8 == 0 && r.Below(4) == 0 ? 7
                                                               : 255;
      board.entries[i] = {rgb, alpha};
      counts[i] = r.Below(4) == 0 ? 0 : 1 + r.Below(seed % 2 ? 50 : 100000);
    }
    for (int k = 0; k < 3; ++k) board.locked.set(static_cast<size_t>(r.Below(256)));
    const UsageCounts usage = UsageByPosition(board.map, counts);
    int kept = 0, used = 0;
    std::set<int> levels;  // the opacities that must each keep a colour
    for (size_t p = 0; p < 256; ++p) {
      used += usage[p] > 0;
      kept += usage[p] > 0 && (board.locked.test(p) || board.entries[p].A == 0);
      if (usage[p] > 0 && !board.locked.test(p) && board.entries[p].A > 0) {
        levels.insert(board.entries[p].A);
      }
    }
    const int least = kept + static_cast<int>(levels.size());
    const int n = seed % 7 == 0 ? std::max(1, least - 1) : least + r.Below(40);
    BoardState next = board;
    const ReduceResult result = ReduceColours(next, n, counts);
    if (n < least && used > n) {
      EXPECT_EQ(std::tuple(result.refusal, result.least, result.levels),
                std::tuple(ReduceRefusal::TooFew, least, static_cast<int>(levels.size())))
          << seed;
      EXPECT_EQ(next, board);
      continue;
    }
    ASSERT_EQ(result.refusal, ReduceRefusal::None) << seed;
    const UsageCounts after = UsageByPosition(next.map, counts);
    std::vector<size_t> results;  // positions that took a new colour
    for (size_t p = 0; p < 256; ++p) {
      if (after[p] > 0 && !board.locked.test(p) && board.entries[p].A > 0) results.push_back(p);
    }
    int used_after = 0;
    for (size_t p = 0; p < 256; ++p) used_after += after[p] > 0;
    EXPECT_LE(used_after, n);
    EXPECT_EQ(used_after, result.used_after);
    double sum = 0, seen = 0, largest = 0, measured = 0;
    for (size_t i = 0; i < 256; ++i) {
      const size_t from = board.map[i], to = next.map[i];
      if (board.locked.test(from) || board.entries[from].A == 0) {
        EXPECT_EQ(to, from) << seed;  // kept, with its pixels
        if (counts[i] > 0 && board.entries[from].A > 0) seen += static_cast<double>(counts[i]);
        continue;
      }
      if (counts[i] == 0) continue;
      EXPECT_LE(to, from) << seed;  // the lowest of those it replaces
      EXPECT_FALSE(board.locked.test(to)) << seed;
      ASSERT_EQ(next.entries[to].A, board.entries[from].A) << seed;  // opacity never changes
      const RGBTriple was = board.entries[from].rgb;
      const double m = Measure(was, next.entries[to].rgb);
      for (size_t q : results) {
        if (next.entries[q].A != next.entries[to].A) continue;  // another level's colour
        ASSERT_LE(m, Measure(was, next.entries[q].rgb) + 1e-12) << seed;
      }
      const double d = Ciede2000(SrgbToLab(was), SrgbToLab(next.entries[to].rgb));
      sum += static_cast<double>(counts[i]) * d;
      measured += static_cast<double>(counts[i]) * m;
      seen += static_cast<double>(counts[i]);
      largest = std::max(largest, d);
    }
    EXPECT_NEAR(result.mean, seen > 0 ? sum / seen : 0, 1e-9) << seed;
    EXPECT_NEAR(result.largest, largest, 1e-9) << seed;
    for (size_t p = 0; p < 256; ++p) {
      if (std::find(results.begin(), results.end(), p) == results.end()) {
        EXPECT_EQ(next.entries[p], board.entries[p]) << seed << " position " << p;
      } else {
        EXPECT_EQ(next.entries[p].A, board.entries[p].A) << seed;
      }
    }
    // The most used colours kept, the rest sent to the one of least measure.
    if (levels.size() > 1) continue;
    std::vector<std::pair<int64_t, size_t>> by_use;
    for (size_t p = 0; p < 256; ++p) {
      if (usage[p] > 0 && !board.locked.test(p) && board.entries[p].A > 0) {
        by_use.push_back({-usage[p], p});
      }
    }
    std::sort(by_use.begin(), by_use.end());
    by_use.resize(std::min(by_use.size(), static_cast<size_t>(n - kept)));
    double plain = 0;
    for (size_t p = 0; p < 256; ++p) {
      if (usage[p] == 0 || board.locked.test(p) || board.entries[p].A == 0) continue;
      double best = 1e300;
      for (const auto& [u, q] : by_use) {
        best = std::min(best, Measure(board.entries[p].rgb, board.entries[q].rgb));
      }
      plain += static_cast<double>(usage[p]) * best;
    }
    EXPECT_LE(measured, plain + 1e-6) << seed;
  }
}

}  // namespace
}  // namespace hw
