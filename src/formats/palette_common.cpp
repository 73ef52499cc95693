#include "formats/palette_common.h"

#include <algorithm>

#include "formats/palette_format.h"

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
  return Error{std::string(file) + ": " + cause};
}

Error FailAt(std::string_view file, int line, const std::string& cause) {
  return Error{std::string(file) + ", line " + std::to_string(line) + ": " + cause};
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

}  // namespace hw::palette_files
