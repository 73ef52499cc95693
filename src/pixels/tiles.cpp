#include "pixels/tiles.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>

#include "base/faults.h"
#include "base/memory.h"

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

// Tiles 8 pixels wide with banks of 16 go straight to their words: each 8-pixel
// piece of a row is a 64-bit lane, its banks' bits OR-ed down the band in the two
// planes' bytes, then across the lane's bytes; the low plane's byte and the high
// one's side by side are the tile's word, so one store writes four tiles (eight
// with AVX-512).
using Tiles8Kernel = void (*)(const uint8_t* first, size_t width, size_t stride, int rows,
                              const BankBits& bits, uint64_t* tiles);

// The tiles past the last whole vector, pixel by pixel.
[[maybe_unused]] void Tiles8Rest(const uint8_t* first, size_t width, size_t stride, size_t x,
                                 int rows, const BankBits& bits, uint64_t* tiles) {
  for (; x < width; x += 8) {
    const size_t end = std::min(width, x + 8);
    uint64_t used = 0;
    for (int y = 0; y < rows; ++y) {
      const uint8_t* row = first + static_cast<size_t>(y) * stride;
      for (size_t i = x; i < end; ++i) {
        used |= bits.bit[0][row[i]] | uint64_t{bits.bit[1][row[i]]} << 8;
      }
    }
    tiles[x / 8] = used;
  }
}

