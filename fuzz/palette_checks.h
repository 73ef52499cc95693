// Properties every input must satisfy when fed to the palette file readers, shared
// by the libFuzzer target (fuzz_palette.cpp) and the corpus replay test (tests/fuzz/).
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "format_check.h"
#include "formats/palette_files.h"
#include "formats/png.h"

namespace hw::fuzzing {

// Decodes the bytes as a file of this name; a decoded palette must be consistent,
// and must come back unchanged through every writer (colours always; the first fully
// transparent entry through Adobe colour tables). Only a PNG may give any alpha.
inline FormatCheck CheckPaletteInput(std::span<const uint8_t> data, std::string_view name) {
  FormatCheck out;
  auto fail = [&out, name](std::string why) {
    out.violation = std::string(name) + ": " + why;
    return out;
  };
  auto pal = DecodePaletteFile(data, name);
  if (!pal) {
    out.refusal = pal.error().message;
    if (!out.refusal.starts_with(name)) return fail("a refusal does not name the file");
    return out;
  }
  out.decoded = true;
  const auto head = data.first(std::min(data.size(), kPaletteSniffBytes));
  // The sniffed format, or the one the name says when the content's format could
  // not read it.
  if (pal->format != SniffPaletteFormat(head, name) &&
      pal->format != PaletteFormatForExtension(name)) {
    return fail("decoded as another format");
  }
  const bool png = HasPngSignature(data);
  if (pal->count < 1 || pal->count > 256) return fail("count out of range");
  int clear = 0;
  for (size_t k = 0; k < 256; ++k) {
    const BoardEntry& e = pal->entries[k];
    if (static_cast<int>(k) >= pal->count && !(e == BoardEntry{})) {
      return fail("an entry past the count is not black and opaque");
    }
    if (e.A != 255 && !png && (e.A != 0 || pal->format != PaletteFormat::Act)) {
      return fail("transparency from a format that has none");
    }
    clear += e.A == 0;
  }
  if (clear > 1 && !png) return fail("more than one transparent entry");
  const size_t first_clear =
      static_cast<size_t>(std::find_if(pal->entries.begin(), pal->entries.end(),
                                       [](const BoardEntry& e) { return e.A == 0; }) -
                          pal->entries.begin());

  const struct {
    PaletteFormat format;
    const char* name;
  } writers[] = {{PaletteFormat::Gpl, "w.gpl"},  {PaletteFormat::Jasc, "w.pal"},
                 {PaletteFormat::Act, "w.act"},  {PaletteFormat::Hex, "w.hex"},
                 {PaletteFormat::Riff, "w.pal"}, {PaletteFormat::Pcx, "w.pcx"}};
  for (const auto& w : writers) {
    const std::string which(PaletteFormatName(w.format));
    const auto written = EncodePaletteFile(pal->entries, w.format);
    auto back = DecodePaletteFile(written, w.name);
    if (!back) return fail(which + " written does not read back: " + back.error().message);
    // Colours that spell a whole text palette make a colour table that reads as one:
    // content comes before the extension.
    if (w.format == PaletteFormat::Act && back->format != PaletteFormat::Act &&
        back->format == SniffPaletteFormat(std::span(written).first(kPaletteSniffBytes), w.name)) {
      continue;
    }
    if (back->format != w.format || back->count != 256) {
      return fail(which + " written reads back as another format or count");
    }
    for (size_t k = 0; k < 256; ++k) {
      const BoardEntry& a = pal->entries[k];
      const BoardEntry& b = back->entries[k];
      const bool kept_clear = w.format == PaletteFormat::Act && k == first_clear;
      const uint8_t alpha = kept_clear ? 0 : 255;
      if (!(b.rgb == a.rgb) || b.A != alpha) return fail(which + " round trip changes an entry");
    }
  }
  return out;
}

}  // namespace hw::fuzzing
