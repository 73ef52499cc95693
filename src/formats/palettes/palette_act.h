// Adobe colour tables (.act): decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// 768 bytes of colours, or 772 with a trailer: the number of colours and the
// transparent index, 16 bits each, big-endian.
Result<PaletteFile> DecodeAct(std::span<const uint8_t> bytes, std::string_view file);

// All 256 entries and a trailer naming the first transparent entry (0xFFFF when
// none is).
std::vector<uint8_t> EncodeAct(std::span<const BoardEntry> entries);

}  // namespace hw::palette_files
