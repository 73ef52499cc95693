// GIMP palettes (.gpl): decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "colour/colour.h"
#include "formats/palette_format.h"
#include "formats/result.h"

namespace hw::palette_files {

// "GIMP Palette", then one colour a line ("r g b name"); "Name:", "Columns:",
// comments and empty lines are skipped.
Result<PaletteFile> DecodeGpl(std::span<const uint8_t> bytes, std::string_view file);

// All 256 entries, each named after its index.
std::vector<uint8_t> EncodeGpl(const BoardEntries& entries);

}  // namespace hw::palette_files
