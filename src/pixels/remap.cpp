// Pixel remapping through a 256-entry table. Three kernels, chosen once at run
// time: AVX-512 VBMI looks up 64 pixels with two 128-entry byte permutes; AVX2
// looks up 32 pixels through sixteen 16-entry shuffles; the portable kernel
// assembles eight looked-up bytes into one 64-bit store. Every kernel reads a
// block before writing it, so src and dst may be the very same buffer.
#include "pixels/remap.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/faults.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define HW_REMAP_X86 1
#include <immintrin.h>
#else
#define HW_REMAP_X86 0
#endif

namespace hw {

namespace {

using Kernel = void (*)(const uint8_t*, uint8_t*, size_t, const IndexLut&);

void RemapScalar(const uint8_t* src, uint8_t* dst, size_t n, const IndexLut& lut) {
  for (size_t i = 0; i < n; ++i) dst[i] = lut[src[i]];
}

void RemapPortable(const uint8_t* src, uint8_t* dst, size_t n, const IndexLut& lut) {
  const uint8_t* t = lut.data();
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    uint64_t a, b;
    std::memcpy(&a, src + i, 8);
    std::memcpy(&b, src + i + 8, 8);
    uint64_t ra = 0, rb = 0;
    for (int k = 0; k < 64; k += 8) {
      ra |= static_cast<uint64_t>(t[(a >> k) & 0xff]) << k;
      rb |= static_cast<uint64_t>(t[(b >> k) & 0xff]) << k;
    }
    std::memcpy(dst + i, &ra, 8);
    std::memcpy(dst + i + 8, &rb, 8);
  }
  RemapScalar(src + i, dst + i, n - i, lut);
}

#if HW_REMAP_X86

__attribute__((target("avx2"))) void RemapAvx2(const uint8_t* src, uint8_t* dst, size_t n,
                                               const IndexLut& lut) {
  // Sixteen 16-entry slices of the table, each in both 128-bit lanes.
  __m256i slice[16];
  for (int k = 0; k < 16; ++k) {
    slice[k] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(lut.data() + 16 * k)));
  }
  const __m256i bias = _mm256_set1_epi8(0x70);
  const __m256i step = _mm256_set1_epi8(16);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    __m256i r = _mm256_setzero_si256();
    for (int k = 0; k < 16; ++k) {
      // x holds pixel - 16k. Adding 0x70 with unsigned saturation leaves bit 7
      // clear exactly for values 0..15, so the shuffle yields slice k's entry
      // there and zero everywhere else.
      r = _mm256_or_si256(r, _mm256_shuffle_epi8(slice[k], _mm256_adds_epu8(x, bias)));
      x = _mm256_sub_epi8(x, step);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), r);
  }
  RemapPortable(src + i, dst + i, n - i, lut);
}

#define HW_AVX512_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct Table512 {
  __m512i t0, t1, t2, t3;
};

HW_AVX512_TARGET inline __m512i Lookup512(const Table512& t, __m512i x) {
  // Bits 0..6 pick one of 128 entries from each half; bit 7 picks the half.
  const __m512i lo = _mm512_permutex2var_epi8(t.t0, x, t.t1);
  const __m512i hi = _mm512_permutex2var_epi8(t.t2, x, t.t3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
}

HW_AVX512_TARGET void RemapAvx512(const uint8_t* src, uint8_t* dst, size_t n, const IndexLut& lut) {
  const Table512 t{_mm512_loadu_si512(lut.data()), _mm512_loadu_si512(lut.data() + 64),
                   _mm512_loadu_si512(lut.data() + 128), _mm512_loadu_si512(lut.data() + 192)};
  size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    const __m512i a = _mm512_loadu_si512(src + i);
    const __m512i b = _mm512_loadu_si512(src + i + 64);
    _mm512_storeu_si512(dst + i, Lookup512(t, a));
    _mm512_storeu_si512(dst + i + 64, Lookup512(t, b));
  }
  for (; i < n; i += 64) {
    const size_t left = std::min<size_t>(64, n - i);
    const __mmask64 m = left == 64 ? ~__mmask64{0} : ((__mmask64{1} << left) - 1);
    const __m512i a = _mm512_maskz_loadu_epi8(m, src + i);
    _mm512_mask_storeu_epi8(dst + i, m, Lookup512(t, a));
  }
}

bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
bool HasAvx512() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi");
}

#else

bool HasAvx2() { return false; }
bool HasAvx512() { return false; }

#endif

Kernel Select(RemapKernel kernel) {
  switch (kernel) {
    case RemapKernel::Portable:
      return RemapPortable;
#if HW_REMAP_X86
    case RemapKernel::Avx2:
      return HasAvx2() ? RemapAvx2 : nullptr;
    case RemapKernel::Avx512:
      return HasAvx512() ? RemapAvx512 : nullptr;
    case RemapKernel::Auto:
      return HasAvx512() ? RemapAvx512 : (HasAvx2() ? RemapAvx2 : RemapPortable);
#else
    case RemapKernel::Avx2:
    case RemapKernel::Avx512:
      return nullptr;
    case RemapKernel::Auto:
      return RemapPortable;
#endif
  }
  return nullptr;
}

void Run(Kernel kernel, std::span<const uint8_t> src, std::span<uint8_t> dst, const IndexLut& lut) {
  const size_t n = std::min(src.size(), dst.size());
  if (n == 0) return;
  const uint8_t* s = src.data();
  uint8_t* d = dst.data();
  // Blocks are read before they are written, which is right for the same buffer
  // or for disjoint ones. Any other overlap keeps the one-pixel-at-a-time order.
  const bool overlap = d != s && d < s + n && s < d + n;
  if (overlap) {
    RemapScalar(s, d, n, lut);
    return;
  }
  // A large picture is remapped on two cores; each piece only reads and writes its
  // own bytes, so this holds for the same buffer too. The cores take pieces in turn
  // rather than a fixed half each: a helper that starts late (its core asleep, or
  // busy) leaves its share to this one instead of holding it up.
  constexpr size_t kSplitAbove = size_t{1} << 22;
  if (n >= kSplitAbove && std::thread::hardware_concurrency() >= 2) {
    constexpr size_t kPiece = size_t{1} << 18;
    std::atomic<size_t> next{0};
    auto take = [&] {
      for (size_t at; (at = next.fetch_add(kPiece)) < n;)
        kernel(s + at, d + at, std::min(kPiece, n - at), lut);
    };
    std::thread helper;
    try {
      helper = StartThread(take);
    } catch (const std::system_error&) {
      // No second thread to be had (process or memory limits): this one takes
      // every piece, with the same result.
    }
    take();
    if (helper.joinable()) helper.join();
  } else {
    kernel(s, d, n, lut);
  }
}

}  // namespace

void RemapPixels(std::span<const uint8_t> src, std::span<uint8_t> dst, const IndexLut& lut) {
  static const Kernel best = Select(RemapKernel::Auto);
  Run(best, src, dst, lut);
}

bool RemapPixelsWith(RemapKernel kernel, std::span<const uint8_t> src, std::span<uint8_t> dst,
                     const IndexLut& lut) {
  const Kernel k = Select(kernel);
  if (k == nullptr) return false;
  Run(k, src, dst, lut);
  return true;
}

}  // namespace hw
