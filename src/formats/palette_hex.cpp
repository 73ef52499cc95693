#include "formats/palette_hex.h"

#include <string>

#include "formats/palette_common.h"

namespace hw::palette_files {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Result<PaletteFile> DecodeHex(std::span<const uint8_t> bytes, std::string_view file) {
  if (auto s = CheckTextSize(bytes, file); !s) return s.error();
  Lines lines(WithoutBom(AsText(bytes)));
  std::string_view line;
  PaletteFile out;
  out.format = PaletteFormat::Hex;
  while (lines.Next(line)) {
    std::string_view digits = Trim(line);
    if (digits.empty()) continue;
    if (digits.front() == '#') digits.remove_prefix(1);
    for (char c : digits) {
      if (HexDigit(c) < 0) {
        return FailAt(file, lines.number(),
                      "bad hex digit " + Quote(std::string_view(&c, 1)) + " in " + Quote(digits));
      }
    }
    if (digits.size() != 6) {
      return FailAt(file, lines.number(),
                    "expected six hex digits (rrggbb), found " + std::to_string(digits.size()));
    }
    if (out.count == kMaxEntries) return FailAt(file, lines.number(), "more than 256 colours");
    auto byte = [&](int i) {
      return static_cast<uint8_t>(HexDigit(digits[2 * i]) * 16 + HexDigit(digits[2 * i + 1]));
    };
    out.entries[static_cast<size_t>(out.count++)].rgb = {byte(0), byte(1), byte(2)};
  }
  if (out.count == 0) return Fail(file, "the palette holds no colours");
  return out;
}

std::vector<uint8_t> EncodeHex(const BoardEntries& entries) {
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
