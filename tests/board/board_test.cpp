// The palette model and its commands: exchanges against a one-at-a-time model,
// usage by position, palette merges, runs of moves under every choice of boxes,
// reversal, sorts, spreads, hardware targets and the undo history.
#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "board/fit.h"
#include "board/history.h"
#include "board/moves.h"
#include "board/sort.h"
#include "board/spread.h"
#include "colour/lab.h"

namespace hw {
namespace {

// The identity map, entry k coloured (k, 255 - k, 7) so its red names it, both
// marks on 0.
BoardState Recognisable() {
  BoardState b = StartBoard({});
  for (int k = 0; k < 256; ++k) b.entries[size_t(k)].rgb = {uint8_t(k), uint8_t(255 - k), 7};
  return b;
}

std::vector<int> Reds(const BoardState& b, int first = 0, int n = 256) {
  std::vector<int> out;
  for (int k = first; k < first + n; ++k) out.push_back(b.entries[static_cast<size_t>(k)].rgb.R);
  return out;
}

// What each as-loaded index shows: the entry at the position the map sends it to.
std::vector<RGBTriple> Looks(const BoardState& b) {
  std::vector<RGBTriple> out;
  for (uint8_t p : b.map) out.push_back(b.entries[p].rgb);
  return out;
}

// Exchanges applied one at a time, the plain way: every map value a becomes b and
// back, and the two entries swap.
void ExchangeNaively(BoardState& b, int x, int y, MoveWhat what) {
  if (x < 0 || x > 255 || y < 0 || y > 255 || x == y) return;
  for (uint8_t& m : b.map) m = !what.index ? m : m == x ? uint8_t(y) : m == y ? uint8_t(x) : m;
  if (what.colour) std::swap(b.entries[size_t(x)], b.entries[size_t(y)]);
}

TEST(Exchanger, GatheredRelabellingEqualsTheExchangesOneByOne) {
  std::mt19937 gen(11);
  for (MoveWhat what : {MoveWhat{true, true}, MoveWhat{true, false}, MoveWhat{false, true}}) {
    BoardState start = Recognisable();
    for (size_t p = 0; p < 256; ++p) start.map[p] = static_cast<uint8_t>(p * 7 % 200);  // merges
    BoardState gathered = start, naive = start;
    {
      Exchanger ex(gathered, what);
      for (int step = 0; step < 600; ++step) {
        // Pairs reach off the board at both ends and sometimes repeat a position.
        const int x = static_cast<int>(gen() % 262) - 3, y = static_cast<int>(gen() % 262) - 3;
        ex.Exchange(x, y);
        ExchangeNaively(naive, x, y, what);
        if (step == 300) {
          ex.Finish();  // finishing part way and going on composes the same way
          ASSERT_EQ(gathered, naive);
        }
      }
    }  // the rest is applied on destruction
    EXPECT_EQ(gathered, naive) << what.index << what.colour;
  }
}

TEST(UsageByPosition, CountsFollowTheMapIncludingMerges) {
  IndexMap map = IdentityMap();
  map[1] = map[7] = 0;  // as-loaded 0, 1 and 7 all go to position 0
  std::array<int64_t, 256> loaded{};
  std::iota(loaded.begin(), loaded.end(), int64_t{1});
  UsageCounts usage = UsageByPosition(map, loaded);
  EXPECT_EQ(std::tuple(usage[0], usage[1], usage[7], usage[5]), std::tuple(1 + 2 + 8, 0, 0, 6));
  EXPECT_EQ(std::accumulate(usage.begin(), usage.end(), int64_t{0}), 256 * 257 / 2);

  BoardState b = StartBoard({});
  b.map = map;
  Exchanger(b, MoveWhat{true, false}).Exchange(0, 5);  // the merged counts move to 5
  usage = UsageByPosition(b.map, loaded);
  EXPECT_EQ(std::tuple(usage[0], usage[1], usage[5]), std::tuple(6, 0, 11));
}

TEST(ApplyPalette, FullFilesGoByPositionShortFilesFillTheRangeFromItsLowEnd) {
  struct Span {
    int position, entry, count;  // positions position.. take entries entry..
  };
  const struct {
    int count;
    int16_t prev, cur;
    PaletteMerge merge;
    std::vector<Span> taken;
  } cases[] = {{256, 20, 10, PaletteMerge::ReplaceRange, {{10, 10, 11}}},
               {256, 10, 20, PaletteMerge::ProtectRange, {{0, 0, 10}, {21, 21, 235}}},
               {256, 30, 40, PaletteMerge::All, {{0, 0, 256}}},
               {256, 255, 255, PaletteMerge::ProtectRange, {{0, 0, 255}}},
               {16, 47, 32, PaletteMerge::ReplaceRange, {{32, 0, 16}}},
               {16, 32, 40, PaletteMerge::ReplaceRange, {{32, 0, 9}}},  // the range is the shorter
               {1, 255, 255, PaletteMerge::ReplaceRange, {{255, 0, 1}}},
               {16, 32, 47, PaletteMerge::ProtectRange, {{0, 0, 16}}},
               {16, 8, 47, PaletteMerge::ProtectRange, {{0, 0, 8}}},
               {16, 0, 3, PaletteMerge::ProtectRange, {{4, 4, 12}}},
               {16, 3, 4, PaletteMerge::All, {{0, 0, 256}}}};  // a whole load: black past the file
  for (const auto& c : cases) {
    BoardEntries file{};
    for (size_t k = 0; k < 256; ++k) file[k] = {{uint8_t(k < size_t(c.count) ? k : 0), 1, 2}, 255};
    BoardState b = StartBoard({9, 9, 9});
    b.entries[12].A = 0;
    std::swap(b.map[14], b.map[15]);
    b.prev = c.prev, b.cur = c.cur;
    const BoardState before = b;
    BoardEntries want = before.entries;
    int placed = 0;
    for (const Span& s : c.taken) {
      for (int i = 0; i < s.count; ++i) want[size_t(s.position + i)] = file[size_t(s.entry + i)];
      placed += s.count;
    }
    EXPECT_EQ(ApplyPalette(b, file, c.count, c.merge), placed) << c.count << " " << c.prev;
    EXPECT_EQ(std::tie(b.entries, b.map, b.prev, b.cur),
              std::tie(want, before.map, before.prev, before.cur))
        << c.count << " " << c.prev << ".." << c.cur;
  }
}

using V = std::vector<int>;
using Changes = std::vector<std::pair<int, V>>;  // runs of entries from a position

constexpr MoveWhat kBoth{true, true}, kIndex{true, false}, kColour{false, true},
    kNeither{false, false};

// The identity order with `changes` written over it.
V Order(const Changes& changes) {
  V want(256);
  std::iota(want.begin(), want.end(), 0);
  for (const auto& [first, run] : changes) std::copy(run.begin(), run.end(), want.begin() + first);
  return want;
}

V Descending() {
  V all = Order({});
  std::reverse(all.begin(), all.end());
  return all;
}

// With both boxes ticked the entries move and the picture keeps its look; each box
// alone moves only its half of the same result; neither moves only the marks.
TEST(MoveRun, RunsOfExchangesUnderEachChoiceOfBoxes) {
  const struct {
    int16_t dst, src, count;
    Changes after;
  } cases[] = {
      // clang-format off
      {20, 10, 3, {{10, {20, 21, 22}}, {20, {10, 11, 12}}}},
      {13, 10, 3, {{10, {13, 14, 15, 10, 11, 12}}}},           // A..F -> D E F A B C
      {12, 10, 5, {{10, {16, 15, 10, 11, 12, 13, 14}}}},       // A..G -> G F A B C D E
      {10, 12, 5, {{10, {16, 15, 10, 11, 12, 13, 14}}}},
      {0, 250, 10, {{0, {250, 251, 252, 253, 254, 255}}, {250, {0, 1, 2, 3, 4, 5}}}},  // clipped
      {20, 10, 0, {}}, {20, 10, -3, {}},
      // clang-format on
  };
  const BoardState start = Recognisable();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.src) + " on " + std::to_string(c.dst) + " x" +
                 std::to_string(c.count));
    BoardState both = start, index = start, colour = start, neither = start;
    for (auto [board, what] :
         {std::pair{&both, kBoth}, {&index, kIndex}, {&colour, kColour}, {&neither, kNeither}})
      ASSERT_TRUE(MoveRun(*board, c.dst, c.src, c.count, what));
    EXPECT_EQ(std::tuple(Reds(both), Looks(both), both.prev, both.cur),
              std::tuple(Order(c.after), Looks(start), c.src, c.dst));
    EXPECT_EQ(std::tie(index.map, index.entries, colour.map, colour.entries),
              std::tie(both.map, start.entries, start.map, both.entries));
    EXPECT_EQ(std::tie(neither.map, neither.entries, neither.prev, neither.cur),
              std::tie(start.map, start.entries, both.prev, both.cur));
  }
}

