// The commands that inspect, rewrite and convert one file:
//
//   info FILE        one JSON object describing the picture (PCX or PNG)
//   indices FILE     the row-major pixel indices (no row filler), binary
//   palette FILE     the 768 palette bytes (RGB of all 256 entries), binary
//   stats FILE       JSON: every entry with its colour, alpha, usage and the first
//                    entry it duplicates; how many are used, unused and duplicates
//   rewrite IN OUT   decode a PCX picture and write it back through our own writer
//                    (OUT "-" is standard output; "./-" names a file "-")
//   convert IN OUT   the kind OUT's extension names: .pcx or .png a picture (IN a
//                    picture), .gpl, .pal, .act, .hex or .txt a palette (IN a
//                    picture or any palette file); OUT "-" is refused
//   convert --palette-strip IN OUT.png
//                    IN's palette as a PNG strip: 256 x 1, pixel k index k
//   convert --format F IN OUT
//                    F (vga6, bgr15, md9, amiga12) is the format of the console
//                    palette side: IN when OUT's extension names a kind convert
//                    writes (then OUT is a palette of that kind, .pcx a palette
//                    picture and .png a strip), else OUT
//
// Each returns the exit code, having printed the failure line if any.
#pragma once

#include <string>

#include "formats/palettes/palette_format.h"

namespace hw::cli {

int Info(const std::string& path);
int Indices(const std::string& path);
int PaletteBytesOf(const std::string& path);
int Stats(const std::string& path);
int Rewrite(const std::string& in, const std::string& out);
int Convert(const std::string& in, const std::string& out, bool palette_strip = false);
int ConvertConsole(const std::string& in, const std::string& out, hw::PaletteFormat console);

}  // namespace hw::cli
