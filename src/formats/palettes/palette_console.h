// Console and home-computer palette files: bare channel values of a fixed depth,
// 4, 16, 32 or 256 entries as the file's length says.
//
//   vga6     3 bytes an entry, 6-bit values 0..63 (R, G, B)
//   bgr15    16-bit little-endian words 0BBBBBGGGGGRRRRR
//   md9      16-bit big-endian words 0000BBB0GGG0RRR0
//   amiga12  16-bit big-endian words 0000RRRRGGGGBBBB
//
// A channel of b bits reads as round(k * 255 / (2^b - 1)); a write snaps each
// colour to the format's depth first and stores k. Nothing in the bytes names the
// format, so these are never chosen by content or extension, only by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "colour/target.h"
#include "formats/palettes/palette_format.h"

namespace hw {

// A console format is at most 256 entries of 3 bytes.
inline constexpr size_t kMaxConsolePaletteBytes = 768;

bool IsConsoleFormat(PaletteFormat format);
// "vga6", "bgr15", "md9", "amiga12"; nullopt for any other name.
std::optional<PaletteFormat> ConsoleFormatByName(std::string_view name);
// The short name of a console format ("md9"), empty for the others.
std::string_view ConsoleFormatKey(PaletteFormat format);
// The colours a console format holds: 6-6-6, 5-5-5, 3-3-3 or 4-4-4 even levels.
ColourTarget ConsoleFormatTarget(PaletteFormat format);

namespace palette_files {

// Refuses any length but 4, 16, 32 or 256 entries, and vga6 values above 63 (the
// message names the file, the byte and the value). Bits a word format does not use
// are ignored, as the hardware ignores them.
Result<PaletteFile> DecodeConsole(PaletteFormat format, std::span<const uint8_t> bytes,
                                  std::string_view file);
// The entries given, each snapped to the format's depth.
std::vector<uint8_t> EncodeConsole(PaletteFormat format, std::span<const BoardEntry> entries);

}  // namespace palette_files
}  // namespace hw