TEST(MoveRun, RefusedRunsChangeNothing) {
  BoardState b = Recognisable();
  b.prev = 4, b.cur = 3;
  const BoardState before = b;
  const std::tuple<int16_t, int16_t, int16_t> refused[] = {
      {20, 10, 32767}, {10, 20, 32760}, {20, 256, 1}, {-1, 10, 1}, {20, -5, 3}};
  for (const auto& [dst, src, count] : refused) {
    EXPECT_FALSE(MoveRun(b, dst, src, count, kBoth)) << dst << " " << src << " " << count;
    EXPECT_EQ(b, before);
  }
  EXPECT_TRUE(MoveRun(b, 20, 10, 32500, kBoth));  // only just fits: taken, clipped to the board
  EXPECT_EQ(Reds(b, 255, 1), V{245});
}

TEST(ReverseRange, ReversesBetweenTheMarksInEitherOrder) {
  const struct {
    int16_t prev, cur;
    Changes after;
  } cases[] = {{10, 13, {{10, {13, 12, 11, 10}}}},
               {14, 10, {{10, {14, 13, 12, 11, 10}}}},
               {11, 10, {{10, {11, 10}}}},
               {7, 7, {}},
               {0, 255, {{0, Descending()}}}};
  const BoardState start = Recognisable();
  for (const auto& c : cases) {
    BoardState b = start, index = start;
    b.prev = index.prev = c.prev;
    b.cur = index.cur = c.cur;
    ReverseRange(b, kBoth);
    ReverseRange(index, kIndex);  // the map alone: the entries stay
    EXPECT_EQ(std::tuple(Reds(b), Looks(b), b.prev, b.cur, index.map, index.entries),
              std::tuple(Order(c.after), Looks(start), std::max(c.prev, c.cur),
                         std::min(c.prev, c.cur), b.map, start.entries))
        << c.prev << ".." << c.cur;
  }
}

