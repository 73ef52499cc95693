// Palettes taken from pictures (PNG and PCX, PCX palette files included) and raw
// colours: decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// A PNG's PLTE entries with their tRNS alpha, a PCX file's palette as the picture
// shows it (a low-depth picture's header colours, else the trailing palette), or
// exactly 768 bytes of raw colours; anything else is refused.
Result<PaletteFile> DecodeRawOrPicture(std::span<const uint8_t> bytes, std::string_view file);

// A PCX palette file: a 16 x 16 picture of the indices 0..255 with the palette.
// A palette strip: an indexed PNG 256 x 1 whose pixel k is index k, with a tRNS
// chunk when any entry is not opaque.
std::vector<uint8_t> EncodePcxPalette(std::span<const BoardEntry> entries);
std::vector<uint8_t> EncodePngStrip(std::span<const BoardEntry> entries);

}  // namespace hw::palette_files
