// Hex colour lists (.hex): decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// One colour a line, six hex digits "rrggbb", optionally behind a '#'.
Result<PaletteFile> DecodeHex(std::span<const uint8_t> bytes, std::string_view file);

// All 256 entries, lower-case digits, no '#'.
std::vector<uint8_t> EncodeHex(std::span<const BoardEntry> entries);

}  // namespace hw::palette_files
