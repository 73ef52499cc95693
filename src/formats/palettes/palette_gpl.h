// GIMP palettes (.gpl): decoding and encoding, for palette_files.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw::palette_files {

// "GIMP Palette", then one colour a line ("r g b name", or "r g b a name" after
// "Channels: RGBA"); "Name:", "Columns:", comments and empty lines are skipped. The
// names come back in `names` (our own "Index k" on entry k counts as no name).
Result<PaletteFile> DecodeGpl(std::span<const uint8_t> bytes, std::string_view file);

// All 256 entries, each with its name from `names`, or "Index k" where it has none;
// with "Channels: RGBA" and the alphas when any entry is not opaque.
std::vector<uint8_t> EncodeGpl(std::span<const BoardEntry> entries,
                               const EntryNames* names = nullptr);

}  // namespace hw::palette_files
