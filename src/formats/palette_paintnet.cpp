#include "formats/palette_paintnet.h"

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

Result<PaletteFile> DecodePaintNet(std::span<const uint8_t> bytes, std::string_view file) {
  if (auto s = CheckTextSize(bytes, file); !s) return s.error();
  Lines lines(WithoutBom(AsText(bytes)));
  std::string_view line;
  PaletteFile out;
  out.format = PaletteFormat::PaintNet;
  while (lines.Next(line)) {
    const std::string_view digits = Trim(line);
    if (digits.empty() || digits.front() == ';') continue;
    for (char c : digits) {
      if (HexDigit(c) < 0) {
        return FailAt(file, lines.number(),
                      "bad hex digit " + Quote(std::string_view(&c, 1)) + " in " + Quote(digits));
      }
    }
    if (digits.size() != 8) {
      return FailAt(file, lines.number(),
                    "expected eight hex digits (aarrggbb), found " + std::to_string(digits.size()));
    }
    if (out.count == kMaxEntries) return FailAt(file, lines.number(), "more than 256 colours");
    auto byte = [&](int i) {
      return static_cast<uint8_t>(HexDigit(digits[2 * i]) * 16 + HexDigit(digits[2 * i + 1]));
    };
    out.entries[static_cast<size_t>(out.count++)] = {{byte(1), byte(2), byte(3)}, byte(0)};
  }
  if (out.count == 0) return Fail(file, "the palette holds no colours");
  return out;
}

std::vector<uint8_t> EncodePaintNet(const BoardEntries& entries) {
  std::vector<uint8_t> out;
  Append(out, std::string(kPaintNetSignature) +
                  "\r\n; Written by Huewright: 256 colours, one a line as aarrggbb\r\n");
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
