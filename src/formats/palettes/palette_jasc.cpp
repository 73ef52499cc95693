#include "formats/palettes/palette_jasc.h"

#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {

Result<PaletteFile> DecodeJasc(std::span<const uint8_t> bytes, std::string_view file) {
  if (auto s = CheckTextSize(bytes, file); !s) return s.error();
  Lines lines(WithoutBom(AsText(bytes)));
  std::string_view line;
  if (!lines.Next(line) || Trim(line) != kJascSignature) {
    return FailAt(file, 1, "a JASC palette starts with the line 'JASC-PAL'");
  }
  if (!lines.Next(line) || Trim(line) != "0100") {
    return FailAt(file, 2, "expected the JASC palette version 0100, found " + Quote(Trim(line)));
  }
  if (!lines.Next(line)) return FailAt(file, 3, "the colour count is missing");
  const auto stated = ParseInteger(Trim(line));
  if (!stated) return FailAt(file, 3, Quote(Trim(line)) + " is not a colour count");
  const std::string stated_text = AsWritten(Trim(line));
  if (*stated < 1 || *stated > kMaxEntries) {
    return FailAt(file, 3, "a colour count of " + stated_text + " is outside 1..256");
  }
  PaletteFile out;
  out.format = PaletteFormat::Jasc;
  while (lines.Next(line)) {
    std::string_view rest = Trim(line);
    if (rest.empty()) continue;
    std::string why;
    const auto rgb = ParseRgb(rest, why);
    if (!rgb) return FailAt(file, lines.number(), why);
    if (!Trim(rest).empty()) {
      return FailAt(file, lines.number(), Quote(Trim(rest)) + " follows the three numbers");
    }
    if (out.count == *stated) {
      return FailAt(file, lines.number(), "more colours than the " + stated_text + " stated");
    }
    out.entries[static_cast<size_t>(out.count++)].rgb = *rgb;
  }
  if (out.count != *stated) {
    return Fail(file, "states " + stated_text + (*stated == 1 ? " colour" : " colours") +
                          " but holds " + std::to_string(out.count));
  }
  return out;
}

std::vector<uint8_t> EncodeJasc(std::span<const BoardEntry> entries) {
  std::vector<uint8_t> out;
  Append(out, "JASC-PAL\r\n0100\r\n" + std::to_string(entries.size()) + "\r\n");
  for (const BoardEntry& e : entries) Append(out, Decimal(e.rgb, " ") + "\r\n");
  return out;
}

}  // namespace hw::palette_files