// Colours with many repeats, so every key meets ties.
BoardState Scrambled(uint32_t seed) {
  BoardState b = Recognisable();
  std::mt19937 gen(seed);
  for (auto& e : b.entries) {
    e.rgb = {static_cast<uint8_t>(gen() % 6 * 51), static_cast<uint8_t>(gen() % 4 * 85),
             static_cast<uint8_t>(gen() % 3 * 127)};
  }
  return b;
}

// The keys travel with the positions' exchanges, so the boxes change only what moves,
// never which exchanges are made: a colour sort ends even when the colours stay put.
TEST(SortBoard, BoxesChooseWhatMovesNotTheOrder) {
  const BoardState start = Scrambled(7);
  UsageCounts usage{};
  for (size_t k = 0; k < 256; ++k) usage[k] = static_cast<int64_t>(k * 91 % 13);
  for (SortKey key : {SortKey::Usage, SortKey::Brightness, SortKey::Hue, SortKey::RedGreen}) {
    SCOPED_TRACE(static_cast<int>(key));
    BoardState both = start, index = start, colour = start, neither = start;
    const int sweeps = SortBoard(both, key, false, kBoth, usage);
    EXPECT_LT(sweeps, 257);
    EXPECT_EQ(SortBoard(index, key, false, {true, false}, usage), sweeps);
    EXPECT_EQ(SortBoard(colour, key, false, {false, true}, usage), sweeps);
    EXPECT_EQ(SortBoard(neither, key, false, {false, false}, usage), sweeps);
    EXPECT_EQ(std::tie(index.map, index.entries), std::tie(both.map, start.entries));
    EXPECT_EQ(std::tie(colour.map, colour.entries), std::tie(start.map, both.entries));
    EXPECT_EQ(neither, start);
  }
}

