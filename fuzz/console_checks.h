// Properties every input must satisfy when read as a console palette of a named
// format, shared by the libFuzzer target (fuzz_console.cpp) and the corpus replay
// test (tests/fuzz/). The format is named by the file: "valid-md9-16.bin" is read as
// md9.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "format_check.h"
#include "formats/palettes/palette_console.h"
#include "formats/palettes/palette_files.h"

namespace hw::fuzzing {

// A refusal names the file; what decodes holds 4, 16, 32 or 256 opaque entries on the
// format's levels, black past them, and is written back byte for byte when every
// unused bit was clear (vga6 always).
inline FormatCheck CheckConsoleInput(std::span<const uint8_t> data, PaletteFormat format,
                                     std::string_view name) {
  FormatCheck out;
  auto fail = [&out, name](std::string why) {
    out.violation = std::string(name) + ": " + why;
    return out;
  };
  auto pal = DecodePaletteFileAs(format, data, name);
  if (!pal) {
    out.refusal = pal.error().Text();
    if (!out.refusal.starts_with("cannot load '" + std::string(name) + "': ")) {
      return fail("a refusal does not name the file");
    }
    return out;
  }
  out.decoded = true;
  if (pal->count != 4 && pal->count != 16 && pal->count != 32 && pal->count != 256) {
    return fail("count");
  }
  if (pal->format != format || pal->names) return fail("format or names");
  const ColourTarget depth = ConsoleFormatTarget(format);
  for (size_t k = 0; k < 256; ++k) {
    const BoardEntry& e = pal->entries[k];
    if (e.A != 255) return fail("transparency from a format that has none");
    if (static_cast<int>(k) >= pal->count && !(e == BoardEntry{})) return fail("past the count");
    if (!OnTarget(depth, e.rgb)) return fail("a colour off the format's levels");
  }
  const auto written =
      EncodePaletteEntries(std::span(pal->entries).first(static_cast<size_t>(pal->count)), format);
  auto back = DecodePaletteFileAs(format, written, name);
  if (!back || back->entries != pal->entries) return fail("does not read back as written");
  const uint16_t unused = format == PaletteFormat::Bgr15 ? 0x8000
                          : format == PaletteFormat::Md9 ? 0xF111
                                                         : 0xF000;
  bool clean = true;
  for (size_t i = 0; format != PaletteFormat::Vga6 && i + 1 < data.size(); i += 2) {
    const uint16_t w = format == PaletteFormat::Bgr15 ? uint16_t(data[i] | data[i + 1] << 8)
                                                      : uint16_t(data[i] << 8 | data[i + 1]);
    clean = clean && (w & unused) == 0;
  }
  if (clean && !std::equal(written.begin(), written.end(), data.begin(), data.end())) {
    return fail("not written back byte for byte");
  }
  return out;
}

// The format a corpus file names after its first '-': "valid-bgr15-32.bin".
inline std::optional<PaletteFormat> ConsoleFormatOfName(std::string_view name) {
  const size_t from = name.find('-');
  if (from == std::string_view::npos) return std::nullopt;
  name.remove_prefix(from + 1);
  return ConsoleFormatByName(name.substr(0, name.find('-')));
}

}  // namespace hw::fuzzing
