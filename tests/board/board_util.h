// Boards of recognisable entries for the board tests.
#pragma once

#include <vector>

#include "board/board.h"

namespace hw::test {

// The identity map, entry k coloured (k, 255 - k, 7) so its red names it, both
// marks on 0.
inline BoardState Recognisable() {
  BoardState b = StartBoard({});
  for (int k = 0; k < 256; ++k) {
    b.entries[static_cast<size_t>(k)].rgb = {static_cast<uint8_t>(k), static_cast<uint8_t>(255 - k),
                                             7};
  }
  return b;
}

inline std::vector<int> Reds(const BoardState& b, int first = 0, int n = 256) {
  std::vector<int> out;
  for (int k = first; k < first + n; ++k) out.push_back(b.entries[static_cast<size_t>(k)].rgb.R);
  return out;
}

inline std::vector<int> Maps(const BoardState& b, int first = 0, int n = 256) {
  return std::vector<int>(b.map.begin() + first, b.map.begin() + first + n);
}

// What each as-loaded index shows: the entry at the position the map sends it to.
inline std::vector<RGBTriple> Looks(const BoardState& b) {
  std::vector<RGBTriple> out;
  for (uint8_t p : b.map) out.push_back(b.entries[p].rgb);
  return out;
}

}  // namespace hw::test
