// The run-length kernels for SSSE3: the encoder's mixed literal stretches and the
// block decoder, eight bytes per shuffle.
#include "formats/pictures/pcx_runs_kernels.h"

#if defined(HW_PCX_SSSE3)
#include <immintrin.h>
#include <tmmintrin.h>

#include <algorithm>
#include <bit>

namespace hw::pcx_runs {
namespace {

// Shuffle controls that spread 8 literal bytes (lanes 0..7, the escape C1 in
// lanes 8..15) into their encoded form, one per pattern of high bytes.
struct EscapeTable {
  alignas(16) uint8_t control[256][16];
  constexpr EscapeTable() : control{} {
    for (int h = 0; h < 256; ++h) {
      int k = 0;
      for (int i = 0; i < 8; ++i) {
        if (h & (1 << i)) control[h][k++] = 8;
        control[h][k++] = static_cast<uint8_t>(i);
      }
      while (k < 16) control[h][k++] = 0x80;
    }
  }
};
constexpr EscapeTable kEscapes;

// Shuffle controls that keep the bytes of an 8-byte group not marked for
// deletion, in order, one per deletion pattern.
struct CompactTable {
  alignas(16) uint8_t control[256][16];
  constexpr CompactTable() : control{} {
    for (int del = 0; del < 256; ++del) {
      int k = 0;
      for (int i = 0; i < 8; ++i) {
        if (!(del & (1 << i))) control[del][k++] = static_cast<uint8_t>(i);
      }
      while (k < 16) control[del][k++] = 0x80;
    }
  }
};
constexpr CompactTable kCompact;

// Eight bytes src[g..g + 8) of a stretch of n, those marked in del left out.
__attribute__((target("ssse3,popcnt"))) inline uint8_t* CopyGroupWithout(const uint8_t* src, int g,
                                                                         int n, uint64_t del,
                                                                         uint8_t* d) {
  const unsigned m = g < 64 ? static_cast<unsigned>(del >> g) & 0xFF : 0;
  const int len = std::clamp(n - g, 0, 8);
  const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + g));
  const __m128i ctl = _mm_load_si128(reinterpret_cast<const __m128i*>(kCompact.control[m]));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(x, ctl));
  return d + len - __builtin_popcount(m);
}

// Copies src[0..n), n <= 65, leaving out the bytes marked in del (bit i for
// src[i]; bits at n and above must be clear). Reads up to max(n, 16) + 8 bytes
// and stores up to 16 bytes past the end.
__attribute__((target("ssse3,popcnt"), always_inline)) inline uint8_t* CopyWithout(
    const uint8_t* src, int n, uint64_t del, uint8_t* d) {
  // Two groups whatever n is: most stretches are short, and then no loop count
  // has to be guessed.
  d = CopyGroupWithout(src, 0, n, del, d);
  d = CopyGroupWithout(src, 8, n, del, d);
  for (int g = 16; g < n; g += 8) d = CopyGroupWithout(src, g, n, del, d);
  return d;
}

// Bit i of `bits` (i in 0..15) as a byte mask: lane i all ones when set.
__attribute__((target("ssse3"))) inline __m128i ByteMaskOf(unsigned bits) {
  const __m128i spread =
      _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(bits)),
                       _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1));
  const __m128i select = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

}  // namespace

HW_PCX_TARGET_SSSE3 uint8_t* LiteralsSsse3(const uint8_t* p, int64_t n, uint64_t high, uint8_t* o) {
  const __m128i c1 = _mm_set1_epi8(char(0xC1));
  for (int64_t i = 0; i < n; i += 8, high >>= 8) {
    const auto h = static_cast<unsigned>(high & 0xFF);
    const __m128i v =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i)), c1);
    const __m128i ctl = _mm_load_si128(reinterpret_cast<const __m128i*>(kEscapes.control[h]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, ctl));
    o += std::min<int64_t>(8, n - i) + __builtin_popcount(h);
  }
  return o;
}

// The same scheme as the AVX-512 block decoder (pcx_runs_avx512.cpp), with 16-byte registers: the
// block's bytes, runs of two already reading "v v", are put in a small buffer and
// each stretch between longer runs is copied from there with the single escapes'
// markers left out, eight bytes per shuffle.
__attribute__((target("ssse3,popcnt"))) void DecodeBlocksSsse3(const uint8_t*& source,
                                                               const uint8_t* send, uint8_t*& out,
                                                               uint8_t* dend) {
  constexpr uint64_t kLast = uint64_t{1} << 63;
  // CopyWithout reads up to 24 bytes past a stretch: the buffer's tail stays zero.
  alignas(16) uint8_t buffer[96] = {};
  // Local copies: stores of bytes could alias the callers' pointers.
  const uint8_t* b = source;  // the block; its first byte is taken already when carry is 1
  uint8_t* d = out;
  uint64_t carry = 0;
  int prev = 0;  // first byte of the block not yet decoded
  while (send - b >= kBlockSource && dend - d >= kRoom) {
    const uint64_t high = HighMask64(b);
    const uint64_t c1 = ByteMask64(b, 0xC1);
    // Markers with and without the carry are both found before it is known.
    const uint64_t markers = carry ? Markers64(high & ~uint64_t{1}) : Markers64(high);
    if (dend - d >= 32 + kRoom && EscapedPairs(b, markers, c1, d)) {
      d += 32;
      b += 64;
      carry = 0;
      prev = 0;
      continue;
    }
    const uint64_t singles = markers & c1;
    const uint64_t pairs = markers & ByteMask64(b, 0xC2);
    const uint64_t last = markers & kLast;
    // A single escape in the last byte takes its value like a pair; a pair there
    // is filled like a longer run.
    const uint64_t takes = (pairs & ~last) | (singles & last);
    for (int k = 0; k < 4; ++k) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k + 1));
      const __m128i take = ByteMaskOf(static_cast<unsigned>(takes >> (16 * k)) & 0xFFFF);
      _mm_store_si128(reinterpret_cast<__m128i*>(buffer + 16 * k),
                      _mm_or_si128(_mm_and_si128(take, next), _mm_andnot_si128(take, x)));
    }
    const uint64_t drop = singles & ~last;
    prev = static_cast<int>(carry);
    bool full = false;
    for (uint64_t m = (markers & ~singles & ~pairs) | (pairs & last); m != 0; m &= m - 1) {
      if (dend - d < kRoom) {
        full = true;
        break;
      }
      const int j = std::countr_zero(m);
      if (j > prev) {
        const uint64_t stretch = (uint64_t{1} << (j - prev)) - 1;
        d = CopyWithout(buffer + prev, j - prev, (drop >> prev) & stretch, d);
      }
      const unsigned count = b[j] - 0xC0u;
      Fill(d, b[j + 1], count);
      d += count;
      prev = j + 2;
    }
    if (!full && prev < 64) {
      if (dend - d < kRoom) {
        full = true;
      } else {
        d = CopyWithout(buffer + prev, 64 - prev, drop >> prev, d);
      }
    }
    if (full) break;
    carry = last >> 63;
    prev = static_cast<int>(carry);
    b += 64;
  }
  source = b + prev;
  out = d;
}

}  // namespace hw::pcx_runs
#endif
