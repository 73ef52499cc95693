// RIFF palettes: decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// A RIFF file of form 'PAL ' whose 'data' chunk holds a version 0x0300 palette:
// the number of colours, then r g b and a flags byte per colour; other chunks are
// skipped.
Result<PaletteFile> DecodeRiff(std::span<const uint8_t> bytes, std::string_view file);

// A version 0x0300 'data' chunk of 256 entries with zero flags.
std::vector<uint8_t> EncodeRiff(std::span<const BoardEntry> entries);

}  // namespace hw::palette_files
