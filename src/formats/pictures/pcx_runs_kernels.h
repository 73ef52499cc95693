// What the run-length kernels share: the masks and stores every block decoder uses,
// and the kernels written for one instruction set each (pcx_runs_ssse3.cpp,
// pcx_runs_avx512.cpp), which pcx_runs.cpp calls only when the processor has it.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__x86_64__) && defined(__SSE2__)
#define HW_PCX_SSSE3 1
#endif

namespace hw::pcx_runs {

constexpr uint64_t kOnes = 0x0101010101010101ull;

// Stores v into d[0..16), and into d[16..64) as well when count > 16.
inline void Fill(uint8_t* d, uint8_t v, unsigned count) {
  const uint64_t fill = v * kOnes;
  std::memcpy(d, &fill, 8);
  std::memcpy(d + 8, &fill, 8);
  if (count > 16) {
    for (int k = 16; k < 64; k += 8) std::memcpy(d + k, &fill, 8);
  }
}

// Bit i set when s[i] >= 192, for i in 0..63.
inline uint64_t HighMask64(const uint8_t* s) {
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
inline uint64_t Markers64(uint64_t high) {
  constexpr uint64_t kEven = 0x5555555555555555ull;
  const uint64_t starts = high & ~(high << 1);
  // Adding a stretch's start bit clears the stretch: what survives started odd.
  const uint64_t odd_stretches = (high + (starts & kEven)) & high;
  const uint64_t even_stretches = high ^ odd_stretches;
  return (even_stretches & kEven) | (odd_stretches & ~kEven);
}

// Bit i set when s[i] == byte, for i in 0..63.
inline uint64_t ByteMask64(const uint8_t* s, uint8_t byte) {
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
inline bool EscapedPairs(const uint8_t* s, uint64_t markers, uint64_t c1, uint8_t* d) {
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

#if defined(HW_PCX_SSSE3)
#define HW_PCX_TARGET_SSSE3 __attribute__((target("ssse3,popcnt")))
#define HW_AVX512_VBMI2 __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt")))

// Mixed literal stretch, eight bytes per shuffle. Same contract as Literals, but
// may store up to 16 bytes past the end and read up to 8 bytes past p + n.
HW_PCX_TARGET_SSSE3 uint8_t* LiteralsSsse3(const uint8_t* p, int64_t n, uint64_t high, uint8_t* o);

// Block decoders: decode whole blocks from source into out while the source holds
// kBlockSource bytes and the output kRoom bytes of room, and leave both where the
// items decoded end. The processor must have the instruction set.
HW_PCX_TARGET_SSSE3 void DecodeBlocksSsse3(const uint8_t*& source, const uint8_t* send,
                                           uint8_t*& out, uint8_t* dend);
HW_AVX512_VBMI2 void DecodeBlocksAvx512(const uint8_t*& source, const uint8_t* send, uint8_t*& out,
                                        uint8_t* dend);
#endif

}  // namespace hw::pcx_runs
