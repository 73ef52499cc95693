#include "pixels/tiles.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/faults.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define HW_TILES_X86 1
#include <immintrin.h>
#else
#define HW_TILES_X86 0
#endif

namespace hw {

bool ValidTileCheck(const TileCheckOptions& o) {
  return o.tile_width >= 1 && o.tile_height >= 1 && (o.bank_size == 16 || o.bank_size == 4);
}

namespace {

// The check runs one band of tile rows at a time. Each pixel's bank becomes one
// bit in one of `planes` bytes (planes * 8 banks: 2 planes for 16 banks, 8 for 64);
// the rows of the band are OR-ed column by column into those bytes, and each tile
// then ORs its columns' bytes. Position 0 of a bank under shared zeros sets no bit.
struct BankBits {
  int planes = 2;
  std::array<std::array<uint8_t, 256>, 8> bit{};  // bit[plane][index]
  explicit BankBits(const TileCheckOptions& o) : planes(256 / o.bank_size / 8) {
    for (int v = 0; v < 256; ++v) {
      if (o.shared_zero && v % o.bank_size == 0) continue;
      const int bank = v / o.bank_size;
      bit[static_cast<size_t>(bank / 8)][static_cast<size_t>(v)] = uint8_t(1u << (bank % 8));
    }
  }
};

// Sets `planes` (bits.planes rows of `stride` bytes) to the OR of the bank bits of
// `rows` picture rows of n pixels, `row_stride` apart.
using BandKernel = void (*)(const uint8_t* first, size_t n, int rows, size_t row_stride,
                            const BankBits& bits, uint8_t* planes, size_t stride);

void OrBandPortable(const uint8_t* first, size_t n, int rows, size_t row_stride,
                    const BankBits& bits, uint8_t* planes, size_t stride) {
  std::fill(planes, planes + static_cast<size_t>(bits.planes) * stride, uint8_t{0});
  for (int y = 0; y < rows; ++y) {
    const uint8_t* row = first + static_cast<size_t>(y) * row_stride;
    for (int p = 0; p < bits.planes; ++p) {
      const uint8_t* bit = bits.bit[static_cast<size_t>(p)].data();
      uint8_t* out = planes + static_cast<size_t>(p) * stride;
      for (size_t x = 0; x < n; ++x) out[x] |= bit[row[x]];
    }
  }
}

#if HW_TILES_X86
// Banks of 16: the high nibble picks the bank, so two shuffles of a 16-entry table
// give both planes of 32 pixels at once; a column of 32 pixels is OR-ed down the
// band in registers and stored once.
__attribute__((target("avx2"))) void OrBandAvx2(const uint8_t* first, size_t n, int rows,
                                                size_t row_stride, const BankBits& bits,
                                                uint8_t* planes, size_t stride) {
  alignas(32) uint8_t low_table[32], high_table[32];
  for (int k = 0; k < 32; ++k) {
    low_table[k] = k % 16 < 8 ? uint8_t(1u << (k % 16)) : 0;
    high_table[k] = k % 16 >= 8 ? uint8_t(1u << (k % 16 - 8)) : 0;
  }
  // Shared zeros: the table gives index 0 no bit, and then none of the zeros.
  const bool shared = bits.bit[0][0] == 0;
  const __m256i lows = _mm256_load_si256(reinterpret_cast<const __m256i*>(low_table));
  const __m256i highs = _mm256_load_si256(reinterpret_cast<const __m256i*>(high_table));
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  const __m256i zero = _mm256_setzero_si256();
  uint8_t* out_low = planes;
  uint8_t* out_high = planes + stride;
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    __m256i low = zero, high = zero;
    const uint8_t* at = first + x;
    for (int y = 0; y < rows; ++y, at += row_stride) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
      const __m256i bank = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
      __m256i l = _mm256_shuffle_epi8(lows, bank);
      __m256i h = _mm256_shuffle_epi8(highs, bank);
      if (shared) {
        const __m256i is_zero = _mm256_cmpeq_epi8(_mm256_and_si256(v, nibble), zero);
        l = _mm256_andnot_si256(is_zero, l);
        h = _mm256_andnot_si256(is_zero, h);
      }
      low = _mm256_or_si256(low, l);
      high = _mm256_or_si256(high, h);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out_low + x), low);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out_high + x), high);
  }
  for (; x < n; ++x) {
    uint8_t l = 0, h = 0;
    for (int y = 0; y < rows; ++y) {
      const uint8_t v = first[static_cast<size_t>(y) * row_stride + x];
      l |= bits.bit[0][v];
      h |= bits.bit[1][v];
    }
    out_low[x] = l;
    out_high[x] = h;
  }
}
#endif

