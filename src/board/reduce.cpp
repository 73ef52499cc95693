#include "board/reduce.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "colour/lab.h"

namespace hw {

namespace {

// The search works on at most 256 weighted points (the used entries), so every
// stage may look at every point: four deterministic starts (two bottom-up
// mergers, a farthest-first seeding and an exact split along the main axis),
// each refined by alternating nearest assignment and centre updates and then
// polished on the 8-bit lattice, the best kept by the objective: the weighted
// sum of CIEDE2000 plus kReduceRgbWeight times the squared RGB distance.

struct Point {
  RGBTriple rgb;
  Lab lab;
  double w = 0;
};

struct Centres {
  std::vector<RGBTriple> rgb;
  std::vector<Lab> lab;
  void Set(size_t j, RGBTriple c) {
    rgb[j] = c;
    lab[j] = SrgbToLab(c);
  }
  void Add(RGBTriple c) {
    rgb.push_back(c);
    lab.push_back(SrgbToLab(c));
  }
  size_t size() const { return rgb.size(); }
};

double SquaredLab(const Lab& x, const Lab& y) {
  return (x.L - y.L) * (x.L - y.L) + (x.a - y.a) * (x.a - y.a) + (x.b - y.b) * (x.b - y.b);
}

double SquaredRgb(const RGBTriple& x, const RGBTriple& y) {
  const double dr = x.R - y.R, dg = x.G - y.G, db = x.B - y.B;
  return dr * dr + dg * dg + db * db;
}

// What a point costs at a centre: CIEDE2000 plus the RGB term.
double Measure(const Point& p, const Lab& lab, const RGBTriple& rgb) {
  return Ciede2000(p.lab, lab) + kReduceRgbWeight * SquaredRgb(p.rgb, rgb);
}

// The lightness term alone bounds CIEDE2000 from below: SL < 1.75 for every
// sRGB colour. The slack keeps rounding from ruling out an equal one.
constexpr double kMaxSl = 1.75;
constexpr double kBoundSlack = 1e-4;

struct Near {
  int centre = 0;
  double difference = 0;  // CIEDE2000
  double measure = 0;     // with the RGB term
};

// The centre of least measure (the lowest index among equals). Centres the
// lower bounds rule out are not measured.
Near Nearest(const Point& p, const Centres& c) {
  int guess = 0;
  double guess_d = std::numeric_limits<double>::infinity();
  for (size_t j = 0; j < c.size(); ++j) {
    const double d = SquaredLab(p.lab, c.lab[j]);
    if (d < guess_d) guess_d = d, guess = static_cast<int>(j);
  }
  const auto at = [&](size_t j) {
    const double de = Ciede2000(p.lab, c.lab[j]);
    return Near{static_cast<int>(j), de, de + kReduceRgbWeight * SquaredRgb(p.rgb, c.rgb[j])};
  };
  Near best = at(static_cast<size_t>(guess));
  for (size_t j = 0; j < c.size(); ++j) {
    if (static_cast<int>(j) == guess) continue;
    // What CIEDE2000 may be at most for this centre to be the nearer.
    const double limit =
        best.measure * (1 + 1e-9) + kBoundSlack - kReduceRgbWeight * SquaredRgb(p.rgb, c.rgb[j]);
    if (limit < 0 || std::abs(c.lab[j].L - p.lab.L) > kMaxSl * limit) continue;
    if (Ciede2000LowerBound(p.lab, c.lab[j]) > limit) continue;
    const Near n = at(j);
    if (n.measure < best.measure || (n.measure == best.measure && n.centre < best.centre)) {
      best = n;
    }
  }
  return best;
}

// Assigns every point to its nearest centre by the measure; returns the
// weighted sum of the measures, and in `difference` that of CIEDE2000 alone.
double Assign(const std::vector<Point>& pts, const Centres& c, std::vector<int>& assign,
              double* difference = nullptr) {
  double cost = 0, de = 0;
  assign.resize(pts.size());
  for (size_t i = 0; i < pts.size(); ++i) {
    const Near n = Nearest(pts[i], c);
    assign[i] = n.centre;
    cost += pts[i].w * n.measure;
    de += pts[i].w * n.difference;
  }
  if (difference) *difference = de;
  return cost;
}

uint8_t Round8(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), long{0}, long{255}));
}

