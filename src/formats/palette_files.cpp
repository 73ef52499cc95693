#include "formats/palette_files.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "formats/pcx.h"
#include "formats/png.h"

namespace hw {
namespace {

constexpr std::string_view kGimpSignature = "GIMP Palette";
constexpr std::string_view kJascSignature = "JASC-PAL";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr int kMaxEntries = 256;
constexpr uint8_t kPcxPaletteMarker = 12;  // the byte before a PCX file's palette

std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string_view WithoutBom(std::string_view text) {
  return text.starts_with(kUtf8Bom) ? text.substr(kUtf8Bom.size()) : text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Text from the file quoted in a message: at most 40 characters, anything
// unprintable shown as '?', so a hostile file cannot put control codes on screen.
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

// Splits text into lines ending in LF, CRLF or the end of the text, numbered from 1.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  bool Next(std::string_view& line) {
    if (done_) return false;
    const size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = rest_;
      done_ = true;
    } else {
      line = rest_.substr(0, end);
      rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view rest_;
  bool done_ = false;
  int number_ = 0;
};

// Takes the next token separated by spaces or tabs off the front of `s`.
std::string_view NextToken(std::string_view& s) {
  s = Trim(s);
  size_t end = 0;
  while (end < s.size() && !IsBlank(s[end])) ++end;
  const std::string_view token = s.substr(0, end);
  s.remove_prefix(end);
  return token;
}

// A decimal integer with an optional sign; nullopt when the token is anything else.
// Long tokens saturate well outside 0..255 instead of overflowing.
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

// A number as the file wrote it, for a message: the value parsed may have been
// saturated. ParseInteger took the token, so it holds only a sign and digits; a long
// one is cut.
std::string AsWritten(std::string_view number) {
  constexpr size_t kMost = 24;
  if (number.size() <= kMost) return std::string(number);
  return std::string(number.substr(0, kMost)) + "...";
}

// Reads "r g b" off the front of `s`; the cause of failure goes to `why`.
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
                          " bytes is too large (at most " +
                          std::to_string(kMaxTextPaletteBytes) + ")");
  }
  return Ok{};
}

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
      return FailAt(file, lines.number(),
                    "more colours than the " + stated_text + " stated");
    }
    out.entries[static_cast<size_t>(out.count++)].rgb = *rgb;
  }
  if (out.count != *stated) {
    return Fail(file, "states " + stated_text + " colours but holds " +
                          std::to_string(out.count));
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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

uint16_t Be16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}
uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void ReadTriples(std::span<const uint8_t> b, int count, BoardEntries& entries) {
  for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
    entries[k].rgb = {b[3 * k], b[3 * k + 1], b[3 * k + 2]};
  }
}

Result<PaletteFile> DecodeAct(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() != kActBytes && bytes.size() != kActWithTrailerBytes) {
    return Fail(file, "an Adobe colour table holds 768 or 772 bytes, this file " +
                          std::to_string(bytes.size()));
  }
  PaletteFile out;
  out.format = PaletteFormat::Act;
  out.count = kMaxEntries;
  int transparent = -1;
  if (bytes.size() == kActWithTrailerBytes) {
    const int count = Be16(bytes, 768);
    if (count < 1 || count > kMaxEntries) {
      return Fail(file, "a colour count of " + std::to_string(count) + " is outside 1..256");
    }
    out.count = count;
    const int index = Be16(bytes, 770);
    // 0xFFFF means none; an index past the colours the file holds is ignored.
    if (index < count) transparent = index;
  }
  ReadTriples(bytes, out.count, out.entries);
  if (transparent >= 0) out.entries[static_cast<size_t>(transparent)].A = 0;
  return out;
}

Result<PaletteFile> DecodeRiff(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() > kMaxRiffPaletteBytes) {
    return Fail(file, "a RIFF palette of " + std::to_string(bytes.size()) +
                          " bytes is too large (at most " +
                          std::to_string(kMaxRiffPaletteBytes) + ")");
  }
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "PAL ", 4) != 0) {
    return Fail(file, "not a RIFF palette (no 'RIFF' ... 'PAL ' header)");
  }
  const uint64_t riff_size = Le32(bytes, 4);
  if (riff_size < 4 || riff_size + 8 > bytes.size()) {
    return Fail(file, "the RIFF header states " + std::to_string(riff_size) +
                          " bytes of content but the file holds " +
                          std::to_string(bytes.size() - 8));
  }
  const size_t end = static_cast<size_t>(riff_size) + 8;
  size_t pos = 12;
  while (pos + 8 <= end) {
    const uint32_t chunk_size = Le32(bytes, pos + 4);
    const bool is_data = std::memcmp(bytes.data() + pos, "data", 4) == 0;
    if (chunk_size > end - pos - 8) {
      return Fail(file, "the chunk " + Quote(AsText(bytes.subspan(pos, 4))) + " of " +
                            std::to_string(chunk_size) + " bytes runs past the end of the file");
    }
    if (!is_data) {
      pos += 8 + static_cast<size_t>(chunk_size) + (chunk_size & 1);  // chunks pad to even
      continue;
    }
    const auto data = bytes.subspan(pos + 8, chunk_size);
    if (data.size() < 4) return Fail(file, "the 'data' chunk is too short for its header");
    const int version = Le16(data, 0);
    if (version != 0x0300) {
      return Fail(file, "unknown RIFF palette version " + std::to_string(version >> 8) + "." +
                            std::to_string(version & 255) + " (expected 3.0)");
    }
    const int count = Le16(data, 2);
    if (count < 1 || count > kMaxEntries) {
      return Fail(file, "a colour count of " + std::to_string(count) + " is outside 1..256");
    }
    if (data.size() != 4 + 4 * static_cast<size_t>(count)) {
      return Fail(file, "states " + std::to_string(count) + " colours but its 'data' chunk holds " +
                            std::to_string(data.size() - 4) + " bytes of colours (" +
                            std::to_string(4 * count) + " expected)");
    }
    PaletteFile out;
    out.format = PaletteFormat::Riff;
    out.count = count;
    for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
      out.entries[k].rgb = {data[4 + 4 * k], data[5 + 4 * k], data[6 + 4 * k]};
    }
    return out;
  }
  return Fail(file, "the RIFF palette has no 'data' chunk");
}

