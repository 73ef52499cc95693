#include "formats/save_losses.h"

#include <algorithm>

namespace hw {

namespace {

std::string Entries(long n) { return n == 1 ? "1 entry" : std::to_string(n) + " entries"; }

long Translucent(const BoardEntries& entries) {
  return std::count_if(entries.begin(), entries.end(),
                       [](const BoardEntry& e) { return e.A != 255; });
}

std::string AlphaLost(long n, const std::string& why) {
  return "the alpha of " + Entries(n) + ": " + why;
}

// Entries that lose their alpha in a format that keeps one fully transparent entry,
// the first of alpha 0 (a GIF's transparent index, an Adobe colour table's).
long LostBesideOneClear(const BoardEntries& entries) {
  const long n = Translucent(entries);
  const bool one_clear =
      std::any_of(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });
  return n - (one_clear ? 1 : 0);
}

}  // namespace

std::optional<std::string> PictureSaveLoses(PictureFormat format, const BoardEntries& entries) {
  if (format == PictureFormat::Png) return std::nullopt;  // PLTE with tRNS keeps alpha
  if (format == PictureFormat::Gif) {
    const long lost = LostBesideOneClear(entries);
    if (lost == 0) return std::nullopt;
    return AlphaLost(lost, "a GIF file holds one fully transparent entry and no other alpha");
  }
  const long n = Translucent(entries);
  if (n == 0) return std::nullopt;
  return AlphaLost(n, format == PictureFormat::Bmp ? "a BMP file has no transparency"
                                                   : "a PCX file has no transparency");
}

namespace {

std::optional<std::string> PaletteAlphaLost(PaletteFormat format, const BoardEntries& entries) {
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
                                            const EntryNames* names) {
  std::optional<std::string> lost = PaletteAlphaLost(format, entries);
  if (names == nullptr || format == PaletteFormat::Gpl) return lost;
  const long named = std::count_if(names->begin(), names->end(), [](const std::string& name) {
    return name.find_first_not_of(" \t") != std::string::npos;
  });
  if (named == 0) return lost;
  const std::string names_lost = "the names of " + Entries(named) + ": a " +
                                 std::string(PaletteFormatName(format)) + " has no names";
  return lost ? *lost + "; " + names_lost : names_lost;
}

}  // namespace hw
