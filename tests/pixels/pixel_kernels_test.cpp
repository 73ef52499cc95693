// Usage counting and index remapping against plain one-pixel loops: every kernel
// the processor has, every alignment and ragged end, in place, on one core when no
// second thread can be started, and never past the end of a short destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <numeric>
#include <random>
#include <vector>

#include "base/faults.h"
#include "pixels/histogram.h"
#include "pixels/remap.h"
#include "pixels/tiles.h"

namespace hw {
namespace {

using Pixels = std::vector<uint8_t>;

Pixels Noise(size_t n, uint32_t seed) {
  Pixels v(n);
  std::generate(v.begin(), v.end(), std::mt19937(seed));
  return v;
}

UsageCounts PlainCount(std::span<const uint8_t> px) {
  UsageCounts h{};
  for (uint8_t p : px) ++h[p];
  return h;
}

constexpr HistoKernel kHistoKernels[] = {HistoKernel::Auto, HistoKernel::Portable,
                                         HistoKernel::Avx512};
constexpr RemapKernel kRemapKernels[] = {RemapKernel::Auto, RemapKernel::Portable,
                                         RemapKernel::Avx2, RemapKernel::Avx512};

// Content for the block-wise kernel: flat blocks of one index (sometimes 0 or 255)
// between mixed ones, one pixel differing at a block's very end, two far-apart
// indices, a narrow range.
Pixels BlockPatterns() {
  Pixels px;
  std::mt19937 rng(6);
  for (int block = 0; block < 80; ++block) {
    Pixels b(512, static_cast<uint8_t>(rng()));
    if (block % 5 == 0) std::fill(b.begin(), b.end(), static_cast<uint8_t>(block % 10 ? 255 : 0));
    if (block % 5 == 1) b.back() ^= 0x80;
    for (size_t i = 0; block % 5 == 2 && i < b.size(); ++i) b[i] = (i * 7 % 3) ? 3 : 250;
    for (size_t i = 0; block % 5 == 3 && i < b.size(); ++i)
      b[i] = static_cast<uint8_t>(100 + rng() % 20);
    px.insert(px.end(), b.begin(), b.end());
  }
  return px;
}

TEST(Histogram, EveryKernelMatchesPlainCountOnEveryKindOfContent) {
  Pixels runs(50000), mixed = Noise(40000, 2);
  for (size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<uint8_t>((i / 37) * 11);
  for (size_t i = 0; i < mixed.size(); i += 29)
    std::fill_n(mixed.begin() + i, std::min<size_t>(13, mixed.size() - i), 0);
  // The last is large enough to be counted in two halves on two cores, with an odd length.
  const std::vector<Pixels> contents = {Noise(100003, 1),
                                        Pixels(70001, 200),
                                        runs,
                                        mixed,
                                        BlockPatterns(),
                                        Noise((size_t{1} << 22) + 12345, 4)};
  const Pixels noise = Noise(3 * 8192 + 1024, 7);
  for (HistoKernel k : kHistoKernels) {
    // Every start offset and a ragged end exercise the block loops and their tails.
    for (const auto& px : contents) {
      for (size_t off = 0; off < 9; ++off) {
        std::span<const uint8_t> s(px.data() + off, px.size() - off - (off % 3));
        UsageCounts h{};
        if (!ComputeHistoWith(k, h, s)) break;  // not on this processor
        ASSERT_EQ(h, PlainCount(s)) << "kernel " << int(k) << " offset " << off;
      }
    }
    // Lengths around the block (512) and chunk (8192) sizes, and stale counts cleared.
    for (size_t len : {0, 1, 511, 512, 513, 8191, 8192, 8193, 16384 + 512}) {
      UsageCounts h;
      h.fill(99);
      if (!ComputeHistoWith(k, h, std::span(noise.data(), len))) break;
      ASSERT_EQ(h, PlainCount(std::span(noise.data(), len)))
          << "kernel " << int(k) << " length " << len;
    }
  }
}

TEST(Remap, EveryKernelMatchesPlainLoopIntoAnotherBufferAndInPlace) {
  const Pixels src = Noise(4099, 3);
  IndexLut lut;
  std::iota(lut.begin(), lut.end(), uint8_t{0});
  std::shuffle(lut.begin(), lut.end(), std::mt19937(5));
  for (RemapKernel k : kRemapKernels) {
    for (size_t off : {0, 1, 3, 7, 31, 63}) {
      for (size_t len : {0, 1, 7, 8, 15, 16, 31, 33, 64, 127, 129, 1000, 4000}) {
        Pixels dst(len + 2 * off + 1, 0xAB), same = src;
        std::span<const uint8_t> in(src.data() + off, len);
        if (!RemapPixelsWith(k, in, std::span(dst.data() + off, len), lut)) break;
        RemapPixelsWith(k, std::span<const uint8_t>(same.data() + off, len),
                        std::span(same.data() + off, len), lut);
        for (size_t i = 0; i < dst.size(); ++i) {
          const bool inside = i >= off && i < off + len;
          ASSERT_EQ(dst[i], inside ? lut[src[i]] : 0xAB) << int(k) << " " << off << " " << len;
          if (i < src.size()) {
            ASSERT_EQ(same[i], inside ? lut[src[i]] : src[i]) << int(k) << " in place";
          }
        }
      }
    }
  }
  // A shifted overlap behaves like the one-pixel-at-a-time loop; a short destination
  // is never overrun.
  Pixels a = Noise(300, 6), b = a;
  RemapPixels(std::span<const uint8_t>(a.data(), 200), std::span(a.data() + 3, 200), lut);
  for (size_t i = 0; i < 200; ++i) b[i + 3] = lut[b[i]];
  EXPECT_EQ(a, b);
  IndexLut nines;
  nines.fill(9);
  Pixels dst(50, 0);
  RemapPixels(Pixels(100, 1), std::span(dst.data(), 40), nines);
  EXPECT_EQ(std::count(dst.begin(), dst.end(), 9), 40);
}

// Each tile's banks against a pass over its pixels, for every kernel: pictures drawn
// in banks with stray pixels and zeros, ragged right and bottom edges at every
// width past a whole vector, tiles 8 wide (the word-writing kernels) and not, banks
// of 16 and 4, shared zeros on and off; the large one is checked on two cores.
TEST(Tiles, EveryKernelFindsTheBanksAPlainPassFinds) {
  std::mt19937 rng(17);
  struct Size {
    int w, h, tw, th;
  };
  for (const Size z : {Size{200, 37, 8, 8}, Size{131, 20, 8, 3}, Size{71, 9, 5, 3},
                       Size{64, 8, 8, 8}, Size{9, 30, 1, 1}, Size{2053, 2049, 8, 8}}) {
    Pixels px(size_t(z.w) * size_t(z.h));
    for (int y = 0; y < z.h; ++y) {
      for (int x = 0; x < z.w; ++x) {
        const int roll = int(rng() % 64);
        const int base = ((x / 8 + y / 8) % 16) * 16;
        px[size_t(y) * size_t(z.w) + size_t(x)] = uint8_t(roll == 0  ? rng()
                                                          : roll < 8 ? base
                                                                     : base + roll % 16);
      }
    }
    for (int bank : {16, 4}) {
      for (bool shared : {false, true}) {
        const TileCheckOptions o{z.tw, z.th, bank, shared};
        const int cols = (z.w + z.tw - 1) / z.tw, rows = (z.h + z.th - 1) / z.th;
        std::vector<uint64_t> want(size_t(cols) * size_t(rows), 0);
        int64_t mixed = 0;
        for (int y = 0; y < z.h; ++y) {
          for (int x = 0; x < z.w; ++x) {
            const int v = px[size_t(y) * size_t(z.w) + size_t(x)];
            if (shared && v % bank == 0) continue;
            want[size_t(y / z.th) * size_t(cols) + size_t(x / z.tw)] |= uint64_t{1} << (v / bank);
          }
        }
        for (uint64_t b : want) mixed += std::popcount(b) > 1;
        for (TileKernel k :
             {TileKernel::Auto, TileKernel::Portable, TileKernel::Avx2, TileKernel::Avx512}) {
          const auto got = CheckTilesWith(k, px, z.w, z.h, o);
          if (!got) continue;
          EXPECT_EQ(
              std::tuple(got->columns, got->rows,
                         std::vector<uint64_t>(got->banks.begin(), got->banks.end()), got->mixed),
              std::tuple(cols, rows, want, mixed))
              << "kernel " << int(k) << ", " << z.w << " x " << z.h << ", bank " << bank
              << (shared ? ", shared zeros" : "");
        }
      }
    }
  }
}

// The two-core paths give the plain loops' result, and so does one core when no
// second thread can be started: never, or only the first.
TEST(ThreadFallback, InjectedThreadStartFailuresGiveTheSameResult) {
  Pixels src((size_t{1} << 22) + 4099);
  std::generate(src.begin(), src.end(), std::mt19937(11));
  IndexLut lut;
  for (int i = 0; i < 256; ++i) lut[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 37 + 5);
  Pixels want(src.size());
  for (size_t i = 0; i < src.size(); ++i) want[i] = lut[src[i]];
  for (long after : {-1L, 0L, 1L, 3L}) {
    faults::FailThreadStartsAfter(after);
    for (RemapKernel k : kRemapKernels) {
      Pixels dst(src.size()), same = src;
      if (!RemapPixelsWith(k, src, dst, lut)) continue;
      RemapPixelsWith(k, same, same, lut);
      EXPECT_TRUE(dst == want && same == want) << "remap kernel " << int(k) << ", after " << after;
    }
    for (HistoKernel k : kHistoKernels) {
      UsageCounts h{};
      if (ComputeHistoWith(k, h, src)) {
        EXPECT_EQ(h, PlainCount(src)) << int(k) << ", after " << after;
      }
    }
    faults::Reset();
  }
}

}  // namespace
}  // namespace hw
