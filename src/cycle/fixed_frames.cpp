#include "cycle/fixed_frames.h"

#include <limits>
#include <vector>

#include "cycle/fraction.h"

namespace hw {
namespace {

using namespace cycle_time;

// Products stay below this, so sums of up to 2^16 of them cannot overflow I128.
constexpr U128 kLimit = U128{1} << 100;

// a * b, or nullopt past kLimit.
std::optional<U128> Times(U128 a, U128 b) {
  if (a != 0 && b > kLimit / a) return std::nullopt;
  return a * b;
}

// The least common multiple of two positive fractions in lowest terms.
std::optional<Fraction> Lcm(const Fraction& a, const Fraction& b) {
  const auto num = Times(a.num / Gcd(a.num, b.num), b.num);
  if (!num) return std::nullopt;
  return Fraction{*num, Gcd(a.den, b.den)};
}

// The seconds between two steps of a range that steps: 4096 / (15 * rate).
Fraction StepOf(const CycleRange& r) { return Reduced(4096, U128{15} * r.rate); }

bool Steps(const CycleRange& r) { return r.active && r.rate != 0 && r.low < r.high; }

}  // namespace

std::optional<DecimalSeconds> ParseDecimalSeconds(std::string_view text) {
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view part =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.empty() && part.empty()) return std::nullopt;
  if (whole.size() > 9 || part.size() > 9) return std::nullopt;
  DecimalSeconds s;
  for (const std::string_view digits : {whole, part}) {
    for (const char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
    }
  }
  for (const char c : whole) s.num = s.num * 10 + static_cast<uint64_t>(c - '0');
  for (const char c : part) {
    s.num = s.num * 10 + static_cast<uint64_t>(c - '0');
    s.den *= 10;
  }
  if (s.num == 0) return std::nullopt;
  return s;
}

uint64_t FixedFrameCount(const FixedLength& length) {
  if (length.seconds.den == 0 || length.fps <= 0) return 0;
  const U128 n = U128{length.seconds.num} * static_cast<unsigned>(length.fps) / length.seconds.den;
  return n > std::numeric_limits<uint64_t>::max() ? std::numeric_limits<uint64_t>::max()
                                                  : static_cast<uint64_t>(n);
}

CyclePeriod CycleFixedFrames(const CycleRanges& ranges, const FixedLength& length) {
  CyclePeriod out;
  if (length.fps < 1 || length.fps > kMaxFixedFps) {
    out.refusal = "the frame rate must be 1 to " + std::to_string(kMaxFixedFps);
    return out;
  }
  const uint64_t n = FixedFrameCount(length);
  if (n < 1 || n > static_cast<uint64_t>(kMaxCycleFrames)) {
    out.refusal = "a fixed length needs 1 to " + std::to_string(kMaxCycleFrames) + " frames";
    return out;
  }
  std::vector<std::pair<size_t, Fraction>> steppers;
  for (size_t i = 0; i < ranges.size(); ++i) {
    if (Steps(ranges[i])) steppers.emplace_back(i, StepOf(ranges[i]));
  }
  if (steppers.empty()) {
    out.refusal = "no active range steps";
    return out;
  }
  const auto fps = static_cast<U128>(length.fps);
  // round(100 t) with halves up, t = num / den: floor((200 num + den) / (2 den)).
  const auto hundredths = [](U128 num, U128 den) { return (200 * num + den) / (2 * den); };
  const U128 end = hundredths(length.seconds.num, length.seconds.den);
  out.frames.reserve(static_cast<size_t>(n));
  for (uint64_t k = 0; k < n; ++k) {
    CycleStepCounts steps{};
    // Steps by t_k = k / F: floor(t_k / step), exactly.
    for (const auto& [index, step] : steppers) {
      steps[index] = static_cast<int64_t>(U128{k} * step.den / (fps * step.num));
    }
    const U128 from = hundredths(k, fps);
    const U128 to = k + 1 < n ? hundredths(k + 1, fps) : end;
    out.frames.push_back(CycleFrame{CycleSourcesAfter(ranges, steps), static_cast<int>(to - from)});
  }
  out.instants = static_cast<int>(n);
  return out;
}

ExactLoop ExactLoopOf(const CycleRanges& ranges) {
  ExactLoop loop;
  std::vector<Fraction> steps;
  std::optional<Fraction> period;
  bool counted = true;
  for (const CycleRange& r : ranges) {
    if (!Steps(r)) continue;
    const Fraction step = StepOf(r);
    const Fraction own = Reduced(step.num * (r.high - r.low + 1), step.den);
    steps.push_back(step);
    if (!loop.steps) {
      period = own;
    } else if (period) {
      period = Lcm(*period, own);
    }
    loop.steps = true;
    if (!period) counted = false;
  }
  if (!loop.steps) return loop;
  if (!counted || !period) {
    // Beyond what can be counted: the period is at least the longest range's.
    loop.seconds = std::numeric_limits<double>::infinity();
    return loop;
  }
  loop.seconds = static_cast<double>(period->num) / static_cast<double>(period->den);
  // The distinct instants of one period at which any range steps: by inclusion
  // and exclusion over the sets of ranges, each set's common instants being the
  // multiples of the lcm of its steps. The period is a multiple of every such lcm,
  // and the divisions below are exact.
  // Each set's lcm is the lcm of the set without its lowest member and that one.
  const size_t count = steps.size();
  std::vector<Fraction> common(size_t{1} << count);
  I128 instants = 0;
  for (uint32_t set = 1; set < (uint32_t{1} << count); ++set) {
    const int lowest = __builtin_ctz(set);
    const uint32_t rest = set & (set - 1);
    if (rest == 0) {
      common[set] = steps[static_cast<size_t>(lowest)];
    } else {
      const auto both = Lcm(common[rest], steps[static_cast<size_t>(lowest)]);
      if (!both) return loop;  // frames stays unknown
      common[set] = *both;
    }
    const Fraction& c = common[set];
    const auto times = Times(period->num / c.num, c.den / period->den);
    if (!times) return loop;
    const bool odd = __builtin_popcount(set) % 2 == 1;
    instants += odd ? static_cast<I128>(*times) : -static_cast<I128>(*times);
  }
  if (instants > 0 && static_cast<U128>(instants) <= std::numeric_limits<uint64_t>::max()) {
    loop.frames = static_cast<uint64_t>(instants);
  }
  return loop;
}

double RangePeriodSeconds(const CycleRange& range) {
  if (range.rate == 0 || range.low >= range.high) return 0;
  return (range.high - range.low + 1) * 4096.0 / (15.0 * range.rate);
}

std::string GroupedDigits(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), ",");
  }
  return digits;
}

}  // namespace hw