BandKernel Kernel(const TileCheckOptions& o) {
#if HW_TILES_X86
  if (o.bank_size == 16 && __builtin_cpu_supports("avx2")) return OrBandAvx2;
#endif
  (void)o;
  return OrBandPortable;
}

// The OR of bytes [x0, x1) of a plane, eight at a time where it can.
uint8_t AnyOf(const uint8_t* plane, size_t x0, size_t x1) {
  uint64_t word = 0;
  size_t x = x0;
  for (; x + 8 <= x1; x += 8) {
    uint64_t w;
    std::memcpy(&w, plane + x, sizeof w);
    word |= w;
  }
  word |= word >> 32;
  word |= word >> 16;
  word |= word >> 8;
  uint8_t any = static_cast<uint8_t>(word);
  for (; x < x1; ++x) any |= plane[x];
  return any;
}

}  // namespace

TileBanks CheckTiles(std::span<const uint8_t> pixels, int width, int height,
                     const TileCheckOptions& o) {
  TileBanks out;
  if (!ValidTileCheck(o) || width <= 0 || height <= 0 ||
      pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return out;
  }
  out.columns = static_cast<int>((int64_t{width} + o.tile_width - 1) / o.tile_width);
  out.rows = static_cast<int>((int64_t{height} + o.tile_height - 1) / o.tile_height);
  out.banks.assign(static_cast<size_t>(out.columns) * static_cast<size_t>(out.rows), 0);
  const BankBits bits(o);
  const BandKernel kernel = Kernel(o);
  const size_t w = static_cast<size_t>(width);
  const size_t stride = w;

  // One band: its rows OR-ed into `planes`, then each tile's columns into its word.
  const auto band = [&](int r, std::vector<uint8_t>& planes) {
    const int y0 = r * o.tile_height;
    const int rows = std::min(height - y0, o.tile_height);
    kernel(pixels.data() + static_cast<size_t>(y0) * w, w, rows, w, bits, planes.data(), stride);
    uint64_t* tiles = out.banks.data() + static_cast<size_t>(r) * static_cast<size_t>(out.columns);
    for (int c = 0; c < out.columns; ++c) {
      const size_t x0 = static_cast<size_t>(c) * static_cast<size_t>(o.tile_width);
      const size_t x1 = std::min(w, x0 + static_cast<size_t>(o.tile_width));
      uint64_t used = 0;
      for (int p = 0; p < bits.planes; ++p) {
        const uint8_t* plane = planes.data() + static_cast<size_t>(p) * stride;
        used |= uint64_t{AnyOf(plane, x0, x1)} << (8 * p);
      }
      tiles[c] = used;
    }
  };

  // A large picture is checked on two cores, bands taken in turn; each band writes
  // only its own tiles.
  std::atomic<int> next{0};
  const auto take = [&] {
    std::vector<uint8_t> planes(static_cast<size_t>(bits.planes) * stride);
    for (int r; (r = next.fetch_add(1)) < out.rows;) band(r, planes);
  };
  const bool split =
      static_cast<uint64_t>(width) * static_cast<uint64_t>(height) >= (uint64_t{1} << 22) &&
      out.rows >= 2 && std::thread::hardware_concurrency() >= 2;
  std::thread helper;
  if (split) {
    try {
      helper = StartThread(take);
    } catch (const std::system_error&) {
      // No second thread: this one takes every band, with the same result.
    }
  }
  take();
  if (helper.joinable()) helper.join();
  for (const uint64_t b : out.banks) out.mixed += std::popcount(b) > 1;
  return out;
}

}  // namespace hw
