#include "formats/palette_gpl.h"

#include <string>

#include "formats/palette_common.h"

namespace hw::palette_files {

Result<PaletteFile> DecodeGpl(std::span<const uint8_t> bytes, std::string_view file) {
  if (auto s = CheckTextSize(bytes, file); !s) return s.error();
  Lines lines(WithoutBom(AsText(bytes)));
  std::string_view line;
  if (!lines.Next(line) || Trim(line) != kGimpSignature) {
    return FailAt(file, 1, "a GIMP palette starts with the line 'GIMP Palette'");
  }
  PaletteFile out;
  out.format = PaletteFormat::Gpl;
  while (lines.Next(line)) {
    std::string_view rest = Trim(line);
    if (rest.empty() || rest.front() == '#' || rest.starts_with("Name:") ||
        rest.starts_with("Columns:")) {
      continue;
    }
    std::string why;
    const auto rgb = ParseRgb(rest, why);  // whatever follows the numbers is the name
    if (!rgb) return FailAt(file, lines.number(), why);
    if (out.count == kMaxEntries) return FailAt(file, lines.number(), "more than 256 colours");
    out.entries[static_cast<size_t>(out.count++)].rgb = *rgb;
  }
  if (out.count == 0) return Fail(file, "the palette holds no colours");
  return out;
}

std::vector<uint8_t> EncodeGpl(const BoardEntries& entries) {
  std::vector<uint8_t> out;
  Append(out, "GIMP Palette\nName: Huewright\nColumns: 16\n#\n");
  for (size_t k = 0; k < entries.size(); ++k) {
    Append(out, Decimal(entries[k].rgb, " ") + "\tIndex " + std::to_string(k) + "\n");
  }
  return out;
}

}  // namespace hw::palette_files