// The weighted mean of the members' 8-bit values, rounded.
RGBTriple MeanColour(const std::vector<Point>& pts, const std::vector<size_t>& members) {
  double r = 0, g = 0, b = 0, w = 0;
  for (size_t i : members) {
    r += pts[i].w * pts[i].rgb.R;
    g += pts[i].w * pts[i].rgb.G;
    b += pts[i].w * pts[i].rgb.B;
    w += pts[i].w;
  }
  return {Round8(r / w), Round8(g / w), Round8(b / w)};
}

double ClusterCost(const std::vector<Point>& pts, const std::vector<size_t>& members,
                   const Lab& lab, const RGBTriple& rgb) {
  double s = 0;
  for (size_t i : members) s += pts[i].w * Measure(pts[i], lab, rgb);
  return s;
}

// The 8-bit colour near `start` with the least weighted sum of the measure over
// the members: steps along each channel, halving the step when none helps, and
// last the steps to all 26 lattice neighbours (the valley often runs across the
// channels, where single-channel steps all climb).
RGBTriple Polish(const std::vector<Point>& pts, const std::vector<size_t>& members,
                 RGBTriple start) {
  RGBTriple best = start;
  double best_cost = ClusterCost(pts, members, SrgbToLab(best), best);
  const auto descend = [&](int step, bool diagonal) {
    for (bool moved = true; moved;) {
      moved = false;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dg = -1; dg <= 1; ++dg) {
          for (int db = -1; db <= 1; ++db) {
            const int along = (dr != 0) + (dg != 0) + (db != 0);
            if (along == 0 || (!diagonal && along > 1)) continue;
            const int r = best.R + dr * step, g = best.G + dg * step, b = best.B + db * step;
            if (std::min({r, g, b}) < 0 || std::max({r, g, b}) > 255) continue;
            const RGBTriple c{static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                              static_cast<uint8_t>(b)};
            const double cost = ClusterCost(pts, members, SrgbToLab(c), c);
            if (cost < best_cost) {
              best_cost = cost;
              best = c;
              moved = true;
            }
          }
        }
      }
    }
  };
  for (int step : {8, 4, 2, 1}) descend(step, false);
  descend(1, true);
  return best;
}

std::vector<std::vector<size_t>> Members(const std::vector<int>& assign, size_t k) {
  std::vector<std::vector<size_t>> m(k);
  for (size_t i = 0; i < assign.size(); ++i) m[static_cast<size_t>(assign[i])].push_back(i);
  return m;
}

// Every empty centre takes the colour of the point that costs most where it is.
void Reseed(const std::vector<Point>& pts, Centres& c, const std::vector<int>& assign,
            const std::vector<std::vector<size_t>>& members) {
  std::vector<bool> taken(pts.size(), false);
  for (size_t j = 0; j < c.size(); ++j) {
    if (!members[j].empty()) continue;
    size_t worst = pts.size();
    double worst_cost = -1;
    for (size_t i = 0; i < pts.size(); ++i) {
      if (taken[i]) continue;
      const size_t at = static_cast<size_t>(assign[i]);
      const double cost = pts[i].w * Measure(pts[i], c.lab[at], c.rgb[at]);
      if (cost > worst_cost) worst_cost = cost, worst = i;
    }
    if (worst == pts.size()) return;
    taken[worst] = true;
    c.Set(j, pts[worst].rgb);
  }
}

struct Candidate {
  Centres centres;
  double cost = std::numeric_limits<double>::infinity();
};

// Alternates assignment and centre updates from `assign`, keeping the best.
// With `polish` each centre is polished from the better of its present colour
// and its members' mean.
void Refine(const std::vector<Point>& pts, Centres c, std::vector<int> assign, int rounds,
            bool polish, Candidate& best) {
  for (int round = 0; round < rounds; ++round) {
    const auto members = Members(assign, c.size());
    for (size_t j = 0; j < c.size(); ++j) {
      if (members[j].empty()) continue;
      RGBTriple start = MeanColour(pts, members[j]);
      if (polish) {
        if (ClusterCost(pts, members[j], c.lab[j], c.rgb[j]) <
            ClusterCost(pts, members[j], SrgbToLab(start), start)) {
          start = c.rgb[j];
        }
        start = Polish(pts, members[j], start);
      }
      c.Set(j, start);
    }
    Reseed(pts, c, assign, members);
    std::vector<int> next;
    const double cost = Assign(pts, c, next);
    if (cost < best.cost) {
      best.cost = cost;
      best.centres = c;
    }
    if (next == assign) break;
    assign = std::move(next);
  }
}

