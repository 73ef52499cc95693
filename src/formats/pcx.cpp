// PCX codec over byte spans: header, run-length pixel data, trailing palette.
#include "formats/pcx.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <string>

#include "base/faults.h"
#include "base/memory.h"
#include "formats/pcx_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#include <tmmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace hw {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t GetS16(const uint8_t* p) { return static_cast<int16_t>(Get16(p)); }
void Put16(uint8_t* p, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  p[0] = static_cast<uint8_t>(u & 0xFF);
  p[1] = static_cast<uint8_t>(u >> 8);
}

// Bytes per decoded row: BytesPerLine when it is larger than the width (the
// excess is filler), otherwise the width itself.
int64_t RowBytes(const PcxHeader& header, int32_t width) {
  return std::max<int64_t>(header.BytesPerLine, width);
}

// Word-at-a-time helpers. Bytes are taken in memory order, so on a big-endian
// machine words are swapped to keep "lowest bits = first byte".
uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}
constexpr uint64_t kOnes = 0x0101010101010101ull;
int FirstByte(uint64_t bits) { return std::countr_zero(bits) >> 3; }  // 8 when none

// Decoder state carried across rows, since a run may continue into the next row.
struct RleSource {
  const uint8_t* pos;
  const uint8_t* end;  // first byte the pixel data may not use
  int pending = 0;     // pixels of the current run still to store
  uint8_t value = 0;   // value of that run
};

void Copy16(uint8_t* d, const uint8_t* s) {
  uint64_t a, b;
  std::memcpy(&a, s, 8);
  std::memcpy(&b, s + 8, 8);
  std::memcpy(d, &a, 8);
  std::memcpy(d + 8, &b, 8);
}

// Stores v into d[0..16), and into d[16..64) as well when count > 16.
void Fill(uint8_t* d, uint8_t v, unsigned count) {
  const uint64_t fill = v * kOnes;
  std::memcpy(d, &fill, 8);
  std::memcpy(d + 8, &fill, 8);
  if (count > 16) {
    for (int k = 16; k < 64; k += 8) std::memcpy(d + k, &fill, 8);
  }
}

// Bit i set when s[i] >= 192, for i in 0..63.
uint64_t HighMask64(const uint8_t* s) {
#if defined(__SSE2__)
  const __m128i top = _mm_set1_epi8(char(0xC0));
  uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k));
    const auto bits =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(x, top), top)));
    mask |= uint64_t{bits} << (16 * k);
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= uint64_t{s[i] >= 0xC0} << i;
  return mask;
#endif
}

// Which of 64 bytes, starting at an item boundary, are run markers. A byte of 192
// or more is a marker unless it is the value byte of the marker before it, so in
// every stretch of consecutive high bytes the markers are the first, third, ...
// byte of the stretch.
uint64_t Markers64(uint64_t high) {
  constexpr uint64_t kEven = 0x5555555555555555ull;
  const uint64_t starts = high & ~(high << 1);
  // Adding a stretch's start bit clears the stretch: what survives started odd.
  const uint64_t odd_stretches = (high + (starts & kEven)) & high;
  const uint64_t even_stretches = high ^ odd_stretches;
  return (even_stretches & kEven) | (odd_stretches & ~kEven);
}

std::atomic<int> g_widest_simd{static_cast<int>(pcx_internal::SimdLevel::kAvx512)};

bool SimdAllowed(pcx_internal::SimdLevel level) {
  return g_widest_simd.load(std::memory_order_relaxed) >= static_cast<int>(level);
}

#if defined(__x86_64__) && defined(__SSE2__)
#define HW_PCX_SSSE3 1
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

// Mixed literal stretch, eight bytes per shuffle. Same contract as Literals, but
// may store up to 16 bytes past the end and read up to 8 bytes past p + n.
__attribute__((target("ssse3,popcnt"))) uint8_t* LiteralsSsse3(const uint8_t* p, int64_t n,
                                                               uint64_t high, uint8_t* o) {
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

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
  return has && SimdAllowed(pcx_internal::SimdLevel::kSsse3);
}
#endif

// Bit i set when s[i] == byte, for i in 0..63.
uint64_t ByteMask64(const uint8_t* s, uint8_t byte) {
#if defined(__SSE2__)
  const __m128i b = _mm_set1_epi8(static_cast<char>(byte));
  uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * k));
    mask |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, b)))} << (16 * k);
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= uint64_t{s[i] == byte} << i;
  return mask;
#endif
}

