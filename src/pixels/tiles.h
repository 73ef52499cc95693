// Which palette banks each tile of a picture uses. Tile-based hardware draws a
// tile with the colours of one bank (a run of 16 or 4 positions), so a tile whose
// pixels reach into two banks cannot be shown as drawn.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/memory.h"

namespace hw {

struct TileCheckOptions {
  int tile_width = 8;
  int tile_height = 8;
  int bank_size = 16;  // 16 or 4
  // Position 0 of every bank is shared (transparent, say): it counts towards no bank.
  bool shared_zero = false;
};

struct TileBanks {
  int columns = 0;  // tiles across, partial tiles at the right edge included
  int rows = 0;     // tiles down, partial tiles at the bottom edge included
  // Tile (column c, row r) at banks[r * columns + c]: bit b set when a pixel of the
  // tile uses bank b (position div bank size).
  std::vector<uint64_t, UninitialisedAllocator<uint64_t>> banks;
  int64_t mixed = 0;  // tiles with more than one bank
};

// Whether options are usable: tiles at least 1 x 1, banks of 16 or 4.
bool ValidTileCheck(const TileCheckOptions& options);

// `pixels` holds width x height indices, row by row. Throws std::bad_alloc when
// there is no room for the list of tiles.
TileBanks CheckTiles(std::span<const uint8_t> pixels, int width, int height,
                     const TileCheckOptions& options);

// The same with a chosen kernel, for tests and benchmarks: Portable ORs each band's
// bank bits into byte planes one pixel at a time; Avx2 does that 32 pixels at a time
// and, for tiles 8 pixels wide and banks of 16, writes four tiles' words from each
// run of 32 pixels down the band; Avx512 writes eight from 64. Auto picks the fastest
// this processor runs. Nothing when the processor lacks the kernel's instructions.
enum class TileKernel { Auto, Portable, Avx2, Avx512 };
std::optional<TileBanks> CheckTilesWith(TileKernel kernel, std::span<const uint8_t> pixels,
                                        int width, int height, const TileCheckOptions& options);

}  // namespace hw
