// Palette files: GIMP (.gpl), JASC (.pal), Adobe colour tables (.act), hex lists
// (.hex), Paint.NET palettes (.txt), RIFF palettes (read), Adobe swatch exchange
// (.ase, read) and colour swatch files (.aco, read), PCX palette files, palette
// strips (PNG, written) and the palettes of pictures, over byte spans. Nothing here
// touches a file; the file layer reads the bytes and hands them in.
//
// How a file is recognised: by content first (the "GIMP Palette", "JASC-PAL",
// "ASEF", "; paint.net" and RIFF "PAL " signatures; a PNG by its signature, a PCX by
// its first byte, 10), then by the extension (.act, .hex, .aco, .txt). An indexed
// PNG gives its PLTE entries with their tRNS alpha, any other PNG its distinct
// colours in reading order (at most 256);
// a PCX the 768 bytes after the byte 12 that must stand 769 bytes before its end
// (a PCX palette file is such a picture). Anything else is read only when it is
// exactly 768 bytes, as raw colours; any other file is refused as "not a palette
// file Huewright reads".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"

namespace hw {

// PaletteFormat, PaletteFile and the sizes of the formats are in palette_format.h.

// SniffPaletteFormat looks at no more than this many leading bytes.
inline constexpr size_t kPaletteSniffBytes = 16;

// Decides the format from the first bytes of a file (at least kPaletteSniffBytes of
// them when the file is that long) and its name. Never fails: a PNG, a PCX and
// whatever is not recognised are Pcx (DecodePaletteFileAs tells them apart).
PaletteFormat SniffPaletteFormat(std::span<const uint8_t> first_bytes, std::string_view file_name);

// Decodes a file of a known format (usually from SniffPaletteFormat on the file's
// first bytes, or a console format the user named). Errors name the file, the line for text
// formats, and the cause.
Result<PaletteFile> DecodePaletteFileAs(PaletteFormat format, std::span<const uint8_t> bytes,
                                        std::string_view file_name);

// SniffPaletteFormat + DecodePaletteFileAs over a whole file held in memory, with
// a fallback to the name when the content misleads: a .act file of 768 or 772 bytes
// whose first colours happen to spell a signature or start with 10, and a .hex or
// .txt file starting with an empty line, are read by their extension when the format
// their content suggests cannot read them.
Result<PaletteFile> DecodePaletteFile(std::span<const uint8_t> bytes, std::string_view file_name);

// Writes the entries given (1 to 256; a shorter palette, such as one bank of a
// board, is written as that many entries: an Adobe colour table in its 772-byte form
// with the count in its trailer, a palette picture as a strip of that many pixels).
// `names`, when given, names entry k of the span as its k-th name. Alpha survives in Gpl (RGBA
// channels when any entry is not opaque), PaintNet and PngStrip, and in Act as one transparent
// entry (the first whose alpha is 0); the other formats write colours only. Gpl writes `names` (an
// entry without one is "Index k"); no other format holds names. Riff writes a
// version 0x0300 "data" chunk with zero flags. Ase and Aco are not written: nothing
// comes back for them. The console formats (palette_console.h) snap each colour to
// the format's depth.
std::vector<uint8_t> EncodePaletteEntries(std::span<const BoardEntry> entries, PaletteFormat format,
                                          const EntryNames* names = nullptr);

// All 256 entries as EncodePaletteEntries writes them; a console format only its
// first `count` when that is 16 or 32.
std::vector<uint8_t> EncodePaletteFile(const BoardEntries& entries, PaletteFormat format,
                                       const EntryNames* names = nullptr, int count = 256);

// The formats written: .gpl, .pal (JASC), .act, .hex, .txt (Paint.NET), .pcx and
// .png (a palette strip), case-insensitive; anything else nullopt.
std::optional<PaletteFormat> PaletteFormatForExtension(std::string_view file_name);

// "GIMP palette", "JASC palette", ... for messages and menus.
std::string_view PaletteFormatName(PaletteFormat format);
// How the status line names a format after a save: "GIMP palette", "hex list",
// "PCX palette picture", "PNG strip", the console formats by their own names
// ("md9"), ...
std::string_view PaletteFormatTitle(PaletteFormat format);

}  // namespace hw
