#include "cycle/rotation.h"

#include <algorithm>

namespace hw {

int64_t CycleStepsAt(const CycleRange& r, int64_t micros) {
  if (micros <= 0 || r.rate == 0 || r.low >= r.high) return 0;
  // 128 bits: a product of microseconds and rate overflows 64 bits after weeks.
  const unsigned __int128 scaled = static_cast<unsigned __int128>(micros) * r.rate * 60u;
  return static_cast<int64_t>(scaled / (static_cast<unsigned __int128>(kCycleRateUnit) * 1000000u));
}

int64_t CycleNextStepAt(const CycleRanges& ranges, int64_t micros) {
  int64_t next = -1;
  const int64_t now = std::max<int64_t>(micros, 0);
  for (const CycleRange& r : ranges) {
    if (!r.active || r.rate == 0 || r.low >= r.high) continue;
    // Step s + 1 comes at the first microsecond t with t * rate * 60 >= (s + 1) * 16384e6.
    const unsigned __int128 want =
        static_cast<unsigned __int128>(CycleStepsAt(r, now) + 1) * kCycleRateUnit * 1000000u;
    const unsigned __int128 per = static_cast<unsigned __int128>(r.rate) * 60u;
    const auto at = static_cast<int64_t>((want + per - 1) / per);
    if (next < 0 || at < next) next = at;
  }
  return next;
}

CycleSources CycleSourcesAt(const CycleRanges& ranges, int64_t micros) {
  CycleStepCounts steps{};
  for (size_t i = 0; i < ranges.size(); ++i) steps[i] = CycleStepsAt(ranges[i], micros);
  return CycleSourcesAfter(ranges, steps);
}

CycleSources CycleSourcesAfter(const CycleRanges& ranges, const CycleStepCounts& steps) {
  CycleSources shown{};
  for (size_t p = 0; p < 256; ++p) shown[p] = static_cast<uint8_t>(p);
  for (size_t i = 0; i < ranges.size(); ++i) {
    const CycleRange& r = ranges[i];
    // LOW >= HIGH never moves; a file may hold HIGH = LOW - 1, a length of 0.
    if (!r.active || r.low >= r.high) continue;
    const int n = r.high - r.low + 1;
    const int k = static_cast<int>(((steps[i] % n) + n) % n);
    if (k == 0) continue;
    // Forward: position LOW + i shows what LOW + i - k showed.
    const int shift = r.reverse ? k : n - k;
    CycleSources before = shown;
    for (int j = 0; j < n; ++j) {
      shown[static_cast<size_t>(r.low + j)] = before[static_cast<size_t>(r.low + (j + shift) % n)];
    }
  }
  return shown;
}

CycleRanges FiveBandsPreset() {
  CycleRanges preset;
  for (int k = 0; k < 5; ++k) {
    preset.push_back(CycleRange{static_cast<uint8_t>(196 + 8 * k),
                                static_cast<uint8_t>(203 + 8 * k), kCycleRateUnit, true, true});
  }
  return preset;
}

}  // namespace hw
