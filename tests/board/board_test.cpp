#include "board/board.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

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

TEST(ApplyPalette, TakesAllOrInsideOrOutsideTheMarkedRange) {
  const struct {
    int16_t prev, cur;
    PaletteMerge merge;
    int lo, hi;  // positions taken: lo..hi, or all but lo..hi when protecting
  } cases[] = {
      // clang-format off
      {20, 10, PaletteMerge::ReplaceRange, 10, 20}, {10, 20, PaletteMerge::ProtectRange, 10, 20},
      {0, 0, PaletteMerge::ProtectRange, 0, 0}, {255, 255, PaletteMerge::ProtectRange, 255, 255},
      {0, 0, PaletteMerge::ReplaceRange, 0, 0}, {255, 255, PaletteMerge::ReplaceRange, 255, 255},
      {30, 40, PaletteMerge::All, 0, 255},
      // clang-format on
  };
  BoardEntries file{};
  for (size_t k = 0; k < 256; ++k) file[k] = {{static_cast<uint8_t>(k), 1, 2}, 255};
  for (const auto& c : cases) {
    BoardState b = StartBoard({9, 9, 9});
    b.entries[12].A = 0;
    std::swap(b.map[14], b.map[15]);
    b.prev = c.prev, b.cur = c.cur;
    const BoardState before = b;
    ApplyPalette(b, file, c.merge);
    for (size_t k = 0; k < 256; ++k) {
      const bool inside = static_cast<int>(k) >= c.lo && static_cast<int>(k) <= c.hi;
      const bool taken = c.merge == PaletteMerge::ProtectRange ? !inside : inside;
      EXPECT_EQ(b.entries[k], taken ? file[k] : before.entries[k]) << k;
    }
    EXPECT_EQ(std::tie(b.map, b.prev, b.cur), std::tie(before.map, before.prev, before.cur));
  }
}

}  // namespace
}  // namespace hw
