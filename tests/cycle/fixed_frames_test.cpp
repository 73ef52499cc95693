// What the exact loop of colour cycling takes, against a model in whole ticks (a
// fixed length by --seconds is the CLI's cycle-gif test, read back by Pillow).
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

}  // namespace
}  // namespace hw::test
