#include "qt/panel_place.h"

#include <algorithm>
#include <limits>

namespace hw {

namespace {

int64_t Overlap(const QRect& a, const std::vector<QRect>& avoid) {
  int64_t area = 0;
  for (const QRect& r : avoid) {
    const QRect both = a.intersected(r);
    if (!both.isEmpty()) area += int64_t{both.width()} * both.height();
  }
  return area;
}

}  // namespace

QPoint PlacePanel(QSize frame, const QRect& screen, const std::vector<QRect>& avoid, int gap) {
  const auto inside = [&](QPoint at) {
    at.setX(std::clamp(at.x(), screen.left(),
                       std::max(screen.left(), screen.right() + 1 - frame.width())));
    at.setY(std::clamp(at.y(), screen.top(),
                       std::max(screen.top(), screen.bottom() + 1 - frame.height())));
    return at;
  };
  // The gap counts as part of every window to keep clear of.
  std::vector<QRect> padded;
  for (const QRect& r : avoid) padded.push_back(r.adjusted(-gap + 1, -gap + 1, gap - 1, gap - 1));
  QPoint best =
      inside(avoid.empty() ? screen.topLeft() : avoid.front().topRight() + QPoint(gap, 0));
  int64_t best_overlap = std::numeric_limits<int64_t>::max();
  for (const QRect& r : avoid) {
    // Right of it, below it, left of it, above it: each against either end of
    // that side.
    const int right = r.right() + 1 + gap, below = r.bottom() + 1 + gap;
    const int left = r.left() - gap - frame.width(), above = r.top() - gap - frame.height();
    const int low = r.bottom() + 1 - frame.height(), far = r.right() + 1 - frame.width();
    const QPoint places[] = {{right, r.top()}, {right, low}, {r.left(), below}, {far, below},
                             {left, r.top()},  {left, low},  {r.left(), above}, {far, above}};
    for (const QPoint& place : places) {
      const QPoint at = inside(place);
      const int64_t overlap = Overlap(QRect(at, frame), padded);
      if (overlap == 0) return at;
      if (overlap < best_overlap) {
        best_overlap = overlap;
        best = at;
      }
    }
  }
  return best;
}

}  // namespace hw
