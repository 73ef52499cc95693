// Run-length kernels of the PCX codec: the portable block decoder, the choice of
// block decoder by instruction set, and the row encoder.
#include "formats/pictures/pcx_runs.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include "formats/pictures/pcx_internal.h"
#include "formats/pictures/pcx_runs_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hw {
namespace pcx_runs {
namespace {

// Word-at-a-time helpers. Bytes are taken in memory order, so on a big-endian
// machine words are swapped to keep "lowest bits = first byte".
uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}
int FirstByte(uint64_t bits) { return std::countr_zero(bits) >> 3; }  // 8 when none

void Copy16(uint8_t* d, const uint8_t* s) {
  uint64_t a, b;
  std::memcpy(&a, s, 8);
  std::memcpy(&b, s + 8, 8);
  std::memcpy(d, &a, 8);
  std::memcpy(d + 8, &b, 8);
}

std::atomic<int> g_widest_simd{static_cast<int>(pcx_internal::SimdLevel::kAvx512)};

bool SimdAllowed(pcx_internal::SimdLevel level) {
  return g_widest_simd.load(std::memory_order_relaxed) >= static_cast<int>(level);
}

#if defined(HW_PCX_SSSE3)
bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
  return has && SimdAllowed(pcx_internal::SimdLevel::kSsse3);
}

bool HasAvx512Compress() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2") &&
                          __builtin_cpu_supports("popcnt");
  return has && SimdAllowed(pcx_internal::SimdLevel::kAvx512);
}
#endif

// Decodes one block item by item (each literal stretch copied whole, each run
// filled whole); returns the number of source bytes used, which ends at an item
// boundary (early when the output runs out of room).
inline int DecodeBlockItems(const uint8_t* s, uint64_t markers, uint8_t*& d, uint8_t* dend) {
  int prev = 0;  // first byte of the block not yet decoded
  uint64_t m = markers;
  for (; m != 0; m &= m - 1) {
    if (dend - d < kRoom) return prev;
    const int j = std::countr_zero(m);
    const int len = j - prev;  // literals before this marker
    Copy16(d, s + prev);
    Copy16(d + 16, s + prev + 16);
    if (len > 32) std::memcpy(d + 32, s + prev + 32, static_cast<size_t>(len - 32));
    d += len;
    const unsigned count = s[j] - 0xC0u;
    Fill(d, s[j + 1], count);
    d += count;
    prev = j + 2;
  }
  if (prev < 64 && dend - d >= kRoom) {
    // Literals up to the end of the block.
    const int len = 64 - prev;
    Copy16(d, s + prev);
    Copy16(d + 16, s + prev + 16);
    if (len > 32) std::memcpy(d + 32, s + prev + 32, static_cast<size_t>(len - 32));
    d += len;
    prev = 64;
  }
  return prev;
}

void DecodeBlocks(const uint8_t*& s, const uint8_t* send, uint8_t*& d, uint8_t* dend) {
  while (send - s >= kBlockSource && dend - d >= kRoom) {
    const uint64_t markers = Markers64(HighMask64(s));
    if (markers == 0x5555555555555555ull && dend - d >= 32 + kRoom &&
        EscapedPairs(s, markers, ByteMask64(s, 0xC1), d)) {
      d += 32;
      s += 64;
      continue;
    }
    s += DecodeBlockItems(s, markers, d, dend);
  }
}

// Writes the literal bytes p[0..n), each value of 192 or more behind the escape
// C1. Branch-free per byte.
uint8_t* Literals(const uint8_t* p, int64_t n, uint8_t* o) {
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t v = p[i];
    const int high = v >= 0xC0;
    o[0] = 0xC1;
    o[high] = v;
    o += 1 + high;
  }
  return o;
}

// Bit i set when p[i] == p[i + 1], for i in 0..63 (reads p[0..64]).
uint64_t EqualMask64(const uint8_t* p) {
#if defined(__SSE2__)
  uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k + 1));
    mask |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)))} << (16 * k);
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= uint64_t{p[i] == p[i + 1]} << i;
  return mask;
#endif
}

// Literal pixels p[0..n), n <= 64, whose bytes of 192 or more are marked in
// `high` (bit i for p[i]). Whole stretches below 192 are copied and whole
// stretches above are interleaved with the escape 16 bytes at a time; only mixed
// stretches go byte by byte. May store up to 32 bytes past the end and read up to
// 32 bytes past p + n.
[[gnu::always_inline]] inline uint8_t* LiteralStretch(const uint8_t* p, int64_t n, uint64_t high,
                                                      uint8_t* o) {
  const uint64_t all = n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
  high &= all;
  // Short stretches are the common case: the first 32 pixels are handled with
  // fixed-size stores whatever n is, so no loop count has to be guessed.
  if (high == 0) {
    Copy16(o, p);
    Copy16(o + 16, p + 16);
    for (int64_t i = 32; i < n; i += 16) Copy16(o + i, p + i);
    return o + n;
  }
#if defined(__SSE2__)
  if (high == all) {
    const __m128i c1 = _mm_set1_epi8(char(0xC1));
    for (int64_t i = 0; i < 16 || i < n; i += 8) {
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * i), _mm_unpacklo_epi8(c1, v));
    }
    return o + 2 * n;
  }
