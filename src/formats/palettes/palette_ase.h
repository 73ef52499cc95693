// Adobe swatch exchange files (.ase): decoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/result.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

inline constexpr std::string_view kAseSignature = "ASEF";

// "ASEF", version 1.x, a block count, then blocks (type, length, data, big-endian):
// colours with their names, group starts and ends (groups are flattened into one
// list). RGB and Gray colours are read; CMYK, LAB and unknown models are refused
// naming the entry.
Result<PaletteFile> DecodeAse(std::span<const uint8_t> bytes, std::string_view file);

}  // namespace hw::palette_files
