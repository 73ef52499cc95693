// Throughput of the per-pixel kernels (usage counting and index remapping) on
// 4096 x 4096 pictures of several content classes, with memcpy of the same size
// as the reference figure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "pixels/histogram.h"
#include "pixels/remap.h"
#include "pixels/tiles.h"

namespace {

constexpr int kSide = 4096;
constexpr size_t kSize = static_cast<size_t>(kSide) * kSide;

enum Content { kPhoto, kCartoon, kRandom, kWorst, kFlat };

std::vector<uint8_t> MakePicture(Content content) {
  std::vector<uint8_t> px(kSize);
  std::mt19937 rng(1234);
  switch (content) {
    case kPhoto: {
      // A smooth field of gradients and waves plus a little noise.
      std::uniform_int_distribution<int> noise(-3, 3);
      for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
          const double v = 128 + 60 * std::sin(x / 300.0) * std::cos(y / 410.0) + (x + y) / 128.0;
          px[static_cast<size_t>(y) * kSide + x] =
              static_cast<uint8_t>(std::clamp(static_cast<int>(v) + noise(rng), 0, 255));
        }
      }
      break;
    }
    case kCartoon: {
      // A background and a few hundred flat rectangles and discs.
      std::fill(px.begin(), px.end(), uint8_t{17});
      std::uniform_int_distribution<int> pos(0, kSide - 1), len(40, 900), idx(0, 255);
      for (int s = 0; s < 300; ++s) {
        const int x0 = pos(rng), y0 = pos(rng), w = len(rng), h = len(rng);
        const uint8_t c = static_cast<uint8_t>(idx(rng));
        const bool disc = (s % 2) == 1;
        for (int y = y0; y < std::min(kSide, y0 + h); ++y) {
          for (int x = x0; x < std::min(kSide, x0 + w); ++x) {
            if (disc) {
              const double dx = (x - x0 - w / 2.0) / (w / 2.0), dy = (y - y0 - h / 2.0) / (h / 2.0);
              if (dx * dx + dy * dy > 1) continue;
            }
            px[static_cast<size_t>(y) * kSide + x] = c;
          }
        }
      }
      break;
    }
    case kRandom: {
      std::uniform_int_distribution<int> idx(0, 255);
      for (auto& p : px) p = static_cast<uint8_t>(idx(rng));
      break;
    }
    case kWorst: {
      // Only indices 192..255 and never two equal neighbours.
      std::uniform_int_distribution<int> idx(192, 255);
      int prev = -1;
      for (auto& p : px) {
        int v;
        do {
          v = idx(rng);
        } while (v == prev);
        p = static_cast<uint8_t>(v);
        prev = v;
      }
      break;
    }
    case kFlat:
      std::fill(px.begin(), px.end(), uint8_t{42});
      break;
  }
  return px;
}

const std::vector<uint8_t>& Picture(Content content) {
  static std::vector<uint8_t> cache[5];
  auto& v = cache[content];
  if (v.empty()) v = MakePicture(content);
  return v;
}

void BM_Memcpy(benchmark::State& state) {
  const auto& src = Picture(kRandom);
  std::vector<uint8_t> dst(kSize);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), kSize);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