#endif
#if defined(HW_PCX_SSSE3)
  if (HasSsse3()) return LiteralsSsse3(p, n, high, o);
#endif
  return Literals(p, n, o);
}

// Writes a run of n >= 1 pixels of value v: runs of 63 while more remain, then the
// rest as a run, or as a single pixel (escaped from 192 up).
uint8_t* Run(uint8_t v, int64_t n, uint8_t* o) {
  for (; n > 63; n -= 63) {
    o[0] = 0xFF;
    o[1] = v;
    o += 2;
  }
  if (n > 1 || v >= 0xC0) {
    o[0] = static_cast<uint8_t>(0xC0 + n);
    o[1] = v;
    return o + 2;
  }
  o[0] = v;
  return o + 1;
}

}  // namespace

uint8_t* DecodeAvailable(RleSource& src, uint8_t* d, uint8_t* const dend) {
  const uint8_t* s = src.pos;
  const uint8_t* const send = src.end;
  if (src.pending > 0 && d < dend) {
    const int64_t k = std::min<int64_t>(src.pending, dend - d);
    std::memset(d, src.value, static_cast<size_t>(k));
    d += k;
    src.pending -= static_cast<int>(k);
  }
  // Blocks of 64 source bytes while there is room; the rest item by item.
#if defined(HW_PCX_SSSE3)
  if (HasAvx512Compress()) {
    DecodeBlocksAvx512(s, send, d, dend);
  } else if (HasSsse3()) {
    DecodeBlocksSsse3(s, send, d, dend);
  } else {
    DecodeBlocks(s, send, d, dend);
  }
#else
  DecodeBlocks(s, send, d, dend);
#endif
  // The rest, one item at a time with every bound checked.
  while (d < dend && s < send) {
    const uint8_t b = *s;
    if (b < 0xC0) {
      *d++ = b;
      ++s;
      continue;
    }
    if (send - s < 2) break;
    const uint8_t v = s[1];
    s += 2;
    const int64_t k = std::min<int64_t>(b - 0xC0, dend - d);
    std::memset(d, v, static_cast<size_t>(k));
    d += k;
    src.value = v;
    src.pending = b - 0xC0 - static_cast<int>(k);
  }
  src.pos = s;
  return d;
}

// Number of bytes of 192 or more.
size_t CountHigh(std::span<const uint8_t> bytes) {
  size_t count = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i top = _mm_set1_epi8(char(0xC0));
  while (bytes.size() - i >= 16) {
    // Up to 255 blocks per partial sum, so no byte counter overflows.
    __m128i sums = _mm_setzero_si128();
    for (int k = 0; k < 255 && bytes.size() - i >= 16; ++k, i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
      sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(_mm_and_si128(x, top), top));
    }
    const __m128i total = _mm_sad_epu8(sums, _mm_setzero_si128());
    count += static_cast<size_t>(_mm_cvtsi128_si32(total)) +
             static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(total, 8)));
  }
#endif
  for (; i < bytes.size(); ++i) count += bytes[i] >= 0xC0;
  return count;
}

// One row of run-length data into o (room for 2 * len + 64 bytes); returns the
// end. A run is two or more equal pixels, at most 63, never crossing the row's end.
uint8_t* EncodeRow(const uint8_t* p, int64_t len, uint8_t* o) {
  int64_t x = 0;
  // Blocks of 64 pixels starting at an item boundary: the equal-neighbour and
  // high-value masks of the block give every run start at once; the literal
  // stretches between runs are written whole.
  while (len - x >= 96) {
    const uint8_t* b = p + x;
    const uint64_t eq = EqualMask64(b);
    const uint64_t high = HighMask64(b);
    int64_t prev = 0;
    while (prev < 64) {
      const uint64_t ahead = eq >> prev;
      if (ahead == 0) {
        o = LiteralStretch(b + prev, 64 - prev, high >> prev, o);
        prev = 64;
        break;
      }
      const int64_t a = prev + std::countr_zero(ahead);  // b[a] == b[a + 1]
      o = LiteralStretch(b + prev, a - prev, high >> prev, o);
      // Equal pixels from a: count the neighbour matches, then go on word by
      // word when they last to the end of the block.
      int64_t n = 1 + std::countr_zero(~(eq >> a));
      if (a + n > 64) {
        const uint8_t v = b[a];
        const uint64_t fill = v * kOnes;
        n = 65 - a;
        while (x + a + n + 8 <= len) {
          const uint64_t diff = Load64(b + a + n) ^ fill;
          if (diff != 0) {
            n += FirstByte(diff);
            goto counted;
          }
          n += 8;
        }
        while (x + a + n < len && b[a + n] == v) ++n;
      counted:;
      }
      o = Run(b[a], n, o);
      prev = a + n;
    }
    x += prev;
  }
  // The row's last pixels.
  while (x < len) {
    const uint8_t v = p[x];
    int64_t n = 1;
    while (x + n < len && p[x + n] == v) ++n;
    o = Run(v, n, o);
    x += n;
  }
  return o;
}

}  // namespace pcx_runs

pcx_internal::SimdLevel pcx_internal::AllowSimd(SimdLevel widest) {
  return static_cast<SimdLevel>(pcx_runs::g_widest_simd.exchange(static_cast<int>(widest)));
}

}  // namespace hw
