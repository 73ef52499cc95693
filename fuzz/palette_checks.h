// Properties every input must satisfy when fed to the palette file readers, shared
// by the libFuzzer target (fuzz_palette.cpp) and the corpus replay test (tests/fuzz/).
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "format_check.h"
#include "formats/palettes/palette_files.h"
#include "formats/pictures/png.h"

namespace hw::fuzzing {

// Decodes the bytes as a file of this name; a decoded palette must be consistent,
// and must come back unchanged through every writer (colours always; alpha through
// the formats that hold it, the first fully transparent entry through Adobe colour
// tables; names through GIMP palettes). Only PNG, GIMP and Paint.NET files may give
// any alpha, only GIMP and Adobe swatch files names.
inline FormatCheck CheckPaletteInput(std::span<const uint8_t> data, std::string_view name) {
  FormatCheck out;
  auto fail = [&out, name](std::string why) {
    out.violation = std::string(name) + ": " + why;
    return out;
  };
  auto pal = DecodePaletteFile(data, name);
  if (!pal) {
    out.refusal = pal.error().Text();
    if (!out.refusal.starts_with("cannot load '" + std::string(name) + "': ")) {
      return fail("a refusal does not name the file");
    }
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
  // Formats that carry any alpha; an Adobe colour table carries one transparent entry.
  const auto keeps_alpha = [](PaletteFormat f) {
    return f == PaletteFormat::Gpl || f == PaletteFormat::PaintNet || f == PaletteFormat::PngStrip;
  };
  const bool any_alpha = png || keeps_alpha(pal->format);
  if (pal->count < 1 || pal->count > 256) return fail("count out of range");
  int clear = 0;
  for (size_t k = 0; k < 256; ++k) {
    const BoardEntry& e = pal->entries[k];
    if (static_cast<int>(k) >= pal->count && !(e == BoardEntry{})) {
      return fail("an entry past the count is not black and opaque");
    }
    if (e.A != 255 && !any_alpha && (e.A != 0 || pal->format != PaletteFormat::Act)) {
      return fail("transparency from a format that has none");
    }
    clear += e.A == 0;
  }
  if (clear > 1 && !any_alpha) return fail("more than one transparent entry");
  if (pal->names) {
    if (pal->format != PaletteFormat::Gpl && pal->format != PaletteFormat::Ase &&
        pal->format != PaletteFormat::Aco) {
      return fail("names from a format that has none");
    }
    bool named = false;
    for (size_t k = 0; k < 256; ++k) {
      const std::string& n = (*pal->names)[k];
      named = named || !n.empty();
      if (static_cast<int>(k) >= pal->count && !n.empty()) return fail("a name past the count");
      for (char c : n) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
          return fail("a control character in a name");
      }
    }
    if (!named) return fail("names given where the file named nothing");
  }
  const size_t first_clear =
      static_cast<size_t>(std::find_if(pal->entries.begin(), pal->entries.end(),
                                       [](const BoardEntry& e) { return e.A == 0; }) -
                          pal->entries.begin());
  const EntryNames* names = pal->names ? &*pal->names : nullptr;

  const struct {
    PaletteFormat format;
    const char* name;
  } writers[] = {{PaletteFormat::Gpl, "w.gpl"},      {PaletteFormat::Jasc, "w.pal"},
                 {PaletteFormat::Act, "w.act"},      {PaletteFormat::Hex, "w.hex"},
                 {PaletteFormat::Riff, "w.pal"},     {PaletteFormat::Pcx, "w.pcx"},
                 {PaletteFormat::PaintNet, "w.txt"}, {PaletteFormat::PngStrip, "w.png"}};
  for (const auto& w : writers) {
    const std::string which(PaletteFormatName(w.format));
    const auto written = EncodePaletteFile(pal->entries, w.format, names);
    auto back = DecodePaletteFile(written, w.name);
    if (!back) return fail(which + " written does not read back: " + back.error().Text());
    // Colours that spell a whole text palette make a colour table that reads as one:
    // content comes before the extension.
    if (w.format == PaletteFormat::Act && back->format != PaletteFormat::Act &&
        back->format == SniffPaletteFormat(std::span(written).first(kPaletteSniffBytes), w.name)) {
      continue;
    }
    // A strip reads back as the picture it is.
    const PaletteFormat read_as =
        w.format == PaletteFormat::PngStrip ? PaletteFormat::Pcx : w.format;
    if (back->format != read_as || back->count != 256) {
      return fail(which + " written reads back as another format or count");
    }
    for (size_t k = 0; k < 256; ++k) {
      const BoardEntry& a = pal->entries[k];
      const BoardEntry& b = back->entries[k];
      const bool kept_clear = w.format == PaletteFormat::Act && k == first_clear;
      const uint8_t alpha = keeps_alpha(w.format) ? a.A : kept_clear ? 0 : 255;
      if (!(b.rgb == a.rgb) || b.A != alpha) return fail(which + " round trip changes an entry");
    }
    if (w.format == PaletteFormat::Gpl) {
      if (back->names.has_value() != (names != nullptr) || (names && *back->names != *names)) {
        return fail("a GIMP palette round trip changes the names");
      }
    }
  }
  return out;
}

}  // namespace hw::fuzzing
