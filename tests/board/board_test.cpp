#include "board/board.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "board_util.h"

namespace hw {
namespace {

// Exchanges applied one at a time, the plain way: every map value a becomes b and
// back, and the two entries swap.
void ExchangeNaively(BoardState& b, int x, int y, MoveWhat what) {
  if (x < 0 || x > 255 || y < 0 || y > 255 || x == y) return;
  if (what.index) {
    for (uint8_t& m : b.map)
      m = m == x ? static_cast<uint8_t>(y) : m == y ? static_cast<uint8_t>(x) : m;
  }
  if (what.colour) std::swap(b.entries[static_cast<size_t>(x)], b.entries[static_cast<size_t>(y)]);
}

TEST(Exchanger, GatheredRelabellingEqualsTheExchangesOneByOne) {
  std::mt19937 gen(11);
  for (MoveWhat what : {MoveWhat{true, true}, MoveWhat{true, false}, MoveWhat{false, true}}) {
    BoardState start = test::Recognisable();
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
  } cases[] = {
      {256, 20, 10, PaletteMerge::ReplaceRange, {{10, 10, 11}}},
      {256, 10, 20, PaletteMerge::ProtectRange, {{0, 0, 10}, {21, 21, 235}}},
      {256, 30, 40, PaletteMerge::All, {{0, 0, 256}}},
      {256, 255, 255, PaletteMerge::ProtectRange, {{0, 0, 255}}},
      {16, 47, 32, PaletteMerge::ReplaceRange, {{32, 0, 16}}},
      {16, 32, 40, PaletteMerge::ReplaceRange, {{32, 0, 9}}},  // the range is the shorter
      {16, 250, 255, PaletteMerge::ReplaceRange, {{250, 0, 6}}},
      {1, 255, 255, PaletteMerge::ReplaceRange, {{255, 0, 1}}},
      {16, 32, 47, PaletteMerge::ProtectRange, {{0, 0, 16}}},
      {16, 8, 47, PaletteMerge::ProtectRange, {{0, 0, 8}}},
      {16, 0, 3, PaletteMerge::ProtectRange, {{4, 4, 12}}},
      {16, 3, 4, PaletteMerge::All, {{0, 0, 256}}},  // a whole load: black past the file
  };
  for (const auto& c : cases) {
    BoardEntries file{};
    for (size_t k = 0; k < 256; ++k) {
      file[k] = {{static_cast<uint8_t>(k < size_t(c.count) ? k : 0), 1, 2}, 255};
    }
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
    EXPECT_EQ(b.entries, want) << c.count << " " << c.prev << ".." << c.cur;
    EXPECT_EQ(std::tie(b.map, b.prev, b.cur), std::tie(before.map, before.prev, before.cur));
  }
}

}  // namespace
}  // namespace hw
