// One period of the ranges as frames: the delays from rounded times, frames of no
// length left out, refusals. (Two rates interleaving are in the CLI's cycle-gif test,
// read back by Pillow.)
#include "cycle/period_frames.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace hw::test {
namespace {

CycleRange Range(int low, int high, int rate, bool active = true, bool reverse = false) {
  return CycleRange{uint8_t(low), uint8_t(high), uint16_t(rate), reverse, active};
}

std::vector<int> Lengths(const CyclePeriod& p) {
  std::vector<int> out;
  for (const CycleFrame& f : p.frames) out.push_back(f.hundredths);
  return out;
}

// 120 steps a second over 6 positions: the instants k/120 s are 5k/6 hundredths, so
// the fourth is 2.5 (rounded up to 3, as is the fifth, 3.33): the fourth frame has
// no length and is left out, the fifth showing its own arrangement.
TEST(PeriodFrames, HalvesRoundUpAndFramesOfNoLengthAreLeftOut) {
  CycleRanges ranges;
  ranges.push_back(Range(0, 5, 32768));
  const CyclePeriod p = CyclePeriodFrames(ranges);
  ASSERT_EQ(p.refusal, "");
  EXPECT_EQ(std::tuple(p.instants, Lengths(p)), std::tuple(6, std::vector<int>{1, 1, 1, 1, 1}));
  const int shown_step[] = {0, 1, 2, 4, 5};
  for (size_t k = 0; k < 5; ++k) EXPECT_EQ(p.frames[k].sources[0], (6 - shown_step[k]) % 6) << k;
}

// The limit counts the frames written: 2880 step instants of which 1680 round to
// the hundredth before them give 1200 frames of one hundredth each (an exact
// fraction model outside the program counts the same).
TEST(PeriodFrames, TheLimitCountsFramesWrittenNotStepInstants) {
  CycleRanges fast;
  fast.push_back(Range(0, 63, 65535));
  fast.push_back(Range(100, 144, 65535));
  const CyclePeriod p = CyclePeriodFrames(fast);
  EXPECT_EQ(std::tuple(p.refusal, p.instants, p.frames.size()),
            std::tuple(std::string(), 2880, size_t{1200}));
  EXPECT_EQ(Lengths(p), std::vector<int>(1200, 1));
}

// 2048 frames are made; more are refused, however many the ranges' rates would
// need (sixteen rates with few common factors would need astronomically many), and
// so is a list where nothing steps.
TEST(PeriodFrames, TooManyInstantsOrNoSteppingRangeAreRefused) {
  CycleRanges most;
  most.push_back(Range(0, 255, 16384));  // 256 steps of 1/60 s
  most.push_back(Range(0, 255, 2048));   // 256 steps of 8/60 s: 2048 of the first's
  const CyclePeriod p = CyclePeriodFrames(most);
  EXPECT_EQ(std::tuple(p.refusal, p.instants, p.frames.size()),
            std::tuple(std::string(), 2048, size_t{2048}));
  int total = 0;
  for (const CycleFrame& f : p.frames) total += f.hundredths;
  EXPECT_EQ(total, 3413);  // 2048 / 60 s

  CycleRanges over = most;
  over.push_back(Range(100, 102, 16384));
  CycleRanges many;
  for (int k = 0; k < 16; ++k) many.push_back(Range(k * 15, k * 15 + 13, 65521 - 2 * k * k));
  for (const CycleRanges& r : {over, many}) {
    const CyclePeriod refused = CyclePeriodFrames(r);
    EXPECT_TRUE(refused.frames.empty());
    EXPECT_EQ(refused.refusal, "the colour cycle takes more than 2048 frames to come round");
  }
  // Sixteen slow ranges, rate = length: every range steps at most 256 times and the
  // period is 4096 / 15 s, but 3799 frames of their 3904 instants last a hundredth
  // or more (counted with exact fractions outside the program).
  CycleRanges slow;
  for (int k = 0; k < 16; ++k) slow.push_back(Range(0, 255 - k, 256 - k));
  const CyclePeriod refused = CyclePeriodFrames(slow);
  EXPECT_EQ(
      std::tuple(refused.refusal, refused.frames.size()),
      std::tuple(std::string("the colour cycle takes 3799 frames to come round (at most 2048)"),
                 size_t{0}));

  CycleRanges none;
  none.push_back(Range(5, 4, 16384));  // a length of 0 never steps, nor divides by 0
  none.push_back(Range(0, 9, 16384, false));
  EXPECT_EQ(CyclePeriodFrames(none).refusal, "no active range steps");
  EXPECT_EQ(CycleSourcesAt(none, 1'000'000)[5], 5);
}

}  // namespace
}  // namespace hw::test
