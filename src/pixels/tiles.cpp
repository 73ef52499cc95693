#include "pixels/tiles.h"

#include <array>
#include <bit>
#include <cstring>

namespace hw {

bool ValidTileCheck(const TileCheckOptions& o) {
  return o.tile_width >= 1 && o.tile_height >= 1 && (o.bank_size == 16 || o.bank_size == 4);
}

namespace {

constexpr uint64_t kEveryByte = 0x0101010101010101ULL;

// The banks one row segment of a tile uses. Eight pixels at a time are tested for
// lying in one bank, the common case of a picture drawn for such hardware; a run
// that does not goes through the table pixel by pixel.
class SegmentBanks {
 public:
  explicit SegmentBanks(const TileCheckOptions& o)
      : shift_(o.bank_size == 16 ? 4 : 2),
        shared_zero_(o.shared_zero),
        bank_bits_(kEveryByte * static_cast<uint8_t>(0x100 - o.bank_size)),
        inner_bits_(kEveryByte * static_cast<uint8_t>(o.bank_size - 1)) {
    for (int v = 0; v < 256; ++v) {
      const bool shared = shared_zero_ && (v & (o.bank_size - 1)) == 0;
      table_[static_cast<size_t>(v)] = shared ? 0 : uint64_t{1} << (v >> shift_);
    }
  }

  uint64_t Of(const uint8_t* p, int count) const {
    uint64_t used = 0;
    int i = 0;
    if (count >= 8) {
      const uint64_t same = kEveryByte * p[0];
      const uint64_t bank = uint64_t{1} << (p[0] >> shift_);
      for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        if (((word ^ same) & bank_bits_) == 0) {
          // One bank; with shared zeros it counts only when a pixel is not one.
          if (!shared_zero_ || (word & inner_bits_) != 0) used |= bank;
        } else {
          for (int k = 0; k < 8; ++k) used |= table_[p[i + k]];
        }
      }
    }
    for (; i < count; ++i) used |= table_[p[i]];
    return used;
  }

 private:
  int shift_;
  bool shared_zero_;
  uint64_t bank_bits_;   // the bits of every byte that name its bank
  uint64_t inner_bits_;  // the bits of every byte that name its place in the bank
  std::array<uint64_t, 256> table_{};
};

}  // namespace

TileBanks CheckTiles(std::span<const uint8_t> pixels, int width, int height,
                     const TileCheckOptions& options) {
  TileBanks out;
  if (!ValidTileCheck(options) || width <= 0 || height <= 0 ||
      pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return out;
  }
  out.columns = static_cast<int>((int64_t{width} + options.tile_width - 1) / options.tile_width);
  out.rows = static_cast<int>((int64_t{height} + options.tile_height - 1) / options.tile_height);
  out.banks.assign(static_cast<size_t>(out.columns) * static_cast<size_t>(out.rows), 0);
  const SegmentBanks segment(options);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    uint64_t* tiles = out.banks.data() + static_cast<size_t>(y / options.tile_height) *
                                             static_cast<size_t>(out.columns);
    for (int c = 0; c < out.columns; ++c) {
      const int x = c * options.tile_width;
      const int count = width - x < options.tile_width ? width - x : options.tile_width;
      tiles[c] |= segment.Of(row + x, count);
    }
  }
  for (const uint64_t b : out.banks) out.mixed += std::popcount(b) > 1;
  return out;
}

}  // namespace hw
