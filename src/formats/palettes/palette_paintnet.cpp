#include "formats/palettes/palette_paintnet.h"

#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {

Result<PaletteFile> DecodePaintNet(std::span<const uint8_t> bytes, std::string_view file) {
  // aarrggbb, with ';' starting a comment line.
  static constexpr HexLineForm kForm{
      PaletteFormat::PaintNet, 4, "eight hex digits (aarrggbb)", ';', '\0', [](const uint8_t* b) {
        return BoardEntry{{b[1], b[2], b[3]}, b[0]};
      }};
  return DecodeHexLines(bytes, file, kForm);
}

std::vector<uint8_t> EncodePaintNet(std::span<const BoardEntry> entries) {
  std::vector<uint8_t> out;
  Append(out, std::string(kPaintNetSignature) + "\r\n; Written by Huewright: " +
                  std::to_string(entries.size()) + " colours, one a line as aarrggbb\r\n");
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  for (const BoardEntry& e : entries) {
    for (uint8_t v : {e.A, e.rgb.R, e.rgb.G, e.rgb.B}) {
      out.push_back(static_cast<uint8_t>(kDigits[v >> 4]));
      out.push_back(static_cast<uint8_t>(kDigits[v & 15]));
    }
    Append(out, "\r\n");
  }
  return out;
}

}  // namespace hw::palette_files
