// A fixed length of colour cycling (n = floor(S F) frames lasting S seconds), and
// what the exact loop takes, against a model in whole ticks.
#include "cycle/fixed_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>
#include <tuple>
#include <vector>

#include "cycle/rotation.h"

namespace hw::test {
namespace {

CycleRange Range(int low, int high, int rate, bool active = true) {
  return CycleRange{uint8_t(low), uint8_t(high), uint16_t(rate), false, active};
}

// The model: a range steps every 4096 / (15 rate) s, so in ticks of
// 1 / (15 * lcm of the rates) s it steps every 4096 * lcm / rate ticks. The exact
// loop is the lcm of the ranges' periods in ticks; its frames are the distinct
// multiples of any range's step below it, counted one by one.
struct Model {
  uint64_t frames = 0;
  double seconds = 0;
};
Model ModelLoop(const std::vector<CycleRange>& ranges) {
  uint64_t rates = 1;
  for (const CycleRange& r : ranges) rates = std::lcm(rates, uint64_t{r.rate});
  uint64_t period = 1;
  std::vector<uint64_t> steps;
  for (const CycleRange& r : ranges) {
    steps.push_back(4096 * rates / r.rate);
    period = std::lcm(period, steps.back() * uint64_t(r.high - r.low + 1));
  }
  std::set<uint64_t> instants;
  for (const uint64_t step : steps)
    for (uint64_t t = 0; t < period; t += step) instants.insert(t);
  return {instants.size(), double(period) / (15.0 * double(rates))};
}

TEST(ExactLoop, FramesAndPeriodAgreeWithCountingEveryInstant) {
  const std::vector<std::vector<CycleRange>> cases = {
      {Range(0, 15, 16384)},
      {Range(0, 15, 2185), Range(16, 31, 3277)},  // about 8 and 12 steps a second
      {Range(0, 4, 3000), Range(5, 11, 4500), Range(20, 22, 6000)},
      {Range(0, 1, 16384), Range(2, 4, 6144)},
      {Range(10, 40, 1000), Range(50, 52, 999)},
  };
  for (const auto& list : cases) {
    CycleRanges ranges;
    for (const CycleRange& r : list) ranges.push_back(r);
    // Ranges that never step change nothing.
    ranges.push_back(Range(60, 90, 777, false));
    ranges.push_back(Range(100, 100, 5000));
    ranges.push_back(Range(110, 120, 0));
    const Model want = ModelLoop(list);
    const ExactLoop got = ExactLoopOf(ranges);
    ASSERT_TRUE(got.steps);
    ASSERT_TRUE(got.frames.has_value());
    EXPECT_EQ(*got.frames, want.frames) << list.size();
    EXPECT_NEAR(got.seconds, want.seconds, want.seconds * 1e-12);
    EXPECT_EQ(got.fits(), want.frames <= 2048);
  }
  EXPECT_EQ(ExactLoopOf(CycleRanges{}).steps, false);
  // Sixteen ranges of rates with few common factors: too many to count, never fits.
  CycleRanges many;
  for (int k = 0; k < 16; ++k) many.push_back(Range(k * 16, k * 16 + 13 - (k % 5), 60001 - 97 * k));
  EXPECT_FALSE(ExactLoopOf(many).fits());
  EXPECT_EQ(RangePeriodSeconds(Range(0, 15, 2185)), 16 * 4096.0 / (15.0 * 2185));
  EXPECT_EQ(RangePeriodSeconds(Range(3, 3, 2185)), 0.0);
  EXPECT_EQ(std::tuple(GroupedDigits(0), GroupedDigits(2048), GroupedDigits(28440),
                       GroupedDigits(1234567890)),
            std::tuple("0", "2,048", "28,440", "1,234,567,890"));
}

TEST(FixedLength, DecimalsAboveZeroOnly) {
  const auto parsed = [](const char* text) {
    const auto s = ParseDecimalSeconds(text);
    return s ? std::pair(s->num, s->den) : std::pair(uint64_t{0}, uint64_t{0});
  };
  using P = std::pair<uint64_t, uint64_t>;
  EXPECT_EQ(parsed("10"), P(10, 1));
  EXPECT_EQ(parsed("2.5"), P(25, 10));
  EXPECT_EQ(parsed(".5"), P(5, 10));
  EXPECT_EQ(parsed("5."), P(5, 1));
  EXPECT_EQ(parsed("0.04"), P(4, 100));
  for (const char* bad : {"", ".", "0", "0.000", "-1", "+1", "1e3", "1.2.3", " 1", "1,5", "inf",
                          "1234567890", "0.1234567890"}) {
    EXPECT_FALSE(ParseDecimalSeconds(bad).has_value()) << bad;
  }
}

// Frame k shows the ranges at k / F (compared with the stepping as the window plays
// it, just after that instant) and lasts round(100 (k+1) / F) - round(100 k / F),
// the last one up to S; equal neighbours are kept.
TEST(FixedLength, FramesAtEachInstantLastingTheirRoundedShare) {
  CycleRanges ranges;
  ranges.push_back(Range(0, 15, 2185));
  ranges.push_back(Range(16, 31, 3277));
  ranges.push_back(Range(40, 47, 100));  // one step in 2.7 s: many equal frames
  const struct {
    uint64_t num, den;
    int fps;
    size_t frames;
  } cases[] = {
      {73, 100, 30, 21}, {10, 1, 50, 500}, {25, 10, 40, 100}, {2048, 100, 100, 2048}, {5, 1, 1, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.num << "/" << c.den << " s at " << c.fps);
    const FixedLength length{{c.num, c.den}, c.fps};
    const CyclePeriod p = CycleFixedFrames(ranges, length);
    ASSERT_EQ(p.refusal, "");
    ASSERT_EQ(p.frames.size(), c.frames);
    int64_t total = 0;
    for (size_t k = 0; k < p.frames.size(); ++k) {
      const double to =
          k + 1 < c.frames ? 100.0 * double(k + 1) / c.fps : 100.0 * double(c.num) / double(c.den);
      const int64_t want = std::llround(to) - std::llround(100.0 * double(k) / c.fps);
      ASSERT_EQ(p.frames[k].hundredths, want) << k;
      total += p.frames[k].hundredths;
      const int64_t micros = int64_t(k) * 1'000'000 / c.fps + 1;
      ASSERT_EQ(p.frames[k].sources, CycleSourcesAt(ranges, micros)) << k;
    }
    EXPECT_EQ(total, std::llround(100.0 * double(c.num) / double(c.den)));
  }
  // Out of 1..2048 frames, a rate outside 1..100, or nothing stepping: refused.
  for (const FixedLength& bad : {FixedLength{{1, 100}, 50}, FixedLength{{2049, 1}, 1},
                                 FixedLength{{10, 1}, 0}, FixedLength{{1, 1}, 101}}) {
    const CyclePeriod p = CycleFixedFrames(ranges, bad);
    EXPECT_EQ(std::tuple(p.refusal.empty(), p.frames.size()), std::tuple(false, size_t{0}));
  }
  CycleRanges idle;
  idle.push_back(Range(0, 9, 16384, false));
  EXPECT_EQ(CycleFixedFrames(idle, FixedLength{{10, 1}, 50}).refusal, "no active range steps");
}

}  // namespace
}  // namespace hw::test