TEST(SortBoard, RgbIgnoresBlueAndHueSortPutsRedsAndGreysLast) {
  BoardState b = Recognisable();
  for (int k = 0; k < 256; ++k)
    b.entries[static_cast<size_t>(k)].rgb = {static_cast<uint8_t>(255 - k / 4), 0, 0};
  b.entries[100].rgb = {30, 9, 200};
  b.entries[101].rgb = {30, 9, 10};  // differs from 100 only in blue: stays right after it
  b.entries[102].rgb = {30, 5, 90};  // same red, less green: goes before both
  SortBoard(b, SortKey::RedGreen, false, kBoth, {});
  EXPECT_EQ(std::tuple(b.map[101] - b.map[100], b.map[102] < b.map[100]), std::tuple(1, true));

  for (int k = 0; k < 256; ++k)
    b.entries[static_cast<size_t>(k)].rgb = {10, static_cast<uint8_t>(40 + k % 200), 200};
  b.entries[0].rgb = {255, 0, 0};      // H 0
  b.entries[1].rgb = {90, 90, 90};     // grey, H 0
  b.entries[2].rgb = {200, 200, 200};  // grey, H 0
  b.entries[3].rgb = {255, 0, 1};      // just short of the full circle: H 768
  SortBoard(b, SortKey::Hue, false, kBoth, {});
  EXPECT_EQ(
      std::tuple(b.entries[0].rgb, b.entries[253].rgb, b.entries[254].rgb, b.entries[255].rgb),
      std::tuple(RGBTriple{255, 0, 1}, RGBTriple{255, 0, 0}, RGBTriple{200, 200, 200},
                 RGBTriple{90, 90, 90}));
}

// Sorts of a stretch with locked positions against a plain model: the unlocked
// positions of LOW..HIGH, taken as neighbours, hold their entries stably sorted by
// the key (reversed lightness: the same order read backwards, equal keys keeping
// theirs); every other position keeps its entry and pixels; the look is kept.
TEST(SortBoard, RangeSortsMatchAStableSortOfTheUnlockedPositions) {
  for (uint32_t seed = 1; seed <= 120; ++seed) {
    std::mt19937 gen(seed);
    BoardState b = Scrambled(seed);
    for (auto& m : b.map) m = static_cast<uint8_t>(gen());
    for (int k = 0; k < 20; ++k) b.locked.set(gen() % 256);
    std::array<int64_t, 256> loaded{};
    for (auto& n : loaded) n = gen() % 4;
    const int lo = static_cast<int>(gen() % 256), hi = lo + static_cast<int>(gen() % (256 - lo));
    const SortKey keys[] = {SortKey::Usage, SortKey::Lightness, SortKey::RedGreen, SortKey::Hue};
    const SortKey key = keys[seed % 4];
    const bool reverse = key == SortKey::Lightness ? gen() % 2 : key == SortKey::Usage && seed % 3;
    const UsageCounts usage = UsageByPosition(b.map, loaded);

    std::vector<int> at;
    for (int p = lo; p <= hi; ++p) {
      if (!b.locked.test(size_t(p))) at.push_back(p);
    }
    struct Item {
      BoardEntry e;
      int64_t use;
    };
    std::vector<Item> items;
    for (int p : at) items.push_back({b.entries[size_t(p)], usage[size_t(p)]});
    const auto light_before = [](const Item& x, const Item& y) {
      const double lx = SrgbToLab(x.e.rgb).L, ly = SrgbToLab(y.e.rgb).L;
      HSVTriple hx, hy;
      RGBToHSV(x.e.rgb, hx);
      RGBToHSV(y.e.rgb, hy);
      return lx < ly || (lx == ly && hx.H < hy.H);
    };
    std::stable_sort(items.begin(), items.end(), [&](const Item& x, const Item& y) {
      switch (key) {
        case SortKey::Usage:
          return reverse ? x.use < y.use : x.use > y.use;
        case SortKey::Lightness:
          return reverse ? light_before(y, x) : light_before(x, y);
        case SortKey::RedGreen:
          return x.e.rgb.R < y.e.rgb.R || (x.e.rgb.R == y.e.rgb.R && x.e.rgb.G < y.e.rgb.G);
        default: {
          HSVTriple hx, hy;
          RGBToHSV(x.e.rgb, hx);
          RGBToHSV(y.e.rgb, hy);
          return hx.H > hy.H || (hx.H == hy.H && hx.V > hy.V);
        }
      }
    });
    BoardEntries want = b.entries;
    for (size_t j = 0; j < at.size(); ++j) want[size_t(at[j])] = items[j].e;

    BoardState sorted = b;
    SortBoard(sorted, key, reverse, kBoth, usage, {lo, hi});
    ASSERT_EQ(sorted.entries, want) << "seed " << seed;
    EXPECT_EQ(Looks(sorted), Looks(b));
    EXPECT_EQ(ChangedLockedPosition(b, sorted), -1);
  }
}