// A picture gives its own palette: a PNG its PLTE entries and their tRNS alpha, a
// PCX the palette at its end (its pixels are not looked at). A file that is neither,
// nor any palette format, is taken only when it is exactly 768 bytes of raw colours:
// any other size is much more likely something else than a palette.
Result<PaletteFile> DecodeRawOrPicture(std::span<const uint8_t> bytes, std::string_view file) {
  if (HasPngSignature(bytes)) {
    auto png = DecodePngPalette(bytes);
    if (!png) return Fail(file, png.error().message);
    PaletteFile out;
    out.entries = png->entries;
    out.count = png->count;
    return out;
  }
  if (HasPcxSignature(bytes)) {
    return DecodePcxPaletteTail(bytes, bytes.size(), file);
  }
  if (bytes.size() != kPaletteBytes) {
    return Fail(file, "not a palette file Huewright reads (no PNG, PCX, GIMP, JASC or RIFF "
                      "signature, and " + std::to_string(bytes.size()) +
                          " bytes where raw colours are 768)");
  }
  PaletteFile out;
  out.count = kMaxEntries;
  ReadTriples(bytes, kMaxEntries, out.entries);
  return out;
}

std::string LowerExtension(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

void Append(std::vector<uint8_t>& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

std::string Decimal(const RGBTriple& c, const char* separator) {
  return std::to_string(c.R) + separator + std::to_string(c.G) + separator + std::to_string(c.B);
}

}  // namespace

PaletteFormat SniffPaletteFormat(std::span<const uint8_t> first_bytes, std::string_view file_name) {
  const std::string_view text = WithoutBom(AsText(first_bytes));
  if (text.starts_with(kGimpSignature)) return PaletteFormat::Gpl;
  if (text.starts_with(kJascSignature)) return PaletteFormat::Jasc;
  if (first_bytes.size() >= 12 && std::memcmp(first_bytes.data(), "RIFF", 4) == 0 &&
      std::memcmp(first_bytes.data() + 8, "PAL ", 4) == 0) {
    return PaletteFormat::Riff;
  }
  // Pictures, by their content before any extension.
  if (HasPngSignature(first_bytes) || HasPcxSignature(first_bytes)) {
    return PaletteFormat::Pcx;
  }
  const std::string ext = LowerExtension(file_name);
  if (ext == ".act") return PaletteFormat::Act;
  if (ext == ".hex") return PaletteFormat::Hex;
  return PaletteFormat::Pcx;
}

Result<PaletteFile> DecodePaletteFileAs(PaletteFormat format, std::span<const uint8_t> bytes,
                                        std::string_view file_name) {
  switch (format) {
    case PaletteFormat::Gpl:
      return DecodeGpl(bytes, file_name);
    case PaletteFormat::Jasc:
      return DecodeJasc(bytes, file_name);
    case PaletteFormat::Act:
      return DecodeAct(bytes, file_name);
    case PaletteFormat::Hex:
      return DecodeHex(bytes, file_name);
    case PaletteFormat::Riff:
      return DecodeRiff(bytes, file_name);
    case PaletteFormat::Pcx:
      break;
  }
  return DecodeRawOrPicture(bytes, file_name);
}

Result<PaletteFile> DecodePcxPaletteTail(std::span<const uint8_t> tail, uint64_t file_size,
                                         std::string_view file_name) {
  if (file_size < kPcxHeaderSize + kPcxPaletteTailBytes || tail.size() < kPcxPaletteTailBytes ||
      tail[tail.size() - kPcxPaletteTailBytes] != kPcxPaletteMarker) {
    return Fail(file_name, "the PCX file has no 256-colour palette (no byte 12 before its last "
                           "768 bytes)");
  }
  PaletteFile out;
  out.count = kMaxEntries;
  ReadTriples(tail.last(kPaletteBytes), kMaxEntries, out.entries);
  return out;
}

Result<PaletteFile> DecodePaletteFile(std::span<const uint8_t> bytes, std::string_view file_name) {
  const auto head = bytes.first(std::min(bytes.size(), kPaletteSniffBytes));
  const PaletteFormat format = SniffPaletteFormat(head, file_name);
  auto decoded = DecodePaletteFileAs(format, bytes, file_name);
  if (decoded) return decoded;
  // A colour table is raw colours: its first entries can spell a signature, or start
  // with the byte a PCX file starts with; a hex list may start with an empty line
  // (that same byte). When the format the content suggests cannot read the file, the
  // name decides.
  const std::string ext = LowerExtension(file_name);
  if (format != PaletteFormat::Act && ext == ".act" &&
      (bytes.size() == kActBytes || bytes.size() == kActWithTrailerBytes)) {
    return DecodeAct(bytes, file_name);
  }
  if (format == PaletteFormat::Pcx && ext == ".hex" && bytes.size() <= kMaxTextPaletteBytes) {
    return DecodeHex(bytes, file_name);
  }
  return decoded;
}

std::vector<uint8_t> EncodePaletteFile(const BoardEntries& entries, PaletteFormat format) {
  std::vector<uint8_t> out;
  switch (format) {
    case PaletteFormat::Gpl:
      Append(out, "GIMP Palette\nName: Huewright\nColumns: 16\n#\n");
      for (size_t k = 0; k < entries.size(); ++k) {
        Append(out, Decimal(entries[k].rgb, " ") + "\tIndex " + std::to_string(k) + "\n");
      }
      break;
    case PaletteFormat::Jasc:
      Append(out, "JASC-PAL\r\n0100\r\n256\r\n");
      for (const BoardEntry& e : entries) Append(out, Decimal(e.rgb, " ") + "\r\n");
      break;
    case PaletteFormat::Act: {
      for (const BoardEntry& e : entries) out.insert(out.end(), {e.rgb.R, e.rgb.G, e.rgb.B});
      const auto clear = std::find_if(entries.begin(), entries.end(),
                                      [](const BoardEntry& e) { return e.A == 0; });
      const int transparent =
          clear == entries.end() ? 0xFFFF : static_cast<int>(clear - entries.begin());
      out.insert(out.end(), {0x01, 0x00, static_cast<uint8_t>(transparent >> 8),
                             static_cast<uint8_t>(transparent & 0xFF)});
      break;
    }
    case PaletteFormat::Hex: {
      static constexpr std::string_view kDigits = "0123456789abcdef";
      for (const BoardEntry& e : entries) {
        for (uint8_t v : {e.rgb.R, e.rgb.G, e.rgb.B}) {
          out.push_back(static_cast<uint8_t>(kDigits[v >> 4]));
          out.push_back(static_cast<uint8_t>(kDigits[v & 15]));
        }
        out.push_back('\n');
      }
      break;
    }
    case PaletteFormat::Riff: {
      const uint32_t data_size = 4 + 4 * 256, riff_size = 4 + 8 + data_size;
      auto le32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
      };
      Append(out, "RIFF");
      le32(riff_size);
      Append(out, "PAL data");
      le32(data_size);
      out.insert(out.end(), {0x00, 0x03, 0x00, 0x01});  // version 0x0300, 256 entries
      for (const BoardEntry& e : entries) out.insert(out.end(), {e.rgb.R, e.rgb.G, e.rgb.B, 0});
      break;
    }
    case PaletteFormat::Pcx: {
      // A 16 x 16 picture whose pixel k holds index k: the palette shown as a grid.
      PcxHeader header = IndexedPictureHeader(16, 16);
      std::vector<uint8_t> pixels(256);
      for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k);
      Palette palette{};
      for (size_t k = 0; k < entries.size(); ++k) palette[k] = entries[k].rgb;
      // Cannot fail: the size is fixed and the buffer matches it.
      out = std::move(WritePcx(header, pixels, palette).value());
      break;
    }
  }
  return out;
}

std::optional<PaletteFormat> PaletteFormatForExtension(std::string_view file_name) {
  const std::string ext = LowerExtension(file_name);
  if (ext == ".gpl") return PaletteFormat::Gpl;
  if (ext == ".pal") return PaletteFormat::Jasc;
  if (ext == ".act") return PaletteFormat::Act;
  if (ext == ".hex") return PaletteFormat::Hex;
  if (ext == ".pcx") return PaletteFormat::Pcx;
  return std::nullopt;
}

std::string_view PaletteFormatName(PaletteFormat format) {
  switch (format) {
    case PaletteFormat::Gpl:
      return "GIMP palette";
    case PaletteFormat::Jasc:
      return "JASC palette";
    case PaletteFormat::Act:
      return "Adobe colour table";
    case PaletteFormat::Hex:
      return "hex colour list";
    case PaletteFormat::Riff:
      return "RIFF palette";
    case PaletteFormat::Pcx:
      break;
  }
  return "PCX palette";
}

}  // namespace hw
