// Reducing the colours a picture uses: at most N used positions afterwards, the
// look changing as little as possible. The measure of a pixel against its new
// colour is their CIEDE2000 difference (colour/lab.h) plus kReduceRgbWeight
// times their squared RGB distance; the usage-weighted sum of it is what the
// search makes small.
#pragma once

#include <span>
#include <vector>

#include "board/board.h"

namespace hw {

inline constexpr int kReduceMin = 1;
inline constexpr int kReduceMax = 255;

// The weight of the squared RGB distance (8-bit steps, summed over the three
// channels) beside CIEDE2000. CIEDE2000 alone lets a colour's pixels spread far
// in RGB where it changes slowly (its chroma term shrinks the differences of
// saturated colours); this term holds the RGB error near that of quantizers
// that work in RGB, CIEDE2000 staying below theirs (tools/bench_reduce.py).
inline constexpr double kReduceRgbWeight = 0.015;

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
// each) so that the usage-weighted sum of the measure over all of them is the
// least the shares allow, and each level's colours are chosen for its own
// positions, each position taking the one of its level's colours of least
// measure (ties to the first). Each new colour is written (its RGB; the opacity
// stays) at the lowest position of the entries it replaces, whose indices all go
// there; every other position keeps its entry. Locked positions and entries
// with alpha 0 keep their entries and their pixels and count towards N. Nothing
// changes when the picture already uses at most N positions. Deterministic.
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
  double cost = 0;        // sum of weight * the measure
  double difference = 0;  // sum of weight * CIEDE2000
};
ReduceFit FitColours(const std::vector<ReducePoint>& points, int k);

}  // namespace hw
