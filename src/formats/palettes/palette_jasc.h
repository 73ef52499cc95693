// JASC palettes (.pal): decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// "JASC-PAL", "0100", the number of colours, then exactly that many "r g b" lines.
Result<PaletteFile> DecodeJasc(std::span<const uint8_t> bytes, std::string_view file);

// All 256 entries, lines ending in CR LF.
std::vector<uint8_t> EncodeJasc(std::span<const BoardEntry> entries);

}  // namespace hw::palette_files
