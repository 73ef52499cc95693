#include "board/sort.h"

#include <utility>

namespace hw {

namespace {

struct Key {
  int64_t usage = 0;
  RGBTriple rgb;
  HSVTriple hsv;
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
  }
  return false;
}

}  // namespace

int SortBoard(BoardState& board, SortKey key, bool reverse, MoveWhat what,
              const UsageCounts& usage) {
  std::array<Key, 256> keys{};
  for (size_t i = 0; i < 256; ++i) {
    keys[i].usage = usage[i];
    keys[i].rgb = board.entries[i].rgb;
    RGBToHSV(keys[i].rgb, keys[i].hsv);
  }
  // A usage sort (either way) is stable and always settles; a reversed colour
  // sort inverts each decision, so equal neighbours keep exchanging and it stops
  // at the bound.
  const bool inverted = reverse && key != SortKey::Usage;
  const int max_sweeps = key == SortKey::Usage ? 1 << 30 : 257;

  Exchanger ex(board, what);
  int sweeps = 0;
  bool exchanged = true;
  while (exchanged && sweeps < max_sweeps) {
    ++sweeps;
    exchanged = false;
    for (int i = 0; i <= 254; ++i) {
      const size_t k = static_cast<size_t>(i);
      if (OutOfOrder(keys[k], keys[k + 1], key, reverse) != inverted) {
        ex.Exchange(i, i + 1);
        std::swap(keys[k], keys[k + 1]);
        exchanged = true;
      }
    }
  }
  return sweeps;
}

}  // namespace hw
