// Paint.NET palettes (.txt): decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// The comment line our writer starts with; files that start so are told by content.
inline constexpr std::string_view kPaintNetSignature = "; paint.net Palette File";

// One colour a line as eight hex digits "aarrggbb", alpha kept; lines starting
// with ';' are comments, empty lines are skipped.
Result<PaletteFile> DecodePaintNet(std::span<const uint8_t> bytes, std::string_view file);

// All 256 entries, upper-case digits, after a few comment lines.
std::vector<uint8_t> EncodePaintNet(std::span<const BoardEntry> entries);

}  // namespace hw::palette_files
