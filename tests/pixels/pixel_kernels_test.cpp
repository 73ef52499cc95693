// Usage counting and index remapping, checked against plain one-pixel loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "pixels/histogram.h"
#include "pixels/remap.h"

namespace hw {
namespace {

UsageCounts PlainCount(std::span<const uint8_t> px) {
  UsageCounts h{};
  for (uint8_t p : px) ++h[p];
  return h;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  std::generate(v.begin(), v.end(), std::mt19937(seed));
  return v;
}

TEST(Histogram, SmallPictureAndEmptySlots) {
  UsageCounts h, want{};
  h.fill(99);  // stale counts from an earlier picture
  ComputeHisto(h, std::vector<uint8_t>{3, 3, 7, 255});
  want[3] = 2, want[7] = want[255] = 1;
  EXPECT_EQ(h, want);
  ComputeHisto(h, {});  // no picture: every count 0
  EXPECT_EQ(h, UsageCounts{});
  h.fill(5);
  ClearHisto(h);
  EXPECT_EQ(h, UsageCounts{});
}

// Content for the block-wise kernel: flat blocks of one index between mixed ones,
// two far-apart indices per block, and ranges touching index 0 and index 255.
std::vector<uint8_t> BlockPatterns() {
  std::vector<uint8_t> px;
  std::mt19937 rng(6);
  for (int block = 0; block < 80; ++block) {
    std::vector<uint8_t> b(512, static_cast<uint8_t>(rng()));
    switch (block % 5) {
      case 0:  // one index, sometimes 0 or 255
        std::fill(b.begin(), b.end(), static_cast<uint8_t>(block % 10 == 0 ? 0 : 255));
        break;
      case 1:  // one pixel differs, at the very end
        b.back() ^= 0x80;
        break;
      case 2:  // two indices in the lowest and highest groups
        for (size_t i = 0; i < b.size(); ++i) b[i] = (i * 7 % 3) ? 3 : 250;
        break;
      case 3:  // a narrow range
        for (auto& p : b) p = static_cast<uint8_t>(100 + rng() % 20);
        break;
      default:  // already one index
        break;
    }
    px.insert(px.end(), b.begin(), b.end());
  }
  return px;
}

TEST(Histogram, EveryKernelMatchesPlainCountOnEveryKindOfContent) {
  std::vector<uint8_t> runs(50000), mixed = Noise(40000, 2);
  for (size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<uint8_t>((i / 37) * 11);
  // Runs of eight and odd runs mixed in.
  for (size_t i = 0; i < mixed.size(); i += 29)
    std::fill_n(mixed.begin() + i, std::min<size_t>(13, mixed.size() - i), 0);
  // The last is large enough to be counted in two halves on two cores, with an odd length.
  const std::vector<std::vector<uint8_t>> contents = {
      Noise(100003, 1), std::vector<uint8_t>(70001, 200),   runs, mixed,
      BlockPatterns(),  Noise((size_t{1} << 22) + 12345, 4)};
  for (HistoKernel k : {HistoKernel::Auto, HistoKernel::Portable, HistoKernel::Avx512}) {
    for (const auto& px : contents) {
      // Every start offset and a ragged end exercise the block loops and their tails.
      for (size_t off = 0; off < 9; ++off) {
        std::span<const uint8_t> s(px.data() + off, px.size() - off - (off % 3));
        UsageCounts h{};
        if (!ComputeHistoWith(k, h, s)) break;  // not on this processor
        ASSERT_EQ(h, PlainCount(s)) << "kernel " << int(k) << " offset " << off;
      }
    }
    // Lengths around the block (512) and chunk (8192) sizes.
    const std::vector<uint8_t> noise = Noise(3 * 8192 + 1024, 7);
    for (size_t len : {size_t{0}, size_t{1}, size_t{511}, size_t{512}, size_t{513}, size_t{8191},
                       size_t{8192}, size_t{8193}, size_t{16384 + 512}, noise.size()}) {
      std::span<const uint8_t> s(noise.data(), len);
      UsageCounts h{};
      if (!ComputeHistoWith(k, h, s)) break;
      ASSERT_EQ(h, PlainCount(s)) << "kernel " << int(k) << " length " << len;
    }
  }
}

TEST(Remap, EveryKernelMatchesPlainLoop) {
  const std::vector<uint8_t> src = Noise(4099, 3);
  IndexLut lut;
  std::iota(lut.begin(), lut.end(), uint8_t{0});
  std::shuffle(lut.begin(), lut.end(), std::mt19937(5));
  for (RemapKernel k :
       {RemapKernel::Auto, RemapKernel::Portable, RemapKernel::Avx2, RemapKernel::Avx512}) {
    for (size_t off : {0, 1, 3, 7, 31, 63}) {
      for (size_t len : {0, 1, 7, 8, 15, 16, 31, 33, 64, 127, 129, 1000, 4000}) {
        std::vector<uint8_t> dst(len + 2 * off + 1, 0xAB);
        std::span<const uint8_t> in(src.data() + off, len);
        if (!RemapPixelsWith(k, in, std::span<uint8_t>(dst.data() + off, len), lut)) break;
        for (size_t i = 0; i < dst.size(); ++i) {
          const uint8_t want = (i >= off && i < off + len) ? lut[src[i]] : 0xAB;
          ASSERT_EQ(dst[i], want) << "kernel " << int(k) << " off " << off << " len " << len;
        }
      }
    }
  }
}

TEST(Remap, InPlaceAndOverlapping) {
  IndexLut lut;
  for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint8_t>(255 - i);
  for (RemapKernel k : {RemapKernel::Portable, RemapKernel::Avx2, RemapKernel::Avx512}) {
    std::vector<uint8_t> buf = Noise(1001, 4);
    const std::vector<uint8_t> before = buf;
    if (!RemapPixelsWith(k, std::span<const uint8_t>(buf.data() + 1, 999),
                         std::span<uint8_t>(buf.data() + 1, 999), lut)) {
      continue;
    }
    for (size_t i = 0; i < buf.size(); ++i) {
      const uint8_t want = (i >= 1 && i < 1000) ? lut[before[i]] : before[i];
      ASSERT_EQ(buf[i], want) << int(k) << " " << i;
    }
  }
  // A shifted overlap behaves like the one-pixel-at-a-time loop.
  std::vector<uint8_t> a = Noise(300, 6), b = a;
  RemapPixels(std::span<const uint8_t>(a.data(), 200), std::span<uint8_t>(a.data() + 3, 200), lut);
  for (size_t i = 0; i < 200; ++i) b[i + 3] = lut[b[i]];
  EXPECT_EQ(a, b);
}

TEST(Remap, ShortDestinationIsNeverOverrun) {
  IndexLut lut{};
  lut.fill(9);
  const std::vector<uint8_t> src(100, 1);
  std::vector<uint8_t> dst(50, 0);
  RemapPixels(src, std::span<uint8_t>(dst.data(), 40), lut);
  EXPECT_EQ(std::count(dst.begin(), dst.end(), 9), 40);
}

}  // namespace
}  // namespace hw