// Bottom-up merging: every point its own cluster, then the pair that costs least
// to join is joined until k remain. The cost is the weighted (Ward) one: w1 w2 /
// (w1 + w2) times the squared distance of the weighted Lab means, that distance
// Euclidean or CIEDE2000.
std::vector<int> Merged(const std::vector<Point>& pts, size_t k, bool perceptual) {
  const size_t n = pts.size();
  std::vector<Lab> mean(n);
  std::vector<double> w(n);
  std::vector<int> parent(n);
  std::vector<bool> alive(n, true);
  for (size_t i = 0; i < n; ++i) mean[i] = pts[i].lab, w[i] = pts[i].w, parent[i] = int(i);
  const auto cost = [&](size_t a, size_t b) {
    const double d =
        perceptual ? Ciede2000(mean[a], mean[b]) : std::sqrt(SquaredLab(mean[a], mean[b]));
    return w[a] * w[b] / (w[a] + w[b]) * d * d;
  };
  std::vector<size_t> nn(n, n);
  std::vector<double> nd(n, std::numeric_limits<double>::infinity());
  const auto refresh = [&](size_t a) {
    nn[a] = n;
    nd[a] = std::numeric_limits<double>::infinity();
    for (size_t b = 0; b < n; ++b) {
      if (b == a || !alive[b]) continue;
      const double c = cost(a, b);
      if (c < nd[a]) nd[a] = c, nn[a] = b;
    }
  };
  for (size_t a = 0; a < n; ++a) refresh(a);
  for (size_t live = n; live > k; --live) {
    size_t a = n;
    for (size_t i = 0; i < n; ++i) {
      if (alive[i] && nn[i] < n && (a == n || nd[i] < nd[a])) a = i;
    }
    const size_t b = nn[a];
    const double wa = w[a], wb = w[b], ws = wa + wb;
    mean[a] = {(mean[a].L * wa + mean[b].L * wb) / ws, (mean[a].a * wa + mean[b].a * wb) / ws,
               (mean[a].b * wa + mean[b].b * wb) / ws};
    w[a] = ws;
    alive[b] = false;
    for (int& p : parent) {
      if (p == int(b)) p = int(a);
    }
    for (size_t i = 0; i < n; ++i) {
      if (alive[i] && (i == a || nn[i] == a || nn[i] == b)) refresh(i);
    }
    // The joined cluster may now be nearer to others than their present pick.
    for (size_t i = 0; i < n; ++i) {
      if (!alive[i] || i == a) continue;
      const double c = cost(i, a);
      if (c < nd[i]) nd[i] = c, nn[i] = a;
    }
  }
  // Clusters numbered in order of their first point.
  std::vector<int> label(n, -1), assign(n);
  int next = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t root = static_cast<size_t>(parent[i]);
    if (label[root] < 0) label[root] = next++;
    assign[i] = label[root];
  }
  return assign;
}

// Farthest-first seeding: the heaviest point, then each time the point with the
// largest weighted squared difference from the centres so far.
Centres FarthestFirst(const std::vector<Point>& pts, size_t k) {
  Centres c;
  size_t first = 0;
  for (size_t i = 1; i < pts.size(); ++i) {
    if (pts[i].w > pts[first].w) first = i;
  }
  c.Add(pts[first].rgb);
  std::vector<double> d(pts.size());
  for (size_t i = 0; i < pts.size(); ++i) d[i] = Ciede2000(pts[i].lab, c.lab[0]);
  while (c.size() < k) {
    size_t far = 0;
    double far_score = -1;
    for (size_t i = 0; i < pts.size(); ++i) {
      const double score = pts[i].w * d[i] * d[i];
      if (score > far_score) far_score = score, far = i;
    }
    if (far_score <= 0) break;
    c.Add(pts[far].rgb);
    for (size_t i = 0; i < pts.size(); ++i) {
      d[i] = std::min(d[i], Ciede2000(pts[i].lab, c.lab.back()));
    }
  }
  return c;
}

