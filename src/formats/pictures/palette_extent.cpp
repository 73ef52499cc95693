#include "formats/pictures/palette_extent.h"

#include <algorithm>

namespace hw {

int UsedPaletteLength(std::span<const uint8_t> pixels, const BoardEntries& entries) {
  int length = pixels.empty() ? 1 : 1 + *std::max_element(pixels.begin(), pixels.end());
  for (int k = 255; k >= length; --k) {
    if (entries[static_cast<size_t>(k)] != BoardEntry{}) return k + 1;
  }
  return length;
}

}  // namespace hw
