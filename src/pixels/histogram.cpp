// Usage counts. Processors with AVX-512 count bit-sliced (histogram_avx512.cpp);
// the portable kernel below counts into tables. It spreads consecutive pixels over several
// sub-histograms: with a single table, a run of equal pixels makes every
// increment wait for the store of the one before it. Sixteen bytes are read at
// a time as two words whose bytes go to the eight sub-tables in an interleaved
// order; sixteen equal pixels (flat areas) are counted in one step.
#include "pixels/histogram.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/faults.h"
#include "pixels/histogram_kernels.h"

namespace hw {

namespace {

constexpr int kTables = 8;
// Sub-tables are 1088 bytes apart (an odd number of cache lines) rather than
// 1 KiB, so the same index in two sub-tables never shares its offset within a
// 4 KiB page and a load from one is not taken as depending on a store to the other.
constexpr int kStride = 272;
using SubCounts = uint32_t[kTables][kStride];

// Counts n pixels (n < 2^32 / 16 keeps every sub-count below 2^32) into t.
void CountInto(const uint8_t* p, size_t n, SubCounts& t) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    uint64_t w, u;
    std::memcpy(&w, p + i, 8);
    std::memcpy(&u, p + i + 8, 8);
    if (w == u && w == (w & 0xff) * kOnes) {
      t[0][w & 0xff] += 16;
      continue;
    }
    ++t[0][w & 0xff];
    ++t[1][(w >> 8) & 0xff];
    ++t[2][(w >> 16) & 0xff];
    ++t[3][(w >> 24) & 0xff];
    ++t[4][u & 0xff];
    ++t[5][(u >> 8) & 0xff];
    ++t[6][(u >> 16) & 0xff];
    ++t[7][(u >> 24) & 0xff];
    ++t[0][(w >> 32) & 0xff];
    ++t[1][(w >> 40) & 0xff];
    ++t[2][(w >> 48) & 0xff];
    ++t[3][w >> 56];
    ++t[4][(u >> 32) & 0xff];
    ++t[5][(u >> 40) & 0xff];
    ++t[6][(u >> 48) & 0xff];
    ++t[7][u >> 56];
  }
  for (; i < n; ++i) ++t[0][p[i]];
}

}  // namespace

void ClearHisto(UsageCounts& histo) {
  for (int i = 0; i < 256; ++i) histo[static_cast<size_t>(i)] = 0;
}

namespace detail {

// Counts a stretch of pixels into 64-bit totals, in chunks small enough that no
// 32-bit sub-count can wrap.
void CountPortable(const uint8_t* p, size_t left, CountTotals& total) {
  alignas(64) SubCounts t;
  while (left > 0) {
    const size_t chunk = std::min<size_t>(left, size_t{1} << 28);
    std::memset(t, 0, sizeof t);
    CountInto(p, chunk, t);
    for (int v = 0; v < 256; ++v) {
      for (int k = 0; k < kTables; ++k) total[static_cast<size_t>(v)] += t[k][v];
    }
    p += chunk;
    left -= chunk;
  }
}

}  // namespace detail

namespace {

detail::CountKernel Select(HistoKernel kernel) {
  switch (kernel) {
    case HistoKernel::Portable:
      return detail::CountPortable;
    case HistoKernel::Avx512:
      return detail::CountAvx512Kernel();
    case HistoKernel::Auto: {
      const detail::CountKernel fast = detail::CountAvx512Kernel();
      return fast != nullptr ? fast : detail::CountPortable;
    }
  }
  return nullptr;
}

void Count(detail::CountKernel kernel, UsageCounts& histo, std::span<const uint8_t> pixels) {
  ClearHisto(histo);
  detail::CountTotals total{};
  // Counting is bound by the processor, not by memory: on a large picture a
  // second core helps. The cores take pieces in turn rather than a fixed half
  // each, so one slowed by other work does not hold the other up.
  constexpr size_t kSplitAbove = size_t{1} << 22;
  const uint8_t* p = pixels.data();
  const size_t n = pixels.size();
  if (n >= kSplitAbove && std::thread::hardware_concurrency() >= 2) {
    constexpr size_t kPiece = size_t{1} << 18;
    std::atomic<size_t> next{0};
    auto take = [&](detail::CountTotals& into) {
      for (size_t at; (at = next.fetch_add(kPiece)) < n;)
        kernel(p + at, std::min(kPiece, n - at), into);
    };
    detail::CountTotals second{};
    std::thread helper;
    try {
      helper = StartThread([&] { take(second); });
    } catch (const std::system_error&) {
      // No second thread to be had: this one takes every piece.
    }
    take(total);
    if (helper.joinable()) {
      helper.join();
      for (int v = 0; v < 256; ++v) total[static_cast<size_t>(v)] += second[static_cast<size_t>(v)];
    }
  } else {
    kernel(p, n, total);
  }
  histo = total;
}

}  // namespace

void ComputeHisto(UsageCounts& histo, std::span<const uint8_t> pixels) {
  static const detail::CountKernel best = Select(HistoKernel::Auto);
  Count(best, histo, pixels);
}

bool ComputeHistoWith(HistoKernel kernel, UsageCounts& histo, std::span<const uint8_t> pixels) {
  const detail::CountKernel k = Select(kernel);
  if (k == nullptr) return false;
  Count(k, histo, pixels);
  return true;
}

}  // namespace hw
