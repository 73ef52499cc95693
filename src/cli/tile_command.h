// `huewright-cli tiles IN [--tile WxH] [--bank 16|4] [--shared-zero]`: which
// palette banks each tile of a picture uses, as JSON on standard output:
//
//   {"tile": [W, H], "bank": B, "mixed": n, "tiles": [{"x": 0, "y": 0, "banks": [0, 3]}, ...]}
//
// x and y count tiles, not pixels; tiles go row by row, partial tiles at the right
// and bottom edges included; banks lists position div B in ascending order over
// the tile's pixels, without position 0 of each bank under --shared-zero; mixed
// counts the tiles with more than one bank.
#pragma once

#include <string>
#include <vector>

namespace hw::cli {

// args: everything after "tiles". Returns the exit code.
int Tiles(const std::vector<std::string>& args);

}  // namespace hw::cli
