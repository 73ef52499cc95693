// The block decoder for AVX-512 with byte compression (VBMI2).
#include "formats/pictures/pcx_runs_kernels.h"

#if defined(HW_PCX_SSSE3)
#include <immintrin.h>

#include <bit>

namespace hw::pcx_runs {

// With byte compression (AVX-512 VBMI2) a block needs no work per literal stretch:
// single escapes "C1 v" lose their marker and runs of two "C2 v" read as "v v" (the
// marker takes its value), so one compression of the block's 64 bytes writes all of
// it unless it holds longer runs (or runs of none), which are filled one by one.
// Blocks follow each other every 64 bytes whatever they hold, so the next block's
// loads never wait for this one's markers: a marker in a block's last byte takes its
// value from the next block's first byte, which that block then leaves out (carry).
HW_AVX512_VBMI2 void DecodeBlocksAvx512(const uint8_t*& source, const uint8_t* send, uint8_t*& out,
                                        uint8_t* dend) {
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

}  // namespace hw::pcx_runs
#endif
