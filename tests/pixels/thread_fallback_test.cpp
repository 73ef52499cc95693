// The two-core paths of the pixel kernels, into another buffer and in place, give
// the plain loops' result, and the same on one core when no second thread can be started, whether a
// test injects the failure or the system refuses (a process limit).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "../common/run_as.h"
#include "base/faults.h"
#include "pixels/histogram.h"
#include "pixels/remap.h"

namespace hw {
namespace {

// Large enough for the two-core paths, with an odd length.
std::vector<uint8_t> BigNoise() {
  std::vector<uint8_t> v((size_t{1} << 22) + 4099);
  std::generate(v.begin(), v.end(), std::mt19937(11));
  return v;
}

IndexLut Lut() {
  IndexLut lut;
  for (int i = 0; i < 256; ++i) lut[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 37 + 5);
  return lut;
}

// Runs every kernel into another buffer and in place, and counts with every kernel;
// returns a description of the first difference from the plain loops, or "".
std::string EveryKernelAgrees(const std::vector<uint8_t>& src) {
  const IndexLut lut = Lut();
  std::vector<uint8_t> want(src.size());
  UsageCounts counts{};
  for (size_t i = 0; i < src.size(); ++i) {
    want[i] = lut[src[i]];
    ++counts[src[i]];
  }
  for (RemapKernel k :
       {RemapKernel::Auto, RemapKernel::Portable, RemapKernel::Avx2, RemapKernel::Avx512}) {
    std::vector<uint8_t> dst(src.size()), same = src;
    if (!RemapPixelsWith(k, src, dst, lut)) continue;
    RemapPixelsWith(k, same, same, lut);
    if (dst != want || same != want) return "remap kernel " + std::to_string(int(k)) + " differs";
  }
  for (HistoKernel k : {HistoKernel::Auto, HistoKernel::Portable, HistoKernel::Avx512}) {
    UsageCounts h{};
    if (!ComputeHistoWith(k, h, src)) continue;
    if (h != counts) return "count kernel " + std::to_string(int(k)) + " differs";
  }
  return "";
}

TEST(ThreadFallback, InjectedThreadStartFailuresGiveTheSameResult) {
  const std::vector<uint8_t> src = BigNoise();
  // No failure, every start failing, and the first succeeding while later ones fail.
  for (long after : {-1L, 0L, 1L, 3L}) {
    faults::FailThreadStartsAfter(after);
    const std::string diff = EveryKernelAgrees(src);
    faults::Reset();
    EXPECT_EQ(diff, "") << "thread starts failing after " << after;
  }
}

TEST(ThreadFallback, ProcessLimitOnThreadsGivesTheSameResult) {
  if (!test::IsRoot()) GTEST_SKIP() << "needs root to run as another user";
  const std::vector<uint8_t> src = BigNoise();
  // The other user may have no more tasks than the child itself, so std::thread
  // throws std::system_error there.
  const auto out = test::RunAsOtherUser([&]() -> std::string {
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_NPROC, &none) != 0) return "setrlimit failed";
    try {
      std::thread t([] {});
      t.join();
      return "a thread could still be started";
    } catch (const std::system_error&) {
    }
    return EveryKernelAgrees(src);
  });
  EXPECT_TRUE(out.Exited()) << "child status " << out.status;
  EXPECT_EQ(out.text, "");
}

}  // namespace
}  // namespace hw
