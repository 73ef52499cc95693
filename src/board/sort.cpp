#include "board/sort.h"

#include <utility>
#include <vector>

#include "colour/lab.h"

namespace hw {

namespace {

struct Key {
  int64_t usage = 0;
  RGBTriple rgb;
  HSVTriple hsv;
  double lightness = 0;  // CIELAB L*
};

// Whether the entries with keys a (at i) and b (at i + 1) are out of order,
// before "Reverse sort" is applied to the colour keys. Usage is compared
// strictly both ways, so equal counts never exchange and keep their order.
bool OutOfOrder(const Key& a, const Key& b, SortKey key, bool reverse) {
  switch (key) {
    case SortKey::Usage:
      return reverse ? b.usage < a.usage : b.usage > a.usage;
    case SortKey::Hue:
      return b.hsv.H > a.hsv.H || (b.hsv.H == a.hsv.H && b.hsv.V > a.hsv.V);
    case SortKey::Brightness:
      return b.hsv.V > a.hsv.V || (b.hsv.V == a.hsv.V && b.hsv.S > a.hsv.S);
    case SortKey::Saturation:
      return b.hsv.S > a.hsv.S;
    case SortKey::RedGreen:
      return b.rgb.R < a.rgb.R || (b.rgb.R == a.rgb.R && b.rgb.G < a.rgb.G);
    case SortKey::Lightness: {
      // Compared strictly both ways, like usage: equal keys never exchange.
      const auto before = [](const Key& x, const Key& y) {
        return x.lightness < y.lightness || (x.lightness == y.lightness && x.hsv.H < y.hsv.H);
      };
      return reverse ? before(a, b) : before(b, a);
    }
  }
  return false;
}

}  // namespace

int SortBoard(BoardState& board, SortKey key, bool reverse, MoveWhat what, const UsageCounts& usage,
              SortRange range) {
  const std::vector<int> at = UnlockedPositions(board, range.low, range.high);
  if (at.size() < 2) return 0;
  std::vector<Key> keys(at.size());
  for (size_t j = 0; j < at.size(); ++j) {
    const size_t p = static_cast<size_t>(at[j]);
    keys[j].usage = usage[p];
    keys[j].rgb = board.entries[p].rgb;
    RGBToHSV(keys[j].rgb, keys[j].hsv);
    if (key == SortKey::Lightness) keys[j].lightness = SrgbToLab(keys[j].rgb).L;
  }
  // The usage and lightness sorts (either way) are stable and always settle; a
  // reversed sort by another key inverts each decision, so equal neighbours keep
  // exchanging and it stops at the bound.
  const bool stable = key == SortKey::Usage || key == SortKey::Lightness;
  const bool inverted = reverse && !stable;
  const int max_sweeps = stable ? 1 << 30 : 257;

  Exchanger ex(board, what);
  int sweeps = 0;
  bool exchanged = true;
  while (exchanged && sweeps < max_sweeps) {
    ++sweeps;
    exchanged = false;
    for (size_t j = 0; j + 1 < at.size(); ++j) {
      if (OutOfOrder(keys[j], keys[j + 1], key, reverse) != inverted) {
        ex.Exchange(at[j], at[j + 1]);
        std::swap(keys[j], keys[j + 1]);
        exchanged = true;
      }
    }
  }
  return sweeps;
}

}  // namespace hw
