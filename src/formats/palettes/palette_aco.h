// Adobe colour swatch files (.aco): decoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/result.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// A version 1 section (version, count, then per colour a colour space and four
// 16-bit values, big-endian), optionally followed by a version 2 section of the
// same colours with names; a file may also hold the version 2 section alone. When
// both are there the version 2 colours and names are read. RGB, HSB and grey are
// read; CMYK, Lab and other colour spaces are refused naming the entry.
Result<PaletteFile> DecodeAco(std::span<const uint8_t> bytes, std::string_view file);

}  // namespace hw::palette_files
