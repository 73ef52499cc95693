#include "formats/palettes/palette_hex.h"

#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {

Result<PaletteFile> DecodeHex(std::span<const uint8_t> bytes, std::string_view file) {
  // rrggbb, optionally after a '#'; the entries stay opaque.
  static constexpr HexLineForm kForm{
      PaletteFormat::Hex, 3, "six hex digits (rrggbb)", '\0', '#', [](const uint8_t* b) {
        return BoardEntry{{b[0], b[1], b[2]}};
      }};
  return DecodeHexLines(bytes, file, kForm);
}

std::vector<uint8_t> EncodeHex(std::span<const BoardEntry> entries) {
  std::vector<uint8_t> out;
  static constexpr std::string_view kDigits = "0123456789abcdef";
  for (const BoardEntry& e : entries) {
    for (uint8_t v : {e.rgb.R, e.rgb.G, e.rgb.B}) {
      out.push_back(static_cast<uint8_t>(kDigits[v >> 4]));
      out.push_back(static_cast<uint8_t>(kDigits[v & 15]));
    }
    out.push_back('\n');
  }
  return out;
}

}  // namespace hw::palette_files
