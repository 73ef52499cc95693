#include "formats/pictures/ilbm_planes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hw {
namespace {

// Transposes an 8 x 8 bit matrix held a row a byte: bit c of byte r goes to bit r of
// byte c.
inline uint64_t Transpose8x8(uint64_t x) {
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x ^= t ^ (t << 28);
  return x;
}

// The eight bytes of v in memory order from its top byte down: the byte order that
// puts the transposed column of the leftmost pixel first.
inline void StoreHighFirst(uint64_t v, uint8_t* out) {
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  std::memcpy(out, &v, 8);
}
inline uint64_t LoadHighFirst(const uint8_t* in) {
  uint64_t v;
  std::memcpy(&v, in, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

#if defined(__SSE2__)
// Transpose8x8 on both 64-bit halves, then each half's bytes reversed (the
// StoreHighFirst order).
inline __m128i TransposeHalves(__m128i x) {
  const auto step = [](__m128i v, int shift, uint64_t mask) {
    const __m128i m = _mm_set1_epi64x(static_cast<long long>(mask));
    __m128i t = _mm_and_si128(_mm_xor_si128(v, _mm_srli_epi64(v, shift)), m);
    return _mm_xor_si128(v, _mm_xor_si128(t, _mm_slli_epi64(t, shift)));
  };
  x = step(x, 7, 0x00AA00AA00AA00AAull);
  x = step(x, 14, 0x0000CCCC0000CCCCull);
  x = step(x, 28, 0x00000000F0F0F0F0ull);
  x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(0, 1, 2, 3));
  x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(0, 1, 2, 3));
  return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

// 128 pixels from 16 bytes of each plane row: three rounds of interleaving gather
// byte b of every plane into one 64-bit half (plane p in byte p), two bytes a
// vector, which are then transposed as in the plain 64-bit path.
template <int kPlanes>
void Planes16ToPixels(const uint8_t* planes, size_t row_bytes, size_t b, uint8_t* pixels) {
  __m128i p[8];
  for (int i = 0; i < 8; ++i) {
    p[i] = i < kPlanes
               ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + i * row_bytes + b))
               : _mm_setzero_si128();
  }
  __m128i a[8], c[8];
  for (int i = 0; i < 4; ++i) {
    a[2 * i] = _mm_unpacklo_epi8(p[2 * i], p[2 * i + 1]);
    a[2 * i + 1] = _mm_unpackhi_epi8(p[2 * i], p[2 * i + 1]);
  }
  // Planes 0..3 (from a[0..3]) and 4..7 (a[4..7]) of bytes 0-3, 4-7, 8-11, 12-15.
  for (int half = 0; half < 2; ++half) {
    const __m128i* x = a + 4 * half;
    c[4 * half + 0] = _mm_unpacklo_epi16(x[0], x[2]);
    c[4 * half + 1] = _mm_unpackhi_epi16(x[0], x[2]);
    c[4 * half + 2] = _mm_unpacklo_epi16(x[1], x[3]);
    c[4 * half + 3] = _mm_unpackhi_epi16(x[1], x[3]);
  }
  uint8_t* out = pixels + 8 * b;
  for (int q = 0; q < 4; ++q) {
    const __m128i lo = TransposeHalves(_mm_unpacklo_epi32(c[q], c[q + 4]));
    const __m128i hi = TransposeHalves(_mm_unpackhi_epi32(c[q], c[q + 4]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32 * q), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32 * q + 16), hi);
  }
}
#endif

// Eight pixels from byte b of each plane row: plane p's byte becomes byte p of a
// matrix whose transpose holds a pixel a byte, the leftmost in the top byte.
template <int kPlanes>
void PlanesToPixelsOf(const uint8_t* planes, size_t row_bytes, int width, uint8_t* pixels) {
  const size_t full = static_cast<size_t>(width) / 8;
  size_t b = 0;
#if defined(__SSE2__)
  for (; b + 16 <= full; b += 16) Planes16ToPixels<kPlanes>(planes, row_bytes, b, pixels);
#endif
  for (; b < full; ++b) {
    uint64_t x = 0;
    for (int p = 0; p < kPlanes; ++p) x |= uint64_t{planes[p * row_bytes + b]} << (8 * p);
    StoreHighFirst(Transpose8x8(x), pixels + 8 * b);
  }
  if (const int rest = width % 8) {
    uint64_t x = 0;
    for (int p = 0; p < kPlanes; ++p) x |= uint64_t{planes[p * row_bytes + full]} << (8 * p);
    uint8_t last[8];
    StoreHighFirst(Transpose8x8(x), last);
    std::memcpy(pixels + 8 * full, last, static_cast<size_t>(rest));
  }
}

}  // namespace

void PlanesToPixelsPlain(const uint8_t* planes, int plane_count, size_t row_bytes, int width,
                         uint8_t* pixels) {
  for (int x = 0; x < width; ++x) {
    unsigned v = 0;
    for (int p = 0; p < plane_count; ++p) {
      v |= ((planes[static_cast<size_t>(p) * row_bytes + static_cast<size_t>(x / 8)] >>
             (7 - x % 8)) &
            1u)
           << p;
    }
    pixels[x] = static_cast<uint8_t>(v);
  }
}

void PlanesToPixels(const uint8_t* planes, int plane_count, size_t row_bytes, int width,
                    uint8_t* pixels) {
  switch (plane_count) {
    case 1:
      return PlanesToPixelsOf<1>(planes, row_bytes, width, pixels);
    case 2:
      return PlanesToPixelsOf<2>(planes, row_bytes, width, pixels);
    case 3:
      return PlanesToPixelsOf<3>(planes, row_bytes, width, pixels);
    case 4:
      return PlanesToPixelsOf<4>(planes, row_bytes, width, pixels);
    case 5:
      return PlanesToPixelsOf<5>(planes, row_bytes, width, pixels);
    case 6:
      return PlanesToPixelsOf<6>(planes, row_bytes, width, pixels);
    case 7:
      return PlanesToPixelsOf<7>(planes, row_bytes, width, pixels);
    case 8:
      return PlanesToPixelsOf<8>(planes, row_bytes, width, pixels);
    default:
      return PlanesToPixelsPlain(planes, plane_count, row_bytes, width, pixels);
  }
}

void PixelsToPlanes(const uint8_t* pixels, int width, size_t row_bytes, uint8_t* planes) {
  std::memset(planes, 0, 8 * row_bytes);
  const size_t groups = (static_cast<size_t>(width) + 7) / 8;
  for (size_t b = 0; b < groups; ++b) {
    uint8_t eight[8] = {};
    const size_t n = std::min<size_t>(8, static_cast<size_t>(width) - 8 * b);
    std::memcpy(eight, pixels + 8 * b, n);
    const uint64_t x = Transpose8x8(LoadHighFirst(eight));
    for (int p = 0; p < 8; ++p) planes[p * row_bytes + b] = static_cast<uint8_t>(x >> (8 * p));
  }
}

}  // namespace hw
