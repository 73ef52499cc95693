// Which palette banks each tile of a picture uses. Tile-based hardware draws a
// tile with the colours of one bank (a run of 16 or 4 positions), so a tile whose
// pixels reach into two banks cannot be shown as drawn.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

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
  std::vector<uint64_t> banks;
  int64_t mixed = 0;  // tiles with more than one bank
};

// Whether options are usable: tiles at least 1 x 1, banks of 16 or 4.
bool ValidTileCheck(const TileCheckOptions& options);

// `pixels` holds width x height indices, row by row. Throws std::bad_alloc when
// there is no room for the list of tiles.
TileBanks CheckTiles(std::span<const uint8_t> pixels, int width, int height,
                     const TileCheckOptions& options);

}  // namespace hw
