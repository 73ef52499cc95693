// What the palette formats share: text taken line by line, numbers and colours read
// from it, messages naming the file (and the line), colours as byte triples. Used by
// the palette files (palette_files.cpp and the palette_<format>.cpp decoders) only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "colour/colour.h"
#include "formats/palettes/palette_format.h"
#include "formats/pictures/bytes.h"

namespace hw::palette_files {

inline constexpr std::string_view kGimpSignature = "GIMP Palette";
inline constexpr std::string_view kJascSignature = "JASC-PAL";
inline constexpr int kMaxEntries = 256;

std::string_view AsText(std::span<const uint8_t> bytes);
// The text after a UTF-8 byte order mark, if it starts with one.
std::string_view WithoutBom(std::string_view text);
// Without spaces, tabs and other blanks at either end.
std::string_view Trim(std::string_view s);

// Text from the file quoted in a message: at most 40 characters, anything
// unprintable shown as '?', so a hostile file cannot put control codes on screen.
std::string Quote(std::string_view s);

// "1 colour", "N colours".
std::string ColoursText(long n);

// A failure to load `file`: its cause, or "line n: cause".
Error Fail(std::string_view file, const std::string& cause);
Error FailAt(std::string_view file, int line, const std::string& cause);

// A text palette of one colour a line in hex digits (hex lists, Paint.NET): blank
// lines and lines starting with `comment` are skipped, one leading `prefix` is
// dropped ('\0': none), and each line must hold exactly `bytes` bytes as two digits
// each (`expected` names the form in the message, "six hex digits (rrggbb)");
// `entry` makes the board entry of a line's bytes.
struct HexLineForm {
  PaletteFormat format;
  size_t bytes;
  const char* expected;
  char comment;
  char prefix;
  BoardEntry (*entry)(const uint8_t* bytes);
};
Result<PaletteFile> DecodeHexLines(std::span<const uint8_t> bytes, std::string_view file,
                                   const HexLineForm& form);

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

// A decimal integer with an optional sign; nullopt when the token is anything else.
// Long tokens saturate well outside 0..255 instead of overflowing.
std::optional<long> ParseInteger(std::string_view token);

// A number as the file wrote it, for a message: the value parsed may have been
// saturated. ParseInteger took the token, so it holds only a sign and digits; a long
// one is cut.
std::string AsWritten(std::string_view number);

// Reads "r g b" off the front of `s`; the cause of failure goes to `why`.
std::optional<RGBTriple> ParseRgb(std::string_view& s, std::string& why);

// Refuses a text palette larger than kMaxTextPaletteBytes.
Status CheckTextSize(std::span<const uint8_t> bytes, std::string_view file);

// Entries 0..count-1 from count byte triples r g b at the front of b.
void ReadTriples(std::span<const uint8_t> b, int count, BoardEntries& entries);

// A failure to load `file` at "byte n: cause", for the binary formats.
Error FailAtByte(std::string_view file, uint64_t offset, const std::string& cause);

// Big-endian numbers at `at`; the caller has checked that the bytes are there.
using bytes::Be16;
using bytes::Be32;
float BeFloat(std::span<const uint8_t> b, size_t at);

// UTF-16 big-endian code units (2 bytes each) as UTF-8; a terminating zero and
// what follows it are dropped, an unpaired surrogate becomes U+FFFD.
std::string Utf16BeToUtf8(std::span<const uint8_t> units);

// A name as an entry keeps it: control characters become spaces, blanks at either
// end go, and at most kMaxNameBytes bytes stay (cut before a whole character).
inline constexpr size_t kMaxNameBytes = 255;
std::string CleanName(std::string_view name);
// The name of entry k as a reader returns it: CleanName, and "Index k" (what an
// entry without a name is called, and what the GIMP writer writes for it) counts as
// no name.
std::string EntryName(std::string_view name, size_t k);

// Channel conversions of the swatch formats. A float channel 0..1 as
// floor(v * 255 + 0.5) clamped to 0..255 (v must not be NaN); a 16-bit channel as
// (v * 255 + 32767) / 65535; a grey level 0..10000 as (v * 255 + 5000) / 10000
// (clamped); hue, saturation and brightness of 16 bits each (hue v * 360 / 65536
// degrees, the others v / 65535) as RGB through the float conversion.
uint8_t FromUnitFloat(double v);
uint8_t From16Bit(uint16_t v);
uint8_t FromGrey10000(uint16_t v);
RGBTriple FromHsb16(uint16_t hue, uint16_t saturation, uint16_t brightness);

// Appends the characters of s.
void Append(std::vector<uint8_t>& out, std::string_view s);
// "r<separator>g<separator>b" in decimal.
std::string Decimal(const RGBTriple& c, const char* separator);

}  // namespace hw::palette_files