// The points in order along the main axis of their weighted Lab spread (power
// iteration on the covariance from a fixed start), cut into k runs with the
// least weighted sum of squared Lab distances from each run's mean: an exact
// split along that order.
std::vector<int> AlongAxis(const std::vector<Point>& pts, size_t k) {
  const size_t n = pts.size();
  const auto coords = [](const Lab& l) { return std::array<double, 3>{l.L, l.a, l.b}; };
  double wsum = 0;
  std::array<double, 3> mean{};
  for (const Point& p : pts) {
    const auto x = coords(p.lab);
    for (size_t d = 0; d < 3; ++d) mean[d] += p.w * x[d];
    wsum += p.w;
  }
  for (double& m : mean) m /= wsum;
  std::array<std::array<double, 3>, 3> cov{};
  for (const Point& p : pts) {
    const auto x = coords(p.lab);
    for (size_t r = 0; r < 3; ++r) {
      for (size_t c = 0; c < 3; ++c) cov[r][c] += p.w * (x[r] - mean[r]) * (x[c] - mean[c]);
    }
  }
  std::array<double, 3> axis{1, 0.5, 0.25};
  for (int round = 0; round < 64; ++round) {
    std::array<double, 3> next{};
    for (size_t r = 0; r < 3; ++r) {
      for (size_t c = 0; c < 3; ++c) next[r] += cov[r][c] * axis[c];
    }
    const double len = std::sqrt(next[0] * next[0] + next[1] * next[1] + next[2] * next[2]);
    if (len == 0) break;
    for (size_t d = 0; d < 3; ++d) axis[d] = next[d] / len;
  }
  std::vector<size_t> order(n);
  std::vector<double> along(n);
  for (size_t i = 0; i < n; ++i) {
    const auto x = coords(pts[i].lab);
    along[i] = x[0] * axis[0] + x[1] * axis[1] + x[2] * axis[2];
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return along[x] < along[y]; });
  // Prefix sums of w, w x and w |x|^2 in that order: a run's cost in O(1).
  std::vector<double> sw(n + 1), sq(n + 1);
  std::vector<std::array<double, 3>> sx(n + 1);
  for (size_t i = 0; i < n; ++i) {
    const Point& p = pts[order[i]];
    const auto x = coords(p.lab);
    sw[i + 1] = sw[i] + p.w;
    sq[i + 1] = sq[i] + p.w * (x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (size_t d = 0; d < 3; ++d) sx[i + 1][d] = sx[i][d] + p.w * x[d];
  }
  const auto run = [&](size_t a, size_t b) {  // points a..b-1
    const double w = sw[b] - sw[a];
    double m2 = 0;
    for (size_t d = 0; d < 3; ++d) m2 += (sx[b][d] - sx[a][d]) * (sx[b][d] - sx[a][d]);
    return std::max(0.0, sq[b] - sq[a] - m2 / w);
  };
  // best[j][b]: the least cost of the first b points in j + 1 runs.
  constexpr double kNone = std::numeric_limits<double>::infinity();
  std::vector<std::vector<double>> best(k, std::vector<double>(n + 1, kNone));
  std::vector<std::vector<size_t>> cut(k, std::vector<size_t>(n + 1, 0));
  // Run j ends after j + 1 points at least, leaves one for each later run, and
  // is at most n - k + 1 long.
  const size_t longest = n - k + 1;
  for (size_t b = 1; b <= longest; ++b) best[0][b] = run(0, b);
  for (size_t j = 1; j < k; ++j) {
    for (size_t b = j + 1; b <= j + longest; ++b) {
      for (size_t a = std::max(j, b - std::min(b, longest)); a < b; ++a) {
        const double c = best[j - 1][a] + run(a, b);
        if (c < best[j][b]) best[j][b] = c, cut[j][b] = a;
      }
    }
  }
  std::vector<int> assign(n);
  size_t b = n;
  for (size_t j = k; j-- > 0;) {
    const size_t a = j == 0 ? 0 : cut[j][b];
    for (size_t i = a; i < b; ++i) assign[order[i]] = static_cast<int>(j);
    b = a;
  }
  return assign;
}

