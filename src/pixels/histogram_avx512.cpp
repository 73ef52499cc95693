// Bit-sliced usage counting with AVX-512. A block of 512 pixels is turned into
// eight 512-bit planes, plane j holding bit j of every pixel. For a palette
// index v, the pixels equal to v are the AND of each plane or its complement, so
// the count of v is a population count of that mask. Masks for the high and low
// four bits are built once per block; each of the 256 counts then costs one AND,
// one population count and one add, 512 pixels at a time, with no table in
// memory to update. This runs about twice as fast as table counting, which is
// held to roughly one table update per cycle. Two shortcuts follow what pictures
// look like: a block holding a single index is counted at once, and groups of
// sixteen indices outside the range a chunk of blocks uses are not counted.
#include "pixels/histogram_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#include <algorithm>
#include <utility>

// GCC 12 warns about the deliberately undefined pass-through operand inside its
// own AVX-512 shuffle intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define HW_BITSLICE_TARGET \
  __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vpopcntdq,gfni")))

namespace hw::detail {

namespace {

constexpr int kBlockPixels = 512;
// Blocks whose masks are built before counting: the masks of 16 blocks (22 KiB)
// and the running totals (16 KiB) stay in the first-level cache.
constexpr int kBlocksPerChunk = 16;

// Masks of one block. low[u]: pixels whose low four bits equal u. high2[h]: pixels
// whose top two bits equal h. bit5, bit4: planes 5 and 4, which finish the high
// mask of a group of sixteen indices in one ternary-logic step.
struct alignas(64) BlockMasks {
  __m512i low[16];
  __m512i high2[4];
  __m512i bit5, bit4;
};

// Truth-table byte of vpternlog for "a AND (b == vb) AND (c == vc)".
constexpr int AndMatch(int vb, int vc) { return 1 << (4 | (vb << 1) | vc); }

// The truth table must be an immediate even in unoptimised builds.
template <int kTable>
HW_BITSLICE_TARGET inline __m512i TernaryLogic(__m512i a, __m512i b, __m512i c) {
  return _mm512_ternarylogic_epi64(a, b, c, kTable);
}

// The four combinations of two planes: 0 = neither bit set ... 3 = both.
HW_BITSLICE_TARGET inline void PairMasks(__m512i hi, __m512i lo, __m512i out[4]) {
  out[0] = _mm512_ternarylogic_epi64(hi, lo, lo, 0x03);  // ~hi & ~lo
  out[1] = _mm512_andnot_si512(hi, lo);
  out[2] = _mm512_andnot_si512(lo, hi);
  out[3] = _mm512_and_si512(hi, lo);
}

template <int... U>
HW_BITSLICE_TARGET inline void LowMasks(const __m512i pair32[4], __m512i bit1, __m512i bit0,
                                        __m512i low[16], std::integer_sequence<int, U...>) {
  ((low[U] = TernaryLogic<AndMatch((U >> 1) & 1, U & 1)>(pair32[U >> 2], bit1, bit0)), ...);
}

HW_BITSLICE_TARGET void BuildMasks(const __m512i x[8], BlockMasks& out) {
  // Within each 64-bit word, the affine step transposes the 8 x 8 bit matrix of
  // eight pixels: byte j of the result holds bit j of each of them.
  const __m512i transpose = _mm512_set1_epi64(static_cast<long long>(0x8040201008040201ULL));
  // Then gather byte j of every word into word j, so word j is plane j of 64 pixels.
  const __m512i gather = _mm512_set_epi8(
      63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22, 14, 6, 61, 53, 45, 37, 29, 21, 13, 5,
      60, 52, 44, 36, 28, 20, 12, 4, 59, 51, 43, 35, 27, 19, 11, 3, 58, 50, 42, 34, 26, 18, 10, 2,
      57, 49, 41, 33, 25, 17, 9, 1, 56, 48, 40, 32, 24, 16, 8, 0);
  __m512i v[8];
#pragma GCC unroll 8
  for (int r = 0; r < 8; ++r)
    v[r] = _mm512_permutexvar_epi8(gather, _mm512_gf2p8affine_epi64_epi8(transpose, x[r], 0));
  // An 8 x 8 transpose of 64-bit words across the eight registers: plane[j] takes
  // word j of every v[r]. Any fixed order of pixels within a plane will do, as
  // long as all planes share it.
  __m512i a[8];
#pragma GCC unroll 4
  for (int r = 0; r < 8; r += 2) {
    a[r] = _mm512_unpacklo_epi64(v[r], v[r + 1]);
    a[r + 1] = _mm512_unpackhi_epi64(v[r], v[r + 1]);
  }
  __m512i plane[8];
#pragma GCC unroll 2
  for (int o = 0; o < 2; ++o) {
    const __m512i b0 = _mm512_shuffle_i64x2(a[o], a[o + 2], 0x88);
    const __m512i b1 = _mm512_shuffle_i64x2(a[o], a[o + 2], 0xDD);
    const __m512i b2 = _mm512_shuffle_i64x2(a[o + 4], a[o + 6], 0x88);
    const __m512i b3 = _mm512_shuffle_i64x2(a[o + 4], a[o + 6], 0xDD);
    plane[o] = _mm512_shuffle_i64x2(b0, b2, 0x88);
    plane[o + 4] = _mm512_shuffle_i64x2(b0, b2, 0xDD);
    plane[o + 2] = _mm512_shuffle_i64x2(b1, b3, 0x88);
    plane[o + 6] = _mm512_shuffle_i64x2(b1, b3, 0xDD);
  }
  __m512i pair32[4];
  PairMasks(plane[3], plane[2], pair32);
  LowMasks(pair32, plane[1], plane[0], out.low, std::make_integer_sequence<int, 16>{});
  PairMasks(plane[7], plane[6], out.high2);
  out.bit5 = plane[5];
  out.bit4 = plane[4];
}

// Counts the sixteen indices 16g .. 16g + 15 over a chunk, in sixteen registers.
// Written out rather than looped so that the counts stay in registers.
#define HW_FOR16(X) \
  X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15)
template <int g>
HW_BITSLICE_TARGET void CountGroup(const BlockMasks* blocks, int count, __m512i* sums) {
#define HW_ZERO(u) __m512i s##u = _mm512_setzero_si512();
#define HW_STEP(u) \
  s##u = _mm512_add_epi64(s##u, _mm512_popcnt_epi64(_mm512_and_si512(m, k.low[u])));
#define HW_SAVE(u) sums[16 * g + u] = _mm512_add_epi64(sums[16 * g + u], s##u);
  HW_FOR16(HW_ZERO)
  for (int b = 0; b < count; ++b) {
    const BlockMasks& k = blocks[b];
    const __m512i m = TernaryLogic<AndMatch((g >> 1) & 1, g & 1)>(k.high2[g >> 2], k.bit5, k.bit4);
    HW_FOR16(HW_STEP)
  }
  HW_FOR16(HW_SAVE)
#undef HW_ZERO
#undef HW_STEP
#undef HW_SAVE
}

// Counts the groups first .. last; the others hold no pixel of these blocks.
template <int... G>
HW_BITSLICE_TARGET void CountGroups(const BlockMasks* blocks, int count, __m512i* sums, int first,
                                    int last, std::integer_sequence<int, G...>) {
  ((G >= first && G <= last ? CountGroup<G>(blocks, count, sums) : void()), ...);
}

// The lowest byte of lo and the highest byte of hi, once per chunk.
HW_BITSLICE_TARGET std::pair<int, int> ByteRange(__m512i lo, __m512i hi) {
  alignas(64) uint8_t a[64], b[64];
  _mm512_store_si512(a, lo);
  _mm512_store_si512(b, hi);
  int lowest = 255, highest = 0;
  for (int k = 0; k < 64; ++k) {
    lowest = std::min<int>(lowest, a[k]);
    highest = std::max<int>(highest, b[k]);
  }
  return {lowest, highest};
}

HW_BITSLICE_TARGET void CountBitSliced(const uint8_t* p, size_t n, CountTotals& total) {
  // Eight 64-bit partial counts per index; none can wrap before 2^61 pixels.
  __m512i sums[256];
  for (auto& s : sums) s = _mm512_setzero_si512();
  BlockMasks blocks[kBlocksPerChunk];
  size_t i = 0;
  while (n - i >= kBlockPixels) {
    // Gather up to a chunk of blocks that hold more than one index, with the
    // lowest and highest index among them. A block of one index (flat areas) is
    // counted at once.
    int count = 0;
    __m512i low = _mm512_set1_epi8(-1), high = _mm512_setzero_si512();
    for (; count < kBlocksPerChunk && n - i >= kBlockPixels; i += kBlockPixels) {
      __m512i x[8];
#pragma GCC unroll 8
      for (int r = 0; r < 8; ++r) x[r] = _mm512_loadu_si512(p + i + 64 * r);
      const __m512i lo = _mm512_min_epu8(
          _mm512_min_epu8(_mm512_min_epu8(x[0], x[1]), _mm512_min_epu8(x[2], x[3])),
          _mm512_min_epu8(_mm512_min_epu8(x[4], x[5]), _mm512_min_epu8(x[6], x[7])));
      const __m512i hi = _mm512_max_epu8(
          _mm512_max_epu8(_mm512_max_epu8(x[0], x[1]), _mm512_max_epu8(x[2], x[3])),
          _mm512_max_epu8(_mm512_max_epu8(x[4], x[5]), _mm512_max_epu8(x[6], x[7])));
      const __m512i first = _mm512_set1_epi8(static_cast<char>(p[i]));
      if ((_mm512_cmpneq_epu8_mask(lo, first) | _mm512_cmpneq_epu8_mask(hi, first)) == 0) {
        total[p[i]] += kBlockPixels;
        continue;
      }
      low = _mm512_min_epu8(low, lo);
      high = _mm512_max_epu8(high, hi);
      BuildMasks(x, blocks[count++]);
    }
    if (count > 0) {
      const auto [lowest, highest] = ByteRange(low, high);
      CountGroups(blocks, count, sums, lowest >> 4, highest >> 4,
                  std::make_integer_sequence<int, 16>{});
    }
  }
  for (int v = 0; v < 256; ++v) total[static_cast<size_t>(v)] += _mm512_reduce_add_epi64(sums[v]);
  CountPortable(p + i, n - i, total);
}

}  // namespace

CountKernel CountAvx512Kernel() {
  const bool ok = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512vbmi") &&
                  __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("gfni");
  return ok ? CountBitSliced : nullptr;
}

}  // namespace hw::detail

#else

namespace hw::detail {
CountKernel CountAvx512Kernel() { return nullptr; }
}  // namespace hw::detail

#endif
