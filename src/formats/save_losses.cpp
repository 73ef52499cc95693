#include "formats/save_losses.h"

#include <algorithm>
#include <string_view>

#include "colour/target.h"
#include "formats/palette_console.h"

namespace hw {

namespace {

std::string Entries(long n) { return n == 1 ? "1 entry" : std::to_string(n) + " entries"; }

long Translucent(std::span<const BoardEntry> entries) {
  return std::count_if(entries.begin(), entries.end(),
                       [](const BoardEntry& e) { return e.A != 255; });
}

std::string AlphaLost(long n, const std::string& why) {
  return "the alpha of " + Entries(n) + ": " + why;
}

// Entries that lose their alpha in a format that keeps one fully transparent entry,
// the first of alpha 0 (a GIF's transparent index, an Adobe colour table's).
long LostBesideOneClear(std::span<const BoardEntry> entries) {
  const long n = Translucent(entries);
  const bool one_clear =
      std::any_of(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });
  return n - (one_clear ? 1 : 0);
}

}  // namespace

std::optional<std::string> PictureSaveLoses(PictureFormat format, const BoardEntries& entries,
                                            size_t cycle_ranges) {
  // PLTE with tRNS keeps alpha, crNg the cycle ranges.
  if (format == PictureFormat::Png) return std::nullopt;
  const char* const kind = format == PictureFormat::Gif    ? "a GIF file"
                           : format == PictureFormat::Bmp  ? "a BMP file"
                           : format == PictureFormat::Ilbm ? "an ILBM file"
                                                           : "a PCX file";
  std::optional<std::string> lost;
  if (format == PictureFormat::Gif || format == PictureFormat::Ilbm) {
    // A GIF's transparent index, an ILBM's transparent colour (masking 2).
    if (const long n = LostBesideOneClear(entries); n != 0) {
      lost =
          AlphaLost(n, std::string(kind) + " holds one fully transparent entry and no other alpha");
    }
  } else if (const long n = Translucent(entries); n != 0) {
    lost = AlphaLost(n, std::string(kind) + " has no transparency");
  }
  // An ILBM keeps the ranges in its CRNG chunks.
  if (cycle_ranges != 0 && format != PictureFormat::Ilbm) {
    const std::string ranges =
        (cycle_ranges == 1 ? std::string("1 cycle range")
                           : std::to_string(cycle_ranges) + " cycle ranges") +
        ": " + kind + " has no colour cycling";
    lost = lost ? *lost + "; " + ranges : ranges;
  }
  return lost;
}

namespace {

std::optional<std::string> PaletteAlphaLost(PaletteFormat format,
                                            std::span<const BoardEntry> entries) {
  const long n = Translucent(entries);
  if (n == 0) return std::nullopt;
  if (format == PaletteFormat::Gpl || format == PaletteFormat::PaintNet ||
      format == PaletteFormat::PngStrip) {
    return std::nullopt;
  }
  if (format != PaletteFormat::Act) {
    return AlphaLost(n, "a " + std::string(PaletteFormatName(format)) + " has no transparency");
  }
  // An Adobe colour table names one fully transparent entry: the first with alpha 0.
  const long lost = LostBesideOneClear(entries);
  if (lost == 0) return std::nullopt;
  return AlphaLost(lost,
                   "an Adobe colour table holds one fully transparent entry and no other alpha");
}

}  // namespace

std::optional<std::string> PaletteSaveLoses(PaletteFormat format, const BoardEntries& entries,
                                            const EntryNames* names, int count) {
  const bool short_console = IsConsoleFormat(format) && (count == 16 || count == 32);
  return PaletteEntriesSaveLoses(format, std::span(entries).first(short_console ? count : 256),
                                 names);
}

std::optional<std::string> PaletteEntriesSaveLoses(PaletteFormat format,
                                                   std::span<const BoardEntry> entries,
                                                   const EntryNames* names) {
  std::optional<std::string> lost = PaletteAlphaLost(format, entries);
  if (IsConsoleFormat(format)) {
    const ColourTarget target = ConsoleFormatTarget(format);
    const long changed = std::count_if(entries.begin(), entries.end(), [&](const BoardEntry& e) {
      return !OnTarget(target, e.rgb);
    });
    if (changed > 0) {
      const std::string snapped = Entries(changed) + " of " + std::to_string(entries.size()) +
                                  " changed to the nearest colours of the " +
                                  std::string(ConsoleFormatKey(format)) + " format";
      lost = lost ? *lost + "; " + snapped : snapped;
    }
  }
  if (names == nullptr || format == PaletteFormat::Gpl) return lost;
  const long named = std::count_if(names->begin(), names->end(), [](const std::string& name) {
    return name.find_first_not_of(" \t") != std::string::npos;
  });
  if (named == 0) return lost;
  const std::string format_name(PaletteFormatName(format));
  const bool vowel = std::string_view("AEIOUaeiou").find(format_name.front()) != std::string::npos;
  const std::string names_lost =
      "the names of " + Entries(named) + (vowel ? ": an " : ": a ") + format_name + " has no names";
  return lost ? *lost + "; " + names_lost : names_lost;
}

}  // namespace hw
