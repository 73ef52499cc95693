#include "formats/palettes/palette_common.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>

#include "formats/palettes/palette_format.h"

namespace hw::palette_files {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Takes the next token separated by spaces or tabs off the front of `s`.
std::string_view NextToken(std::string_view& s) {
  s = Trim(s);
  size_t end = 0;
  while (end < s.size() && !IsBlank(s[end])) ++end;
  const std::string_view token = s.substr(0, end);
  s.remove_prefix(end);
  return token;
}

}  // namespace

std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string_view WithoutBom(std::string_view text) {
  return text.starts_with(kUtf8Bom) ? text.substr(kUtf8Bom.size()) : text;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Quote(std::string_view s) {
  std::string out = "'";
  for (size_t i = 0; i < s.size() && i < 40; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  if (s.size() > 40) out += "...";
  return out + "'";
}

Error Fail(std::string_view file, const std::string& cause) {
  return CannotLoad(std::string(file), cause);
}

Error FailAt(std::string_view file, int line, const std::string& cause) {
  return CannotLoad(std::string(file), "line " + std::to_string(line) + ": " + cause);
}

std::optional<long> ParseInteger(std::string_view token) {
  bool negative = false;
  if (!token.empty() && (token[0] == '-' || token[0] == '+')) {
    negative = token[0] == '-';
    token.remove_prefix(1);
  }
  if (token.empty()) return std::nullopt;
  long value = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min(value * 10 + (c - '0'), 1000000L);
  }
  return negative ? -value : value;
}

std::string AsWritten(std::string_view number) {
  constexpr size_t kMost = 24;
  if (number.size() <= kMost) return std::string(number);
  return std::string(number.substr(0, kMost)) + "...";
}

std::optional<RGBTriple> ParseRgb(std::string_view& s, std::string& why) {
  uint8_t values[3];
  for (int i = 0; i < 3; ++i) {
    const std::string_view token = NextToken(s);
    if (token.empty()) {
      why = "expected three numbers (red green blue), found " + std::to_string(i);
      return std::nullopt;
    }
    const auto v = ParseInteger(token);
    if (!v) {
      why = Quote(token) + " is not a number";
      return std::nullopt;
    }
    if (*v < 0 || *v > 255) {
      why = "value " + AsWritten(token) + " is outside 0..255";
      return std::nullopt;
    }
    values[i] = static_cast<uint8_t>(*v);
  }
  return RGBTriple{values[0], values[1], values[2]};
}

Status CheckTextSize(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() > kMaxTextPaletteBytes) {
    return Fail(file, "a text palette of " + std::to_string(bytes.size()) +
                          " bytes is too large (at most " + std::to_string(kMaxTextPaletteBytes) +
                          ")");
  }
  return Ok{};
}

Error FailAtByte(std::string_view file, uint64_t offset, const std::string& cause) {
  return CannotLoad(std::string(file), "byte " + std::to_string(offset) + ": " + cause);
}

float BeFloat(std::span<const uint8_t> b, size_t at) { return std::bit_cast<float>(Be32(b, at)); }

std::string Utf16BeToUtf8(std::span<const uint8_t> units) {
  std::string out;
  const size_t n = units.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = Be16(units, 2 * i);
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n) {
      const uint32_t low = Be16(units, 2 * i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string CleanName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  std::string_view kept = Trim(out);
  if (kept.size() > kMaxNameBytes) {
    size_t cut = kMaxNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80) --cut;
    kept = Trim(kept.substr(0, cut));
  }
  return std::string(kept);
}

std::string ColoursText(long n) { return n == 1 ? "1 colour" : std::to_string(n) + " colours"; }

std::string EntryName(std::string_view name, size_t k) {
  std::string clean = CleanName(name);
  if (clean == "Index " + std::to_string(k)) clean.clear();
  return clean;
}

uint8_t FromUnitFloat(double v) {
  const double scaled = std::floor(v * 255 + 0.5);
  return static_cast<uint8_t>(std::clamp(scaled, 0.0, 255.0));
}

uint8_t From16Bit(uint16_t v) { return static_cast<uint8_t>((v * 255u + 32767u) / 65535u); }

uint8_t FromGrey10000(uint16_t v) {
  return static_cast<uint8_t>(std::min((v * 255u + 5000u) / 10000u, 255u));
}

RGBTriple FromHsb16(uint16_t hue, uint16_t saturation, uint16_t brightness) {
  const double h = hue * 360.0 / 65536.0 / 60.0;  // 0 <= h < 6
  const double s = saturation / 65535.0, v = brightness / 65535.0;
  const int sector = static_cast<int>(h);
  const double f = h - sector;
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  double r = v, g = t, b = p;
  switch (sector) {
    case 1:
      r = q, g = v, b = p;
      break;
    case 2:
      r = p, g = v, b = t;
      break;
    case 3:
      r = p, g = q, b = v;
      break;
    case 4:
      r = t, g = p, b = v;
      break;
    case 5:
      r = v, g = p, b = q;
      break;
    default:
      break;
  }
  return {FromUnitFloat(r), FromUnitFloat(g), FromUnitFloat(b)};
}

void ReadTriples(std::span<const uint8_t> b, int count, BoardEntries& entries) {
  for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
    entries[k].rgb = {b[3 * k], b[3 * k + 1], b[3 * k + 2]};
  }
}

void Append(std::vector<uint8_t>& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
}

std::string Decimal(const RGBTriple& c, const char* separator) {
  return std::to_string(c.R) + separator + std::to_string(c.G) + separator + std::to_string(c.B);
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Result<PaletteFile> DecodeHexLines(std::span<const uint8_t> bytes, std::string_view file,
                                   const HexLineForm& form) {
  if (auto s = CheckTextSize(bytes, file); !s) return s.error();
  Lines lines(WithoutBom(AsText(bytes)));
  std::string_view line;
  PaletteFile out;
  out.format = form.format;
  while (lines.Next(line)) {
    std::string_view digits = Trim(line);
    if (digits.empty() || (form.comment != '\0' && digits.front() == form.comment)) continue;
    if (form.prefix != '\0' && digits.front() == form.prefix) digits.remove_prefix(1);
    for (char c : digits) {
      if (HexDigit(c) < 0) {
        return FailAt(file, lines.number(),
                      "bad hex digit " + Quote(std::string_view(&c, 1)) + " in " + Quote(digits));
      }
    }
    if (digits.size() != 2 * form.bytes) {
      return FailAt(
          file, lines.number(),
          std::string("expected ") + form.expected + ", found " + std::to_string(digits.size()));
    }
    if (out.count == kMaxEntries) return FailAt(file, lines.number(), "more than 256 colours");
    uint8_t values[4] = {};
    for (size_t i = 0; i < std::min(form.bytes, std::size(values)); ++i) {
      values[i] = static_cast<uint8_t>(HexDigit(digits[2 * i]) * 16 + HexDigit(digits[2 * i + 1]));
    }
    out.entries[static_cast<size_t>(out.count++)] = form.entry(values);
  }
  if (out.count == 0) return Fail(file, "the palette holds no colours");
  return out;
}

}  // namespace hw::palette_files