class Spreading : public ::testing::Test {
 protected:
  void Set(int k, RGBTriple c) { b.entries[static_cast<size_t>(k)].rgb = c; }
  RGBTriple At(int k) const { return b.entries[static_cast<size_t>(k)].rgb; }
  void Range(int16_t prev, int16_t cur) { b.prev = prev, b.cur = cur; }
  BoardState b = Recognisable();
};

TEST_F(Spreading, RgbGradientWritesPositionsAndKeepsOpacity) {
  MoveRun(b, 12, 30, 1, {true, false});  // the map changes; the spread does not look at it
  Set(10, {0, 0, 0});
  Set(20, {200, 100, 0});
  b.entries[15].A = 40;
  Range(20, 10);
  const BoardState before = b;
  SpreadRange(b, SpreadKind::Rgb);
  for (int k = 10; k <= 20; ++k) {
    EXPECT_EQ(At(k), (RGBTriple{uint8_t(20 * (k - 10)), uint8_t(10 * (k - 10)), 0})) << k;
  }
  EXPECT_EQ(b.entries[15].A, 40);
  EXPECT_EQ(std::tie(b.entries[9], b.entries[21]), std::tie(before.entries[9], before.entries[21]));
  EXPECT_EQ(std::tie(b.map, b.prev, b.cur), std::tie(before.map, before.prev, before.cur));
}

TEST_F(Spreading, HsvRunsThroughTheHuesEitherWayAndRoundsHalfToEven) {
  Set(0, {0, 0, 0});
  Set(4, {0, 0, 255});
  Range(0, 4);
  SpreadRange(b, SpreadKind::Hsv);
  EXPECT_EQ(std::tuple(At(0), At(2), At(4)),  // hue 256 halfway, at half the value
            std::tuple(RGBTriple{0, 0, 0}, RGBTriple{64, 128, 64}, RGBTriple{0, 0, 255}));

  Set(100, {0, 0, 0});
  Set(102, {255, 255, 255});
  Range(100, 102);
  SpreadRange(b, SpreadKind::Hsv);
  EXPECT_EQ(At(101), (RGBTriple{128, 128, 128}));

  Set(60, {0, 255, 0});  // H 256
  Set(62, {0, 0, 255});  // H 512
  Range(60, 62);
  SpreadRange(b, SpreadKind::Hsv);
  EXPECT_EQ(At(61), (RGBTriple{0, 255, 255}));  // H 384: cyan
  SpreadRange(b, SpreadKind::HsvReverse);
  EXPECT_EQ(At(61), (RGBTriple{255, 0, 0}));  // the long way round passes red
}

TEST_F(Spreading, HsvLeavesBothEndsAsTheyWere) {
  // Colours that do not survive a trip through HSV: written back, they would change.
  Set(70, {0, 11, 221});
  Set(75, {0, 22, 169});
  for (SpreadKind kind : {SpreadKind::Hsv, SpreadKind::HsvReverse}) {
    Range(75, 70);
    SpreadRange(b, kind);
    EXPECT_EQ(std::tuple(At(70), At(75)), std::tuple(RGBTriple{0, 11, 221}, RGBTriple{0, 22, 169}));
  }
}