void BM_Histo(benchmark::State& state) {
  const auto& src = Picture(static_cast<Content>(state.range(0)));
  hw::UsageCounts histo{};
  for (auto _ : state) {
    hw::ComputeHisto(histo, src);
    benchmark::DoNotOptimize(histo.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

// Each counting kernel on every content class; a kernel this processor lacks is skipped.
void BM_HistoKernel(benchmark::State& state) {
  const auto& src = Picture(static_cast<Content>(state.range(1)));
  const auto kernel = static_cast<hw::HistoKernel>(state.range(0));
  hw::UsageCounts histo{};
  if (!hw::ComputeHistoWith(kernel, histo, src)) {
    state.SkipWithError("kernel not supported on this processor");
    return;
  }
  for (auto _ : state) {
    hw::ComputeHistoWith(kernel, histo, src);
    benchmark::DoNotOptimize(histo.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

void BM_Remap(benchmark::State& state) {
  const auto& src = Picture(static_cast<Content>(state.range(0)));
  std::vector<uint8_t> dst(kSize);
  hw::IndexLut lut;
  std::iota(lut.begin(), lut.end(), uint8_t{0});
  std::shuffle(lut.begin(), lut.end(), std::mt19937(99));
  for (auto _ : state) {
    hw::RemapPixels(src, dst, lut);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

// Each remap kernel on random content, to compare the fallbacks with the
// dispatched one; a kernel this processor lacks is skipped.
void BM_RemapKernel(benchmark::State& state) {
  const auto& src = Picture(kRandom);
  std::vector<uint8_t> dst(kSize);
  hw::IndexLut lut;
  std::iota(lut.begin(), lut.end(), uint8_t{0});
  std::shuffle(lut.begin(), lut.end(), std::mt19937(99));
  const auto kernel = static_cast<hw::RemapKernel>(state.range(0));
  if (!hw::RemapPixelsWith(kernel, src, dst, lut)) {
    state.SkipWithError("kernel not supported on this processor");
    return;
  }
  for (auto _ : state) {
    hw::RemapPixelsWith(kernel, src, dst, lut);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

// The bank check of 8 x 8 tiles against one remap of the same 8192 x 8192 picture
// (four 4096 x 4096 pictures of the class side by side), both timed in every
// iteration; ratio is check / remap. The check must stay within 2x the remap.
void BM_TilesAgainstRemap(benchmark::State& state) {
  const auto& quarter = Picture(static_cast<Content>(state.range(0)));
  constexpr int kBig = 2 * kSide;
  std::vector<uint8_t> src(static_cast<size_t>(kBig) * kBig), dst(src.size());
  for (int y = 0; y < kBig; ++y) {
    for (int half = 0; half < 2; ++half) {
      std::memcpy(&src[static_cast<size_t>(y) * kBig + static_cast<size_t>(half) * kSide],
                  &quarter[static_cast<size_t>(y % kSide) * kSide], kSide);
    }
  }
  hw::IndexLut lut;
  std::iota(lut.begin(), lut.end(), uint8_t{0});
  std::shuffle(lut.begin(), lut.end(), std::mt19937(99));
  hw::RemapPixels(src, dst, lut);  // dst's pages are touched before the timing
  double tiles_s = 0, remap_s = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    hw::RemapPixels(src, dst, lut);
    benchmark::ClobberMemory();
    const auto t1 = std::chrono::steady_clock::now();
    const hw::TileBanks banks = hw::CheckTiles(src, kBig, kBig, hw::TileCheckOptions{});
    benchmark::DoNotOptimize(banks.mixed);
    const auto t2 = std::chrono::steady_clock::now();
    remap_s += std::chrono::duration<double>(t1 - t0).count();
    tiles_s += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
  }
  state.counters["remap_ms"] = 1e3 * remap_s / static_cast<double>(state.iterations());
  state.counters["ratio"] = tiles_s / remap_s;
}

void Classes(benchmark::internal::Benchmark* b) {
  b->ArgName("content");
  for (int c = kPhoto; c <= kFlat; ++c) b->Arg(c);
}

}  // namespace

BENCHMARK(BM_Memcpy)->UseRealTime();
// content: 0 photo-like, 1 cartoon, 2 random, 3 worst, 4 flat
// Wall-clock time: counting and remapping use a second core on large pictures.
BENCHMARK(BM_Histo)->Apply(Classes)->UseRealTime();
// kernel: 1 portable, 2 AVX-512 bit-sliced
BENCHMARK(BM_HistoKernel)
    ->ArgNames({"kernel", "content"})
    ->ArgsProduct({{1, 2}, {kPhoto, kCartoon, kRandom, kWorst, kFlat}})
    ->UseRealTime();
BENCHMARK(BM_Remap)->Apply(Classes)->UseRealTime();
// kernel: 1 portable, 2 AVX2, 3 AVX-512 VBMI
BENCHMARK(BM_RemapKernel)->ArgName("kernel")->Arg(1)->Arg(2)->Arg(3)->UseRealTime();

// content as above; wall-clock time of the check
BENCHMARK(BM_TilesAgainstRemap)->Apply(Classes)->UseManualTime()->Iterations(9);

BENCHMARK_MAIN();
