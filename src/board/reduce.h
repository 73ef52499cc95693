// Reducing the colours a picture uses: at most N used positions afterwards, the
// look changing as little as possible (the usage-weighted mean CIEDE2000 of the
// pixels against their new colours, colour/lab.h).
#pragma once

#include <span>
#include <vector>

#include "board/board.h"

namespace hw {

inline constexpr int kReduceMin = 1;
inline constexpr int kReduceMax = 255;

enum class ReduceRefusal {
  None,
  OutOfRange,  // N outside kReduceMin..kReduceMax
  TooFew,      // N below `least`: the used locked and fully transparent entries
               // stay, and every opacity among the others keeps at least one colour
};

struct ReduceResult {
  ReduceRefusal refusal = ReduceRefusal::None;
  int locked = 0;       // used locked positions: they stay as they are
  int transparent = 0;  // used unlocked fully transparent positions: likewise
  int kept = 0;         // locked + transparent
  int levels = 0;       // distinct opacities (above 0) among the other used positions
  int least = 0;        // kept + levels: the least N accepted
  int used_before = 0;  // used positions before
  int used_after = 0;   // and after
  double mean = 0;      // CIEDE2000 per pixel that is not fully transparent
  double largest = 0;   // the largest of any pixel
};

// Reduce never changes a pixel's opacity: only entries of equal alpha are merged.
// The movable used positions (used, unlocked, alpha above 0) are grouped by their
// alpha; the N - kept colours free are shared among those levels (at least one
// each) so that the usage-weighted sum of CIEDE2000 differences over all of them is
// the least the shares allow, and each level's colours are chosen for its own
// positions (among nearly equal sums, the colours nearer in RGB), each position
// taking the nearest of its level's colours by CIEDE2000 (ties to the first). Each
// new colour is written (its RGB; the opacity stays) at the lowest position of the
// entries it replaces, whose indices all go there; every other position keeps its
// entry. Locked positions and entries with alpha 0 keep their entries and their
// pixels and count towards N. Nothing changes when the picture already uses at
// most N positions. Deterministic.
ReduceResult ReduceColours(BoardState& board, int n, std::span<const int64_t, 256> loaded_counts);

// The palette search alone: the colours (at most k, 8-bit) for points with
// weights, and each point's colour (an index into the result). For benchmarks
// and tests.
struct ReducePoint {
  RGBTriple rgb;
  double weight = 0;
};
struct ReduceFit {
  std::vector<RGBTriple> colours;
  std::vector<int> assignment;
  double cost = 0;  // sum of weight * CIEDE2000
};
ReduceFit FitColours(const std::vector<ReducePoint>& points, int k);

}  // namespace hw