TEST_F(Spreading, OnATargetEveryWrittenEntryIsTheSnappedGradient) {
  std::mt19937 gen(7);
  for (const char* name : {"megadrive", "5-6-5"}) {
    for (SpreadKind kind : {SpreadKind::Rgb, SpreadKind::Hsv, SpreadKind::HsvReverse}) {
      BoardState plain = Recognisable();
      for (BoardEntry& e : plain.entries) e.rgb = {uint8_t(gen()), uint8_t(gen()), uint8_t(gen())};
      plain.prev = 20, plain.cur = 200;
      BoardState snapped = plain;
      snapped.target = *TargetByName(name);
      SpreadRange(plain, kind);
      SpreadRange(snapped, kind);
      for (size_t p = 0; p < 256; ++p) {
        // Every kind writes the ends too on a target.
        EXPECT_EQ(snapped.entries[p].rgb, p >= 20 && p <= 200
                                              ? SnapColour(snapped.target, plain.entries[p].rgb)
                                              : plain.entries[p].rgb)
            << name << " " << p;
      }
    }
  }
  // A dark ramp of 8 steps of 15 on 2 bits a channel: 0 0 0 85 85 85 85 85 after
  // the snapping, eight entries equal to a neighbour they differed from.
  BoardState b = StartBoard({});
  b.target = *TargetByName("sms");
  b.entries[0].rgb = {0, 0, 0};
  b.entries[7].rgb = {105, 105, 105};
  b.prev = 0, b.cur = 7;
  for (SpreadKind kind : {SpreadKind::Rgb, SpreadKind::Hsv, SpreadKind::HsvReverse}) {
    b.entries[7].rgb = {105, 105, 105};  // off the lattice: the end is snapped too
    EXPECT_EQ(SpreadRange(b, kind), 8);
    EXPECT_EQ(Reds(b, 0, 8), (std::vector<int>{0, 0, 0, 85, 85, 85, 85, 85}));
  }
}

TEST(Target, SnapAllSkipsLockedEntriesAndTheWritingCommandsSnap) {
  BoardState b = Recognisable();
  b.target = *TargetByName("st");
  b.entries[200].A = 9;
  b.locked.set(5).set(250);
  const BoardState before = b;
  const SnapReport report = SnapAll(b);
  int changed = 0, largest = 0;
  for (int k = 0; k < 256; ++k) {
    const size_t p = static_cast<size_t>(k);
    const RGBTriple was = before.entries[p].rgb;
    const RGBTriple want = IsLocked(b, k) ? was : SnapColour(b.target, was);
    EXPECT_EQ(b.entries[p], (BoardEntry{want, before.entries[p].A})) << k;
    changed += want != was;
    for (auto [x, y] : {std::pair{was.R, want.R}, {was.G, want.G}, {was.B, want.B}}) {
      largest = std::max(largest, std::abs(x - y));
    }
  }
  EXPECT_EQ(std::tuple(report.changed, report.largest), std::tuple(changed, largest));
  EXPECT_EQ(largest, 18);  // halfway between two levels 36 or 37 apart
  EXPECT_EQ(b.entries[5], before.entries[5]);
  EXPECT_EQ(std::tuple(SnapAll(b).changed, SnapAll(b).largest), std::tuple(0, 0));

  // A palette load and a remap put only snapped colours on the board; the remap
  // snaps the file before it looks for the nearest: (45,45,45) is nearer 50 than
  // 20, but both snap to 36 and the lower position takes it.
  BoardEntries file{};
  file[0].rgb = {20, 20, 20};
  file[1].rgb = {50, 50, 50};
  ApplyPalette(b, file, 2, PaletteMerge::All);
  EXPECT_EQ(std::tuple(b.entries[0].rgb, b.entries[1].rgb),
            std::tuple(RGBTriple{36, 36, 36}, RGBTriple{36, 36, 36}));
  BoardState r = StartBoard({45, 45, 45});
  r.target = b.target;
  std::array<int64_t, 256> used{};
  used[0] = 1;
  ASSERT_EQ(RemapToPalette(r, file, 2, {}, used), RemapRefusal::None);
  EXPECT_EQ(std::tuple(r.map[0], r.entries[1].rgb), std::tuple(0, RGBTriple{36, 36, 36}));
}