#if HW_TILES_X86
// Banks of 16: the high nibble picks the bank, so two shuffles of a 16-entry table
// give both planes (banks 0-7 and 8-15, a bit each) of 32 pixels at once.
struct BankPlanes32 {
  __m256i lows, highs;
  bool shared;  // the table gives index 0 no bit, and then none of the zeros
  __attribute__((target("avx2"))) explicit BankPlanes32(const BankBits& bits)
      : shared(bits.bit[0][0] == 0) {
    alignas(32) uint8_t low_table[32], high_table[32];
    for (int k = 0; k < 32; ++k) {
      low_table[k] = k % 16 < 8 ? uint8_t(1u << (k % 16)) : 0;
      high_table[k] = k % 16 >= 8 ? uint8_t(1u << (k % 16 - 8)) : 0;
    }
    lows = _mm256_load_si256(reinterpret_cast<const __m256i*>(low_table));
    highs = _mm256_load_si256(reinterpret_cast<const __m256i*>(high_table));
  }
  // Both planes of 32 pixels from `at`, OR-ed down `rows` rows `stride` apart.
  __attribute__((target("avx2"), always_inline)) inline void OrDown(const uint8_t* at,
                                                                    size_t stride, int rows,
                                                                    __m256i& low,
                                                                    __m256i& high) const {
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i zero = _mm256_setzero_si256();
    low = zero;
    high = zero;
    for (int y = 0; y < rows; ++y, at += stride) {
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
  }
};

// A column of 32 pixels is OR-ed down the band in registers and stored once.
__attribute__((target("avx2"))) void OrBandAvx2(const uint8_t* first, size_t n, int rows,
                                                size_t row_stride, const BankBits& bits,
                                                uint8_t* planes, size_t stride) {
  const BankPlanes32 banks(bits);
  uint8_t* out_low = planes;
  uint8_t* out_high = planes + stride;
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    __m256i low, high;
    banks.OrDown(first + x, row_stride, rows, low, high);
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
__attribute__((target("avx2"))) void Tiles8Avx2(const uint8_t* first, size_t width, size_t stride,
                                                int rows, const BankBits& bits, uint64_t* tiles) {
  const BankPlanes32 banks(bits);
  const __m256i byte = _mm256_set1_epi64x(0xff);
  size_t x = 0;
  for (; x + 32 <= width; x += 32) {
    __m256i low, high;
    banks.OrDown(first + x, stride, rows, low, high);
    low = _mm256_or_si256(low, _mm256_srli_epi64(low, 32));
    high = _mm256_or_si256(high, _mm256_srli_epi64(high, 32));
    low = _mm256_or_si256(low, _mm256_srli_epi64(low, 16));
    high = _mm256_or_si256(high, _mm256_srli_epi64(high, 16));
    low = _mm256_or_si256(low, _mm256_srli_epi64(low, 8));
    high = _mm256_or_si256(high, _mm256_srli_epi64(high, 8));
    const __m256i used = _mm256_or_si256(_mm256_and_si256(low, byte),
                                         _mm256_slli_epi64(_mm256_and_si256(high, byte), 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(tiles + x / 8), used);
  }
  Tiles8Rest(first, width, stride, x, rows, bits, tiles);
}

#define HW_TILES_AVX512 __attribute__((target("avx512f,avx512bw")))

HW_TILES_AVX512 void Tiles8Avx512(const uint8_t* first, size_t width, size_t stride, int rows,
                                  const BankBits& bits, uint64_t* tiles) {
  alignas(64) uint8_t low_table[64], high_table[64];
  for (int k = 0; k < 64; ++k) {
    low_table[k] = k % 16 < 8 ? uint8_t(1u << (k % 16)) : 0;
    high_table[k] = k % 16 >= 8 ? uint8_t(1u << (k % 16 - 8)) : 0;
  }
  const bool shared = bits.bit[0][0] == 0;
  const __m512i lows = _mm512_load_si512(low_table);
  const __m512i highs = _mm512_load_si512(high_table);
  const __m512i nibble = _mm512_set1_epi8(0x0f);
  const __m512i byte = _mm512_set1_epi64(0xff);
  // Shifts under a full mask: the same result, with no undefined source operand
  // for the compiler to warn about.
  const __mmask8 all = 0xff;
  size_t x = 0;
  for (; x + 64 <= width; x += 64) {
    __m512i low = _mm512_setzero_si512(), high = _mm512_setzero_si512();
    const uint8_t* at = first + x;
    for (int y = 0; y < rows; ++y, at += stride) {
      const __m512i v = _mm512_loadu_si512(at);
      const __m512i bank = _mm512_and_si512(_mm512_srli_epi16(v, 4), nibble);
      // Under shared zeros a pixel at position 0 of its bank sets no bit.
      const __mmask64 counted = shared ? _mm512_test_epi8_mask(v, nibble) : ~__mmask64{0};
      low = _mm512_or_si512(low, _mm512_maskz_shuffle_epi8(counted, lows, bank));
      high = _mm512_or_si512(high, _mm512_maskz_shuffle_epi8(counted, highs, bank));
    }
    low = _mm512_or_si512(low, _mm512_maskz_srli_epi64(all, low, 32));
    high = _mm512_or_si512(high, _mm512_maskz_srli_epi64(all, high, 32));
    low = _mm512_or_si512(low, _mm512_maskz_srli_epi64(all, low, 16));
    high = _mm512_or_si512(high, _mm512_maskz_srli_epi64(all, high, 16));
    low = _mm512_or_si512(low, _mm512_maskz_srli_epi64(all, low, 8));
    high = _mm512_or_si512(high, _mm512_maskz_srli_epi64(all, high, 8));
    const __m512i used = _mm512_or_si512(
        _mm512_and_si512(low, byte), _mm512_maskz_slli_epi64(all, _mm512_and_si512(high, byte), 8));
    _mm512_storeu_si512(tiles + x / 8, used);
  }
  Tiles8Avx2(first + x, width - x, stride, rows, bits, tiles + x / 8);
}
#endif

bool HasAvx2() {
#if HW_TILES_X86
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

bool HasAvx512() {
#if HW_TILES_X86
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#else
  return false;
#endif
}

// The kernels a check uses: a band kernel and its planes, or for tiles 8 pixels
// wide with banks of 16 one that writes the tiles' words itself.
struct Kernels {
  BandKernel band = OrBandPortable;
  Tiles8Kernel tiles8 = nullptr;
};

std::optional<Kernels> Select(TileKernel kernel, const TileCheckOptions& o) {
  if (kernel == TileKernel::Auto) {
    kernel = HasAvx512() ? TileKernel::Avx512 : HasAvx2() ? TileKernel::Avx2 : TileKernel::Portable;
  }
  Kernels k;
  if (kernel == TileKernel::Portable) return k;
  if (!HasAvx2() || (kernel == TileKernel::Avx512 && !HasAvx512())) return std::nullopt;
#if HW_TILES_X86
  if (o.bank_size == 16) k.band = OrBandAvx2;
  if (o.bank_size == 16 && o.tile_width == 8) {
    k.tiles8 = kernel == TileKernel::Avx512 ? Tiles8Avx512 : Tiles8Avx2;
  }
#else
  (void)o;
#endif
  return k;
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
                     const TileCheckOptions& options) {
  return *CheckTilesWith(TileKernel::Auto, pixels, width, height, options);
}

std::optional<TileBanks> CheckTilesWith(TileKernel kernel, std::span<const uint8_t> pixels,
                                        int width, int height, const TileCheckOptions& o) {
  const std::optional<Kernels> kernels = Select(kernel, o);
  if (!kernels) return std::nullopt;
  TileBanks out;
  if (!ValidTileCheck(o) || width <= 0 || height <= 0 ||
      pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return out;
  }
  out.columns = static_cast<int>((int64_t{width} + o.tile_width - 1) / o.tile_width);
  out.rows = static_cast<int>((int64_t{height} + o.tile_height - 1) / o.tile_height);
  // Every band writes all its tiles' words: the list is not filled first, and its
  // fresh pages fault in as huge ones where they can.
  const size_t count = static_cast<size_t>(out.columns) * static_cast<size_t>(out.rows);
  out.banks.reserve(count);
  AdviseHugePages(out.banks.data(), count * sizeof(uint64_t));
  out.banks.resize(count);
  const BankBits bits(o);
  const size_t w = static_cast<size_t>(width);
  const size_t stride = w;

  // One band: its tiles' words, through the tile kernel or from the band's rows
  // OR-ed into `planes`, each tile then OR-ing its columns; returns how many of
  // them are mixed.
  const auto band = [&](int r, std::vector<uint8_t>& planes) -> int64_t {
    const int y0 = r * o.tile_height;
    const int rows = std::min(height - y0, o.tile_height);
    uint64_t* tiles = out.banks.data() + static_cast<size_t>(r) * static_cast<size_t>(out.columns);
    const uint8_t* first = pixels.data() + static_cast<size_t>(y0) * w;
    if (kernels->tiles8) {
      kernels->tiles8(first, w, w, rows, bits, tiles);
    } else {
      kernels->band(first, w, rows, w, bits, planes.data(), stride);
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
    }
    int64_t mixed = 0;
    for (int c = 0; c < out.columns; ++c) mixed += (tiles[c] & (tiles[c] - 1)) != 0;
    return mixed;
  };

  // A large picture is checked on two cores, bands taken in turn; each band writes
  // only its own tiles.
  std::atomic<int> next{0};
  std::atomic<int64_t> mixed{0};
  const auto take = [&] {
    std::vector<uint8_t> planes;
    if (!kernels->tiles8) planes.resize(static_cast<size_t>(bits.planes) * stride);
    int64_t own = 0;
    for (int r; (r = next.fetch_add(1)) < out.rows;) own += band(r, planes);
    mixed += own;
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
  out.mixed = mixed;
  return out;
}

}  // namespace hw
