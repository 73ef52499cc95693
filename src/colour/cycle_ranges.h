// Colour-cycle ranges: the runs of board positions whose colours rotate while the
// picture plays. A picture holds at most kMaxCycleRanges of them, in a fixed-size
// list so that a board state copies them by value and compares them with ==.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hw {

// The rate is in the files' unit: 16384 is 60 steps a second.
inline constexpr int kCycleRateUnit = 16384;
inline constexpr int kMaxCycleRate = 65535;
inline constexpr size_t kMaxCycleRanges = 16;

struct CycleRange {
  uint8_t low = 0;
  uint8_t high = 0;
  uint16_t rate = 0;
  bool reverse = false;
  bool active = true;
  friend bool operator==(const CycleRange&, const CycleRange&) = default;
};

// Steps a second of a rate (rate * 60 / 16384).
inline double CycleStepsPerSecond(int rate) { return rate * 60.0 / kCycleRateUnit; }

class CycleRanges {
 public:
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool full() const { return count_ == kMaxCycleRanges; }
  const CycleRange& operator[](size_t i) const { return items_[i]; }
  CycleRange& operator[](size_t i) { return items_[i]; }
  const CycleRange* begin() const { return items_.data(); }
  const CycleRange* end() const { return items_.data() + count_; }
  CycleRange* begin() { return items_.data(); }
  CycleRange* end() { return items_.data() + count_; }
  // False, changing nothing, when the list is full.
  bool push_back(const CycleRange& r) {
    if (full()) return false;
    items_[count_++] = r;
    return true;
  }
  // Removes range i (nothing when there is none); the others keep their order.
  void erase(size_t i) {
    if (i >= count_) return;
    for (size_t k = i + 1; k < count_; ++k) items_[k - 1] = items_[k];
    items_[--count_] = CycleRange{};
  }
  void clear() { *this = CycleRanges{}; }
  friend bool operator==(const CycleRanges&, const CycleRanges&) = default;

 private:
  std::array<CycleRange, kMaxCycleRanges> items_{};
  size_t count_ = 0;
};

}  // namespace hw