// Board n: every entry red n, the marks on n.
BoardState Numbered(int n) {
  BoardState b = StartBoard({static_cast<uint8_t>(n), 0, 0});
  b.prev = b.cur = static_cast<int16_t>(n);
  return b;
}

// Records the steps 0 -> 1 -> ... -> n.
void RecordChain(History& h, int n) {
  for (int i = 0; i < n; ++i) h.Record("Step", Numbered(i), Numbered(i + 1));
}

// Undo and Redo walk the steps exactly; a new step drops what could be redone; the
// position names a point of the history, so coming back to it is "unmodified".
TEST(History, UndoAndRedoWalkTheStepsExactlyAndANewStepDropsTheRedo) {
  History h;
  EXPECT_EQ((std::tuple{h.Undo(), h.Redo()}), std::tuple(std::nullopt, std::nullopt));
  const uint64_t empty = h.Position();
  RecordChain(h, 4);
  const uint64_t four = h.Position();
  EXPECT_EQ((std::tuple{h.Undo(), h.Undo(), h.Redo(), h.Undo()}),
            (std::tuple(Numbered(3), Numbered(2), Numbered(3), Numbered(2))));
  const size_t bytes = h.Bytes();
  h.Record("Nine", Numbered(2), Numbered(9));  // back at board 2
  EXPECT_EQ(std::tuple(h.CanRedo(), h.Bytes(), std::string(h.UndoName())),
            std::tuple(false, bytes / 4 * 3, "Nine"));
  EXPECT_NE(h.Position(), four);
  EXPECT_EQ((std::tuple{h.Undo(), h.Undo(), h.Undo(), h.Undo(), h.Undo()}),
            (std::tuple(Numbered(2), Numbered(1), Numbered(0), std::nullopt, std::nullopt)));
  EXPECT_EQ(h.Position(), empty);
  EXPECT_EQ((std::tuple{h.Redo(), h.Redo(), h.Redo(), h.Redo()}),
            (std::tuple(Numbered(1), Numbered(2), Numbered(9), std::nullopt)));
  h.Clear();
  EXPECT_FALSE(h.CanUndo() || h.CanRedo());
  EXPECT_EQ(h.Bytes(), 0u);
}

// Only the newest steps that fit the bound are kept, but never fewer than the
// floor; by default plain steps fill 64 MiB, far past a thousand of them.
TEST(History, KeepsTheNewestStepsWithinItsBound) {
  History one;
  RecordChain(one, 1);
  const size_t step = one.Bytes();
  for (const auto& [max_bytes, min_steps, kept] :
       std::vector<std::tuple<size_t, size_t, int>>{{3 * step, 1, 3}, {0, 2, 2}, {step, 0, 1}}) {
    History h(max_bytes, min_steps);
    size_t dropped = 0;
    for (int i = 0; i < 5; ++i) dropped += h.Record("Step", Numbered(i), Numbered(i + 1));
    int undone = 0;
    std::optional<BoardState> last;
    for (; h.CanUndo(); ++undone) last = h.Undo();
    EXPECT_EQ(std::tuple(undone, dropped, last), std::tuple(kept, 5u - kept, Numbered(5 - kept)));
    EXPECT_EQ(h.Redo(), Numbered(5 - kept + 1));
  }
  History h;
  RecordChain(h, 5000);
  EXPECT_EQ(h.UndoDepth(), 5000u);
  EXPECT_LT(step * 20000, History::kMaxBytes);
  // A step that writes a list of names counts the list.
  BoardState named = Numbered(1);
  named.names.Set(0, "a");
  History n;
  n.Record("Name", Numbered(0), named);
  EXPECT_GE(n.Bytes(), step + sizeof(EntryNames));
}

}  // namespace
}  // namespace hw
