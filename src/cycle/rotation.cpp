#include "cycle/rotation.h"

namespace hw {

int64_t CycleStepsAt(const CycleRange& r, int64_t micros) {
  if (micros <= 0 || r.rate == 0 || r.low >= r.high) return 0;
  // 128 bits: a product of microseconds and rate overflows 64 bits after weeks.
  const unsigned __int128 scaled = static_cast<unsigned __int128>(micros) * r.rate * 60u;
  return static_cast<int64_t>(scaled / (static_cast<unsigned __int128>(kCycleRateUnit) * 1000000u));
}

CycleSources CycleSourcesAt(const CycleRanges& ranges, int64_t micros) {
  CycleSources shown{};
  for (size_t p = 0; p < 256; ++p) shown[p] = static_cast<uint8_t>(p);
  for (const CycleRange& r : ranges) {
    if (!r.active) continue;
    const int64_t steps = CycleStepsAt(r, micros);
    const int n = r.high - r.low + 1;
    const int k = static_cast<int>(steps % n);
    if (k == 0) continue;
    // Forward: position LOW + i shows what LOW + i - k showed.
    const int shift = r.reverse ? k : n - k;
    CycleSources before = shown;
    for (int i = 0; i < n; ++i) {
      shown[static_cast<size_t>(r.low + i)] = before[static_cast<size_t>(r.low + (i + shift) % n)];
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
