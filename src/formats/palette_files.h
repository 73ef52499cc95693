// Palette files: GIMP (.gpl), JASC (.pal), Adobe colour tables (.act), hex lists
// (.hex), RIFF palettes (read) and PCX palette files, over byte spans. Nothing here
// touches a file; the file layer reads the bytes and hands them in.
//
// How a file is recognised: by content first (the "GIMP Palette", "JASC-PAL" and
// RIFF "PAL " signatures), then by the extension (.act, .hex); anything else is a
// PCX palette file, whose palette is the last 768 bytes of any file of at least 768
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "colour/colour.h"
#include "formats/result.h"

namespace hw {

enum class PaletteFormat { Gpl, Jasc, Act, Hex, Riff, Pcx };

// What a palette file held. File entry k lands at position k; positions the file
// did not reach stay black and opaque, and `count` says how many entries it had
// (1..256). Only Adobe colour tables carry transparency (one transparent entry).
struct PaletteFile {
  BoardEntries entries{};
  int count = 0;
  PaletteFormat format = PaletteFormat::Pcx;
};

// Text palettes (GIMP, JASC, hex) larger than this are refused; the file layer
// should refuse them before reading them whole.
inline constexpr size_t kMaxTextPaletteBytes = size_t{1} << 20;
// RIFF palettes may carry other chunks besides the colours; same bound.
inline constexpr size_t kMaxRiffPaletteBytes = size_t{1} << 20;
// An Adobe colour table: 768 bytes of colours, optionally a 4-byte trailer.
inline constexpr size_t kActBytes = 768;
inline constexpr size_t kActWithTrailerBytes = 772;
// SniffPaletteFormat looks at no more than this many leading bytes.
inline constexpr size_t kPaletteSniffBytes = 16;

// Decides the format from the first bytes of a file (at least kPaletteSniffBytes of
// them when the file is that long) and its name. Never fails: whatever is not
// recognised is Pcx.
PaletteFormat SniffPaletteFormat(std::span<const uint8_t> first_bytes, std::string_view file_name);

// How many bytes the file layer may read for a file of this format; files larger
// than that are refused (DecodePaletteFileAs refuses them too). std::nullopt for Pcx:
// read only the last kPaletteBytes (768) of the file and pass those.
std::optional<size_t> PaletteReadLimit(PaletteFormat format);

// Decodes a file of a known format (usually from SniffPaletteFormat on the file's
// first bytes). Errors name the file, the line for text formats, and the cause.
Result<PaletteFile> DecodePaletteFileAs(PaletteFormat format, std::span<const uint8_t> bytes,
                                        std::string_view file_name);

// SniffPaletteFormat + DecodePaletteFileAs over a whole file held in memory, with
// one fallback: a .act file of 768 or 772 bytes whose first colours happen to spell
// a signature, and which that format cannot read, is read as a colour table.
// The file layer should call this for every file up to kMaxTextPaletteBytes, and
// DecodePaletteFileAs(Pcx, last 768 bytes) only for larger files sniffed as Pcx.
Result<PaletteFile> DecodePaletteFile(std::span<const uint8_t> bytes, std::string_view file_name);

// Writes all 256 entries. Alpha survives only in Act (the first entry whose alpha
// is 0 becomes the transparent index); the other formats write colours only.
// Riff writes a version 0x0300 "data" chunk of 256 entries with zero flags.
std::vector<uint8_t> EncodePaletteFile(const BoardEntries& entries, PaletteFormat format);

// .gpl, .pal (JASC), .act, .hex and .pcx, case-insensitive; anything else nullopt.
std::optional<PaletteFormat> PaletteFormatForExtension(std::string_view file_name);

// "GIMP palette", "JASC palette", ... for messages and menus.
std::string_view PaletteFormatName(PaletteFormat format);

}  // namespace hw