// A block of 32 single escaped values ("C1 v" pairs), common in pictures made
// only of high indices: stores every second byte.
bool EscapedPairs(const uint8_t* s, uint64_t markers, uint64_t c1, uint8_t* d) {
  if (markers != 0x5555555555555555ull || (c1 & markers) != markers) return false;
#if defined(__SSE2__)
  for (int k = 0; k < 2; ++k) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32 * k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32 * k + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * k),
                     _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8)));
  }
#else
  for (int i = 0; i < 32; ++i) d[i] = s[2 * i + 1];
#endif
  return true;
}

// Block decoding. Each block is 64 source bytes starting at an item boundary;
// its markers are found at once, then each literal stretch and run is copied or
// filled with fixed-size stores, no byte-by-byte decisions. A block needs 96
// readable source bytes (the value of a marker in the last byte, and the
// over-wide copies) and kRoom bytes of room in the output; it ends at an item
// boundary, so the careful loop can take over anywhere.
constexpr int64_t kRoom = 64 + 64 + 32;
constexpr int64_t kBlockSource = 96;

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

#if defined(HW_PCX_SSSE3)
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
__attribute__((target("ssse3,popcnt"), always_inline)) inline uint8_t* CopyWithout(const uint8_t* src, int n,
                                                             uint64_t del, uint8_t* d) {
  // Two groups whatever n is: most stretches are short, and then no loop count
  // has to be guessed.
  d = CopyGroupWithout(src, 0, n, del, d);
  d = CopyGroupWithout(src, 8, n, del, d);
  for (int g = 16; g < n; g += 8) d = CopyGroupWithout(src, g, n, del, d);
  return d;
}

// Bit i of `bits` (i in 0..15) as a byte mask: lane i all ones when set.
__attribute__((target("ssse3"))) inline __m128i ByteMaskOf(unsigned bits) {
  const __m128i spread = _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(bits)),
                                          _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1));
  const __m128i select = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

// The same scheme as the AVX-512 block decoder below, with 16-byte registers: the
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
#endif

#if defined(HW_PCX_SSSE3)
// With byte compression (AVX-512 VBMI2) a block needs no work per literal stretch:
// single escapes "C1 v" lose their marker and runs of two "C2 v" read as "v v" (the
// marker takes its value), so one compression of the block's 64 bytes writes all of
// it unless it holds longer runs (or runs of none), which are filled one by one.
// Blocks follow each other every 64 bytes whatever they hold, so the next block's
// loads never wait for this one's markers: a marker in a block's last byte takes its
// value from the next block's first byte, which that block then leaves out (carry).
#define HW_AVX512_VBMI2 __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt")))

