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

}  // namespace

std::optional<std::string> PictureSaveLoses(PictureFormat format, const BoardEntries& entries) {
  if (format == PictureFormat::Png) return std::nullopt;  // PLTE with tRNS keeps alpha
  const long n = Translucent(entries);
  if (n == 0) return std::nullopt;
  return AlphaLost(n, "a PCX file has no transparency");
}

std::optional<std::string> PaletteSaveLoses(PaletteFormat format, const BoardEntries& entries) {
  const long n = Translucent(entries);
  if (n == 0) return std::nullopt;
  if (format != PaletteFormat::Act) {
    return AlphaLost(n, "a " + std::string(PaletteFormatName(format)) + " has no transparency");
  }
  // An Adobe colour table names one fully transparent entry: the first with alpha 0.
  const auto first_clear =
      std::find_if(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });
  const long kept = first_clear == entries.end() ? 0 : 1;
  if (n == kept) return std::nullopt;
  return AlphaLost(n - kept,
                   "an Adobe colour table holds one fully transparent entry and no other alpha");
}

}  // namespace hw
