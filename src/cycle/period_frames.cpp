#include "cycle/period_frames.h"

#include <algorithm>
#include <numeric>

#include "cycle/fraction.h"

namespace hw {
namespace {

using namespace cycle_time;

// The least common multiple of two positive fractions in lowest terms:
// lcm(numerators) / gcd(denominators), itself in lowest terms. The numerators
// stay below 2^64 here (see CyclePeriodFrames), so the product cannot overflow.
Fraction Lcm(const Fraction& a, const Fraction& b) {
  return {a.num / Gcd(a.num, b.num) * b.num, Gcd(a.den, b.den)};
}

// A range that steps: its place in the list and the seconds between two steps.
struct Stepper {
  size_t index = 0;
  Fraction step;
  uint64_t count = 0;  // its steps in one period
};

// round(100 * t) with halves up: floor((200 num + den) / (2 den)).
int64_t Hundredths(const Fraction& t) {
  return static_cast<int64_t>((200 * t.num + t.den) / (2 * t.den));
}

}  // namespace

CyclePeriod CyclePeriodFrames(const CycleRanges& ranges) {
  CyclePeriod out;
  std::vector<Stepper> steppers;
  Fraction period;
  for (size_t i = 0; i < ranges.size(); ++i) {
    const CycleRange& r = ranges[i];
    if (!r.active || r.rate == 0 || r.low >= r.high) continue;
    Stepper s{i, Reduced(4096, U128{15} * r.rate)};
    const Fraction own = Reduced(s.step.num * (r.high - r.low + 1), s.step.den);
    period = steppers.empty() ? own : Lcm(period, own);
    steppers.push_back(s);
    // Frames of 0 hundredths are not written, so the limit is on the frames that
    // are. A range stepping N times in the period writes at least min(N, round(100
    // * period)) of them: steps a hundredth or more apart round to different
    // hundredths, and closer ones reach every hundredth of the period. Both
    // figures only grow with more ranges, so past the limit together they refuse
    // as soon as they can. A period that passes is either at most 2048 steps of
    // any range (at most 2048 * 4096 / 15 seconds) or at most 20.49 seconds (at
    // most 4917 steps of the fastest rate), over a denominator below 2^20: its
    // numerator stays below 2^40 and the next Lcm (times at most 4096 * 256)
    // below 2^60.
    const bool long_period = Hundredths(period) > kMaxCycleFrames;
    for (Stepper& t : steppers) {
      const U128 count = period.num * t.step.den / (period.den * t.step.num);
      if (long_period && count > static_cast<U128>(kMaxCycleFrames)) {
        out.refusal = "the colour cycle takes more than " + std::to_string(kMaxCycleFrames) +
                      " frames to come round";
        return out;
      }
      t.count = static_cast<uint64_t>(count);
    }
  }
  if (steppers.empty()) {
    out.refusal = "no active range steps";
    return out;
  }

  // Every instant at which a range steps, in order, each once: at most 16 * 4917.
  // The numerators are below 4917 * 4096 and the denominators below 2^20: the
  // cross products that compare them fit in 64 bits, let alone 128.
  std::vector<Fraction> instants;
  for (const Stepper& s : steppers) {
    for (uint64_t n = 0; n < s.count; ++n) instants.push_back(Reduced(n * s.step.num, s.step.den));
  }
  const auto less = [](const Fraction& a, const Fraction& b) {
    return a.num * b.den < b.num * a.den;
  };
  const auto same = [](const Fraction& a, const Fraction& b) {
    return a.num == b.num && a.den == b.den;  // lowest terms
  };
  std::sort(instants.begin(), instants.end(), less);
  instants.erase(std::unique(instants.begin(), instants.end(), same), instants.end());
  out.instants = static_cast<int>(std::min<size_t>(instants.size(), INT32_MAX));
  for (size_t k = 0; k < instants.size(); ++k) {
    const Fraction& t = instants[k];
    const int64_t length =
        Hundredths(k + 1 < instants.size() ? instants[k + 1] : period) - Hundredths(t);
    if (length == 0) continue;
    // Steps by t: floor(t / step), exactly.
    CycleStepCounts steps{};
    for (const Stepper& s : steppers) {
      steps[s.index] = static_cast<int64_t>(t.num * s.step.den / (t.den * s.step.num));
    }
    out.frames.push_back(CycleFrame{CycleSourcesAfter(ranges, steps), static_cast<int>(length)});
  }
  if (out.frames.size() > static_cast<size_t>(kMaxCycleFrames)) {
    out.refusal = "the colour cycle takes " + std::to_string(out.frames.size()) +
                  " frames to come round (at most " + std::to_string(kMaxCycleFrames) + ")";
    out.frames.clear();
  }
  return out;
}

}  // namespace hw