Centres FromAssignment(const std::vector<Point>& pts, const std::vector<int>& assign, size_t k) {
  Centres c;
  const auto members = Members(assign, k);
  for (size_t j = 0; j < k; ++j) c.Add(MeanColour(pts, members[j]));
  return c;
}

}  // namespace

ReduceFit FitColours(const std::vector<ReducePoint>& input, int k_wanted) {
  ReduceFit fit;
  // Equal colours are one point: their weights add up.
  std::vector<Point> pts;
  std::vector<size_t> point_of(input.size());
  for (size_t i = 0; i < input.size(); ++i) {
    size_t j = 0;
    while (j < pts.size() && !(pts[j].rgb == input[i].rgb)) ++j;
    if (j == pts.size()) pts.push_back({input[i].rgb, SrgbToLab(input[i].rgb), 0.0});
    pts[j].w += input[i].weight;
    point_of[i] = j;
  }
  const size_t k = std::min(pts.size(), static_cast<size_t>(std::max(k_wanted, 0)));
  if (k == 0) return fit;
  std::vector<int> assign;
  Candidate best;
  if (k == pts.size()) {
    for (const Point& p : pts) best.centres.Add(p.rgb);
  } else {
    Candidate starts[4];
    for (bool perceptual : {false, true}) {
      const std::vector<int> start = Merged(pts, k, perceptual);
      Refine(pts, FromAssignment(pts, start, k), start, 12, false, starts[perceptual ? 1 : 0]);
    }
    const Centres seeds = FarthestFirst(pts, k);
    std::vector<int> start;
    Assign(pts, seeds, start);
    Refine(pts, seeds, start, 12, false, starts[2]);
    start = AlongAxis(pts, k);
    Refine(pts, FromAssignment(pts, start, k), start, 12, false, starts[3]);
    // Each polished: the best start before polishing is not always the best after.
    for (Candidate& c : starts) {
      if (c.cost < best.cost) best = c;
      Assign(pts, c.centres, assign);
      Refine(pts, c.centres, assign, 6, true, best);
    }
  }
  fit.cost = Assign(pts, best.centres, assign, &fit.difference);
  fit.colours = best.centres.rgb;
  fit.assignment.resize(input.size());
  for (size_t i = 0; i < input.size(); ++i) fit.assignment[i] = assign[point_of[i]];
  return fit;
}

namespace {

// The used movable positions of one opacity.
struct Level {
  uint8_t alpha = 255;
  std::vector<int> positions;  // ascending
  std::vector<ReducePoint> points;
  std::vector<std::optional<ReduceFit>> fits;  // fits[k - 1]: the level in k colours
};

// The level's best fit in k colours, searched once when first asked for.
const ReduceFit& FitOf(Level& level, int k) {
  const size_t at = static_cast<size_t>(k - 1);
  if (level.fits.size() <= at) level.fits.resize(at + 1);
  if (!level.fits[at]) level.fits[at] = FitColours(level.points, k);
  return *level.fits[at];
}

// How many of `free` colours each level gets, at least one each and at most its own
// colours, for the least sum of the levels' costs: an exact allocation over the
// levels' cost curves (at most 255 levels and 255 colours).
std::vector<int> ShareColours(std::vector<Level>& levels, int free) {
  const size_t count = levels.size();
  std::vector<int> share(count, 1);
  if (count == 1) {
    share[0] = std::min(free, static_cast<int>(levels[0].points.size()));
    return share;
  }
  const int spare = free - static_cast<int>(count);  // beyond one each
  constexpr double kNone = std::numeric_limits<double>::infinity();
  // best[i][f]: the least cost of levels i.. with f spare colours among them.
  std::vector<std::vector<double>> best(count + 1, std::vector<double>(spare + 1, kNone));
  std::vector<std::vector<int>> pick(count, std::vector<int>(spare + 1, 0));
  for (int f = 0; f <= spare; ++f) best[count][static_cast<size_t>(f)] = 0;
  for (size_t i = count; i-- > 0;) {
    const int most = static_cast<int>(levels[i].points.size()) - 1;  // spare it can use
    for (int f = 0; f <= spare; ++f) {
      for (int extra = 0; extra <= std::min(f, most); ++extra) {
        const double rest = best[i + 1][static_cast<size_t>(f - extra)];
        if (rest == kNone) continue;
        const double cost = FitOf(levels[i], 1 + extra).cost + rest;
        // Among equal sums the lower levels take fewer, deterministically.
        if (cost < best[i][static_cast<size_t>(f)]) {
          best[i][static_cast<size_t>(f)] = cost;
          pick[i][static_cast<size_t>(f)] = extra;
        }
      }
    }
  }
  int f = spare;
  for (size_t i = 0; i < count; ++i) {
    share[i] = 1 + pick[i][static_cast<size_t>(f)];
    f -= pick[i][static_cast<size_t>(f)];
  }
  return share;
}

}  // namespace