HW_AVX512_VBMI2 void DecodeBlocksAvx512(const uint8_t*& source, const uint8_t* send,
                                        uint8_t*& out, uint8_t* dend) {
  const __m512i top = _mm512_set1_epi8(static_cast<char>(0xC0));
  const __m512i single = _mm512_set1_epi8(static_cast<char>(0xC1));
  const __m512i pair = _mm512_set1_epi8(static_cast<char>(0xC2));
  constexpr uint64_t kLast = uint64_t{1} << 63;
  // Local copies: stores of bytes could alias the callers' pointers, which would
  // then be reloaded after every store.
  const uint8_t* b = source;  // the block; its first byte is taken already when carry is 1
  uint8_t* d = out;
  uint64_t carry = 0;
  int prev = 0;  // first byte of the block not yet decoded
  while (send - b >= kBlockSource && dend - d >= kRoom) {
    const __m512i x = _mm512_loadu_si512(b);
    const __m512i next = _mm512_loadu_si512(b + 1);
    // The markers with and without the carry are both found before the carry is
    // known, so one block waits for the one before only through a select.
    const uint64_t high = _mm512_cmpge_epu8_mask(x, top);
    const uint64_t c1 = _mm512_cmpeq_epi8_mask(x, single);
    const uint64_t c2 = _mm512_cmpeq_epi8_mask(x, pair);
    const uint64_t markers = carry ? Markers64(high & ~uint64_t{1}) : Markers64(high);
    if (markers == 0x5555555555555555ull && (c1 & markers) == markers) {
      // 32 single escapes: the value bytes are every second byte.
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                          _mm512_maskz_cvtepi16_epi8(~__mmask32{0}, _mm512_srli_epi16(x, 8)));
      d += 32;
      b += 64;
      carry = 0;
      prev = 0;
      continue;
    }
    const uint64_t singles = markers & c1;
    const uint64_t pairs = markers & c2;
    const uint64_t last = markers & kLast;
    // A single escape in the last byte takes its value like a pair; a pair there
    // is filled like a longer run.
    const __m512i bytes = _mm512_mask_blend_epi8((pairs & ~last) | (singles & last), x, next);
    const uint64_t keep = ~(singles & ~last);
    prev = static_cast<int>(carry);
    bool full = false;
    for (uint64_t m = (markers & ~singles & ~pairs) | (pairs & last); m != 0; m &= m - 1) {
      if (dend - d < kRoom) {
        full = true;
        break;
      }
      const int j = std::countr_zero(m);
      const uint64_t stretch = _bzhi_u64(keep, static_cast<unsigned>(j)) >> prev << prev;
      _mm512_storeu_si512(d, _mm512_maskz_compress_epi8(stretch, bytes));
      d += std::popcount(stretch);
      const unsigned count = b[j] - 0xC0u;
      Fill(d, b[j + 1], count);
      d += count;
      prev = j + 2;
    }
    if (!full && prev < 64) {
      if (dend - d < kRoom) {
        full = true;
      } else {
        const uint64_t stretch = keep >> prev << prev;
        _mm512_storeu_si512(d, _mm512_maskz_compress_epi8(stretch, bytes));
        d += std::popcount(stretch);
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

bool HasAvx512Compress() {
  static const bool has =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2") &&
      __builtin_cpu_supports("popcnt");
  return has && SimdAllowed(pcx_internal::SimdLevel::kAvx512);
}
#endif

// Decodes into [d, dend) while the source holds whole items, stopping at an item
// boundary: when the output is full, or when what is left of the source is empty or
// a lone run marker. Returns where the output stopped.
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

// Stores exactly n decoded bytes at dst. Returns false when the data runs out.
bool DecodeInto(RleSource& src, uint8_t* dst, int64_t n) {
  return DecodeAvailable(src, dst, dst + n) == dst + n;
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

}  // namespace

pcx_internal::SimdLevel pcx_internal::AllowSimd(SimdLevel widest) {
  return static_cast<SimdLevel>(g_widest_simd.exchange(static_cast<int>(widest)));
}

Result<PcxSize> PictureSize(const PcxHeader& header) {
  const int32_t w = int32_t{header.Xmax} - header.Xmin + 1;
  const int32_t h = int32_t{header.Ymax} - header.Ymin + 1;
  if (w < -32768 || w > 32767)
    return Error{"picture width overflows (window " + std::to_string(header.Xmin) + ".." +
                 std::to_string(header.Xmax) + ")"};
  if (h < -32768 || h > 32767)
    return Error{"picture height overflows (window " + std::to_string(header.Ymin) + ".." +
                 std::to_string(header.Ymax) + ")"};
  const int64_t count = int64_t{w} * h;
  if (count < INT32_MIN || count > INT32_MAX) return Error{"picture pixel count overflows"};
  return PcxSize{w, h, static_cast<int32_t>(count)};
}

PcxHeader IndexedPictureHeader(int16_t width, int16_t height) {
  PcxHeader h{};
  h.Manufacturer = 10;
  h.Version = 5;
  h.Encoding = 1;
  h.BitsPerPixel = 8;
  h.Xmax = static_cast<int16_t>(width - 1);
  h.Ymax = static_cast<int16_t>(height - 1);
  h.HDpi = 72;
  h.VDpi = 72;
  h.NPlanes = 1;
  h.BytesPerLine = width;
  h.PaletteInfo = 1;
  return h;
}

Result<PcxHeader> ReadPcxHeader(std::span<const uint8_t> file) {
  if (!HasPcxSignature(file)) return Error{kNotAPicture};
  if (file.size() < kPcxHeaderSize) {
    return Error{"file is shorter than the 128-byte header (" + std::to_string(file.size()) +
                 " bytes)"};
  }
  const uint8_t* p = file.data();
  PcxHeader h;
  h.Manufacturer = p[0];
  h.Version = p[1];
  h.Encoding = p[2];
  h.BitsPerPixel = p[3];
  h.Xmin = GetS16(p + 4);
  h.Ymin = GetS16(p + 6);
  h.Xmax = GetS16(p + 8);
  h.Ymax = GetS16(p + 10);
  h.HDpi = GetS16(p + 12);
  h.VDpi = GetS16(p + 14);
  std::memcpy(h.ColorMap.data(), p + 16, 48);
  h.Reserved = p[64];
  h.NPlanes = p[65];
  h.BytesPerLine = GetS16(p + 66);
  h.PaletteInfo = GetS16(p + 68);
  h.HScreenSize = GetS16(p + 70);
  h.VScreenSize = GetS16(p + 72);
  std::memcpy(h.Filler.data(), p + 74, 54);
  return h;
}

std::array<uint8_t, kPcxHeaderSize> HeaderBytes(const PcxHeader& h) {
  std::array<uint8_t, kPcxHeaderSize> b{};
  uint8_t* p = b.data();
  p[0] = h.Manufacturer;
  p[1] = h.Version;
  p[2] = h.Encoding;
  p[3] = h.BitsPerPixel;
  Put16(p + 4, h.Xmin);
  Put16(p + 6, h.Ymin);
  Put16(p + 8, h.Xmax);
  Put16(p + 10, h.Ymax);
  Put16(p + 12, h.HDpi);
  Put16(p + 14, h.VDpi);
  std::memcpy(p + 16, h.ColorMap.data(), 48);
  p[64] = h.Reserved;
  p[65] = h.NPlanes;
  Put16(p + 66, h.BytesPerLine);
  Put16(p + 68, h.PaletteInfo);
  Put16(p + 70, h.HScreenSize);
  Put16(p + 72, h.VScreenSize);
  std::memcpy(p + 74, h.Filler.data(), 54);
  return b;
}

namespace {

constexpr const char* kEndsEarly =
    "pixel data ends early (before the picture is complete, or runs into the palette)";

// What the pixel data of a file of file_size bytes must hold, checked before
// anything is allocated or decoded.
struct PixelLayout {
  PcxSize size;
  int64_t row_bytes = 0;
  uint64_t data_bytes = 0;  // between the header and the trailing palette block
};

Result<PixelLayout> CheckPixelLayout(const PcxHeader& h, uint64_t file_size) {
  if (h.BitsPerPixel != 8 || h.NPlanes != 1) {
    return Error{"unsupported picture: " + std::to_string(h.BitsPerPixel) + " bits per pixel in " +
                 std::to_string(h.NPlanes) +
                 " plane(s); only 8 bits per pixel in 1 plane can be read"};
  }
  auto size = PictureSize(h);
  if (!size) return size.error();
  const int32_t w = size->width, ht = size->height;
  if (w <= 0 || ht <= 0) {
    return Error{"picture has no pixels (" + std::to_string(w) + " x " + std::to_string(ht) + ")"};
  }
  PixelLayout layout{*size, RowBytes(h, w), 0};
  layout.data_bytes =
      file_size >= kPcxHeaderSize + kPaletteBytes ? file_size - kPcxHeaderSize - kPaletteBytes : 0;
  // Decoded bytes needed: every row in full except the last, whose filler is not needed.
  const int64_t needed = layout.row_bytes * (ht - 1) + w;
  // Far more than any picture needs, so that the bound below cannot overflow.
  const int64_t data =
      static_cast<int64_t>(std::min<uint64_t>(layout.data_bytes, uint64_t{1} << 40));
  if (h.Encoding == 0) {
    // Uncompressed rows, as the writer stores them for Encoding 0. Reading them as
    // run-length data would turn every index of 192 or more into a run marker.
    if (needed > data) return Error{kEndsEarly};
    return layout;
  }
  // Each encoded pair yields at most 63 bytes; refuse before allocating anything.
  const int64_t most = 63 * (data / 2) + data % 2;
  if (needed > most) {
    return Error{"picture size " + std::to_string(w) + " x " + std::to_string(ht) +
                 " is too large for the file's pixel data (pixel data ends early)"};
  }
  return layout;
}

}  // namespace

Result<std::vector<uint8_t>> ReadPcxPixels(std::span<const uint8_t> file) {
  auto header = ReadPcxHeader(file);
  if (!header) return header.error();
  const PcxHeader& h = *header;
  auto layout = CheckPixelLayout(h, file.size());
  if (!layout) return layout.error();
  const int32_t w = layout->size.width, ht = layout->size.height;
  const int64_t row_bytes = layout->row_bytes;
  const size_t data_bytes = static_cast<size_t>(layout->data_bytes);
  const PcxSize* size = &layout->size;
  if (h.Encoding == 0) {
    std::vector<uint8_t> raw = AllocateBuffer<uint8_t>(static_cast<size_t>(size->count));
    const uint8_t* rows = file.data() + kPcxHeaderSize;
    for (int32_t y = 0; y < ht; ++y) {
      std::memcpy(raw.data() + static_cast<size_t>(y) * w,
                  rows + static_cast<size_t>(y) * static_cast<size_t>(row_bytes),
                  static_cast<size_t>(w));
    }
    return raw;
  }
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(size->count));
  AdviseHugePages(pixels.data(), pixels.capacity());
  pixels.resize(static_cast<size_t>(size->count));
  RleSource src{file.data() + kPcxHeaderSize, file.data() + kPcxHeaderSize + data_bytes};
  std::vector<uint8_t> filler(static_cast<size_t>(row_bytes - w));
  for (int32_t y = 0; y < ht; ++y) {
    bool ok = DecodeInto(src, pixels.data() + static_cast<size_t>(y) * w, w);
    if (ok && y + 1 < ht && row_bytes > w) ok = DecodeInto(src, filler.data(), row_bytes - w);
    if (!ok) return Error{kEndsEarly};
  }
  return pixels;
}

Result<PcxRowDecoder> PcxRowDecoder::Open(std::span<const uint8_t> head, uint64_t file_size,
                                          PcxByteSource source, size_t input_bytes) {
  auto header = ReadPcxHeader(head);
  if (!header) return header.error();
  if (file_size < kPaletteBytes) {
    return Error{"file is shorter than the 768-byte palette (" + std::to_string(file_size) +
                 " bytes)"};
  }
  auto layout = CheckPixelLayout(*header, file_size);
  if (!layout) return layout.error();
  PcxRowDecoder decoder;
  decoder.header_ = *header;
  decoder.size_ = layout->size;
  decoder.row_bytes_ = layout->row_bytes;
  decoder.source_ = std::move(source);
  decoder.data_left_ = layout->data_bytes;
  decoder.input_.resize(std::max<size_t>(input_bytes, 256));
  decoder.filler_.resize(static_cast<size_t>(layout->row_bytes - layout->size.width));
  return decoder;
}

Result<bool> PcxRowDecoder::Refill() {
  if (data_left_ == 0) return false;
  std::memmove(input_.data(), input_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(input_.size() - end_, data_left_));
  auto got = source_(std::span<uint8_t>(input_.data() + end_, want));
  if (!got) return got.error();
  if (*got == 0 || *got > want) {
    return Error{"the file became shorter while it was read (pixel data ends early)"};
  }
  end_ += *got;
  data_left_ -= *got;
  return true;
}

Status PcxRowDecoder::Take(uint8_t* dst, int64_t n) {
  uint8_t* d = dst;
  uint8_t* const dend = dst + n;
  for (;;) {
    if (header_.Encoding == 0) {
      const size_t k = std::min<size_t>(end_ - pos_, static_cast<size_t>(dend - d));
      std::memcpy(d, input_.data() + pos_, k);
      d += k;
      pos_ += k;
    } else {
      RleSource src{input_.data() + pos_, input_.data() + end_, pending_, value_};
      d = DecodeAvailable(src, d, dend);
      pos_ = static_cast<size_t>(src.pos - input_.data());
      pending_ = src.pending;
      value_ = src.value;
    }
    if (d == dend) return Ok{};
    auto more = Refill();
    if (!more) return more.error();
    if (!*more) return Error{kEndsEarly};
  }
}

Result<int32_t> PcxRowDecoder::ReadRows(std::span<uint8_t> out) {
  const int32_t w = size_.width;
  const auto rows = static_cast<int32_t>(std::min<int64_t>(
      static_cast<int64_t>(out.size() / static_cast<size_t>(w)), size_.height - rows_done_));
  if (rows == 0 && !done()) {
    return Error{"a buffer of " + std::to_string(out.size()) + " bytes cannot hold a row of " +
                 std::to_string(w)};
  }
  if (filler_.empty()) {
    // Without filler the rows lie back to back in the data as in `out`: one call
    // decodes them all, and the careful end-of-output loop runs once per slice
    // instead of once per row.
    auto all = Take(out.data(), int64_t{rows} * w);
    if (!all) return all.error();
    rows_done_ += rows;
    return rows;
  }
  for (int32_t r = 0; r < rows; ++r) {
    auto row = Take(out.data() + static_cast<size_t>(r) * static_cast<size_t>(w), w);
    if (!row) return row.error();
    ++rows_done_;
    if (!filler_.empty() && !done()) {
      auto filler = Take(filler_.data(), static_cast<int64_t>(filler_.size()));
      if (!filler) return filler.error();
    }
  }
  return rows;
}

Result<Palette> ReadPcxPalette(std::span<const uint8_t> file) {
  if (file.size() < kPaletteBytes) {
    return Error{"file is shorter than the 768-byte palette (" + std::to_string(file.size()) +
                 " bytes)"};
  }
  Palette pal;
  std::memcpy(pal.data(), file.data() + file.size() - kPaletteBytes, kPaletteBytes);
  return pal;
}

Result<PcxPicture> DecodePcx(std::span<const uint8_t> file) {
  auto header = ReadPcxHeader(file);
  if (!header) return header.error();
  auto palette = ReadPcxPalette(file);
  if (!palette) return palette.error();
  auto pixels = ReadPcxPixels(file);
  if (!pixels) return pixels.error();
  PcxPicture pic;
  pic.header = *header;
  pic.size = *PictureSize(*header);
  pic.pixels = std::move(*pixels);
  pic.palette = *palette;
  return pic;
}

Result<std::vector<uint8_t>> WritePcx(PcxHeader& header, std::span<const uint8_t> pixels,
                                      const Palette& palette) {
  auto size = PictureSize(header);
  if (!size) return size.error();
  const int32_t w = size->width, ht = size->height;
  const bool empty = w <= 0 || ht <= 0;
  if (!empty && pixels.size() < static_cast<size_t>(size->count)) {
    return Error{"pixel buffer holds " + std::to_string(pixels.size()) +
                 " bytes, the picture needs " + std::to_string(size->count)};
  }
  auto encoder = PcxRowEncoder::Start(header, palette);
  if (!encoder) return encoder.error();

  std::vector<uint8_t> out;
  const int64_t row_bytes = empty ? 0 : RowBytes(header, w);
  const int64_t data_bytes = row_bytes * (empty ? 0 : ht);
  // The encoded data never exceeds one byte per pixel plus one per literal of 192
  // or more (a run of n >= 2 takes 2 <= n bytes), so reserving that bound means the
  // buffer is allocated once and never moved.
  int64_t bound = data_bytes + static_cast<int64_t>(kPcxHeaderSize + 1 + kPaletteBytes);
  if (!empty && header.Encoding != 0) {
    bound += static_cast<int64_t>(CountHigh(pixels.first(static_cast<size_t>(size->count))));
  }
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  out.reserve(static_cast<size_t>(bound));
  AdviseHugePages(out.data(), out.capacity());
  const auto head = encoder->Head();
  out.insert(out.end(), head.begin(), head.end());
  if (!empty) encoder->AppendRows(pixels.first(static_cast<size_t>(size->count)), out);
  encoder->AppendTail(out);
  return out;
}

Result<PcxRowEncoder> PcxRowEncoder::Start(PcxHeader& header, const Palette& palette) {
  auto size = PictureSize(header);
  if (!size) return size.error();
  std::copy_n(palette.begin(), 16, header.ColorMap.begin());
  PcxRowEncoder encoder;
  encoder.header_ = header;
  encoder.palette_ = palette;
  if (size->width > 0 && size->height > 0) {
    encoder.width_ = size->width;
    encoder.row_bytes_ = RowBytes(header, size->width);
    // Rows shorter than BytesPerLine are padded with zeros in a copy.
    if (encoder.row_bytes_ > size->width) encoder.padded_.assign(encoder.row_bytes_, 0);
    if (header.Encoding != 0) encoder.encoded_.resize(2 * encoder.row_bytes_ + 64);
  }
  return encoder;
}

void PcxRowEncoder::AppendRows(std::span<const uint8_t> rows, std::vector<uint8_t>& out) {
  if (width_ == 0) return;
  const auto w = static_cast<size_t>(width_);
  for (size_t at = 0; at + w <= rows.size(); at += w) {
    const uint8_t* row = rows.data() + at;
    if (!padded_.empty()) {
      std::memcpy(padded_.data(), row, w);
      row = padded_.data();
    }
    if (header_.Encoding == 0) {
      out.insert(out.end(), row, row + row_bytes_);
    } else {
      uint8_t* end = EncodeRow(row, row_bytes_, encoded_.data());
      out.insert(out.end(), encoded_.data(), end);
    }
  }
}

void PcxRowEncoder::AppendTail(std::vector<uint8_t>& out) const {
  out.push_back(12);
  const auto* pal = reinterpret_cast<const uint8_t*>(palette_.data());
  out.insert(out.end(), pal, pal + kPaletteBytes);
}

}  // namespace hw