ReduceResult ReduceColours(BoardState& board, int n, std::span<const int64_t, 256> loaded_counts) {
  ReduceResult result;
  if (n < kReduceMin || n > kReduceMax) {
    result.refusal = ReduceRefusal::OutOfRange;
    return result;
  }
  const UsageCounts usage = UsageByPosition(board.map, loaded_counts);
  std::vector<Level> levels;  // by ascending opacity
  std::array<int, 256> level_of{};
  level_of.fill(-1);
  double seen = 0;  // pixels that are not fully transparent
  for (size_t p = 0; p < 256; ++p) {
    if (usage[p] <= 0) continue;
    ++result.used_before;
    const BoardEntry& e = board.entries[p];
    if (e.A > 0) seen += static_cast<double>(usage[p]);
    if (board.locked.test(p)) {
      ++result.locked;
      continue;
    }
    if (e.A == 0) {
      ++result.transparent;
      continue;
    }
    if (level_of[e.A] < 0) {
      level_of[e.A] = 0;
      levels.push_back(Level{e.A, {}, {}, {}});
    }
  }
  std::sort(levels.begin(), levels.end(),
            [](const Level& x, const Level& y) { return x.alpha < y.alpha; });
  for (size_t i = 0; i < levels.size(); ++i) level_of[levels[i].alpha] = static_cast<int>(i);
  for (size_t p = 0; p < 256; ++p) {
    const BoardEntry& e = board.entries[p];
    if (usage[p] <= 0 || board.locked.test(p) || e.A == 0) continue;
    Level& level = levels[static_cast<size_t>(level_of[e.A])];
    level.positions.push_back(static_cast<int>(p));
    level.points.push_back({e.rgb, static_cast<double>(usage[p])});
  }
  result.kept = result.locked + result.transparent;
  result.levels = static_cast<int>(levels.size());
  result.least = result.kept + result.levels;
  result.used_after = result.used_before;
  if (result.used_before <= n) return result;
  if (n < result.least) {
    result.refusal = ReduceRefusal::TooFew;
    return result;
  }

  const std::vector<int> share = ShareColours(levels, n - result.kept);
  std::array<uint8_t, 256> to{};
  for (size_t p = 0; p < 256; ++p) to[p] = static_cast<uint8_t>(p);
  result.used_after = result.kept;
  double difference = 0;
  for (size_t i = 0; i < levels.size(); ++i) {
    Level& level = levels[i];
    const ReduceFit& fit = FitOf(level, share[i]);
    difference += fit.difference;
    std::vector<int> lowest(fit.colours.size(), -1);
    for (size_t j = 0; j < level.positions.size(); ++j) {
      int& low = lowest[static_cast<size_t>(fit.assignment[j])];
      if (low < 0) low = level.positions[j];  // positions are ascending
      to[static_cast<size_t>(level.positions[j])] = static_cast<uint8_t>(low);
    }
    for (size_t c = 0; c < fit.colours.size(); ++c) {
      if (lowest[c] < 0) continue;
      board.entries[static_cast<size_t>(lowest[c])].rgb = fit.colours[c];
      ++result.used_after;
    }
    for (size_t j = 0; j < level.positions.size(); ++j) {
      const double d = Ciede2000(SrgbToLab(level.points[j].rgb),
                                 SrgbToLab(fit.colours[static_cast<size_t>(fit.assignment[j])]));
      result.largest = std::max(result.largest, d);
    }
  }
  for (uint8_t& m : board.map) m = to[m];
  result.mean = seen > 0 ? difference / seen : 0;
  return result;
}

}  // namespace hw
