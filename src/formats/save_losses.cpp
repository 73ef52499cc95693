#include "formats/save_losses.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "colour/target.h"
#include "formats/palettes/palette_console.h"
#include "formats/pictures/ilbm.h"
#include "formats/pictures/picture_formats.h"
#include "formats/pictures/png.h"

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
  const PictureFormatRow& row = PictureFormatRowOf(format);
  const std::string kind(row.file);
  std::optional<std::string> lost;
  if (row.alpha == AlphaKept::OneClear) {
    // A GIF's transparent index, an ILBM's transparent colour (masking 2).
    if (const long n = LostBesideOneClear(entries); n != 0) {
      lost = AlphaLost(n, kind + " holds one fully transparent entry and no other alpha");
    }
  } else if (const long n = Translucent(entries); row.alpha == AlphaKept::None && n != 0) {
    lost = AlphaLost(n, kind + " has no transparency");
  }
  if (cycle_ranges != 0 && !row.cycles) {
    const std::string ranges =
        (cycle_ranges == 1 ? std::string("1 cycle range")
                           : std::to_string(cycle_ranges) + " cycle ranges") +
        ": " + kind + " has no colour cycling";
    lost = lost ? *lost + "; " + ranges : ranges;
  }
  return lost;
}

namespace {

void Add(std::optional<std::string>& lost, const std::string& phrase) {
  lost = lost ? *lost + "; " + phrase : phrase;
}

// "A, B, C" of the names, each once, trailing blanks of a four-letter id dropped.
std::string List(const std::vector<std::string>& names) {
  std::vector<std::string> seen;
  std::string text;
  for (std::string name : names) {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.push_back(name);
    text += (text.empty() ? "" : ", ") + name;
  }
  return text;
}

bool Among(const std::string& name, std::initializer_list<const char*> set) {
  return std::any_of(set.begin(), set.end(), [&](const char* s) { return name == s; });
}

std::string Count(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A PNG's chunks: those a PNG save leaves out, or in another format all of them.
void PngLost(std::optional<std::string>& lost, const PngChunks& png, bool same,
             const std::string& why, std::span<const uint8_t> pixels, const BoardEntries& entries) {
  if (same) {
    if (!png.dropped.empty()) {
      Add(lost, std::string(png.dropped.size() == 1 ? "the PNG chunk " : "the PNG chunks ") +
                    List(png.dropped) + ": not safe to copy after a palette edit");
    }
    if (png.significant_bits && !PngSignificantBitsHold(*png.significant_bits, entries,
                                                        PngSavedLength(pixels, entries, &png))) {
      Add(lost, "the sBIT chunk: the saved colours do not all fit its bit counts");
    }
    return;
  }
  std::vector<std::string> text, other;
  for (const auto* group : {&png.before_plte, &png.before_idat, &png.after_idat}) {
    for (const std::string& type : PngChunkTypes(*group)) {
      (Among(type, {"tEXt", "zTXt", "iTXt"}) ? text : other).push_back(type);
    }
  }
  const std::vector<std::string> profile = PngChunkTypes(png.colour_space);
  if (png.significant_bits) other.push_back("sBIT");
  if (png.background) other.push_back("bKGD");
  if (png.histogram) other.push_back("hIST");
  if (png.time) other.push_back("tIME");
  other.insert(other.end(), png.dropped.begin(), png.dropped.end());
  if (!profile.empty()) Add(lost, "the colour profile (" + List(profile) + ")" + why);
  if (!text.empty()) Add(lost, "the text (" + List(text) + ")" + why);
  if (!other.empty()) {
    std::sort(other.begin(), other.end());
    Add(lost,
        std::string(other.size() == 1 ? "the PNG chunk " : "the PNG chunks ") + List(other) + why);
  }
}

void IlbmLost(std::optional<std::string>& lost, const IlbmChunks& ilbm, bool same,
              const std::string& why) {
  std::vector<std::string> text, other;
  if (!same) {
    for (const std::string& id : IlbmChunkIds(ilbm.kept)) {
      (Among(id, {"ANNO", "AUTH", "NAME", "(c) "}) ? text : other).push_back(id);
    }
  }
  if (!text.empty()) Add(lost, "the text (" + List(text) + ")" + why);
  if (!other.empty()) Add(lost, "the ILBM chunks " + List(other) + why);
  if (!ilbm.dropped.empty()) {
    const bool one = ilbm.dropped.size() == 1;
    Add(lost, std::string(one ? "the ILBM chunk " : "the ILBM chunks ") + List(ilbm.dropped) +
                  (one ? ": it depends" : ": they depend") +
                  " on the pixels or the palette's order");
  }
}

void GifLost(std::optional<std::string>& lost, const GifExtensions& gif, bool same,
             const std::string& why) {
  if (!same) {
    if (gif.comments > 0)
      Add(lost, "the text (" + Count(gif.comments, "comment", "comments") + ")" + why);
    if (!gif.applications.empty()) {
      Add(lost, "the application extensions " + List(gif.applications) + why);
    }
  }
  if (gif.plain_texts > 0) {
    Add(lost, Count(gif.plain_texts, "plain-text extension", "plain-text extensions") +
                  ": text drawn over the frames is not kept");
  }
  if (gif.unknown > 0) {
    Add(lost, Count(gif.unknown, "extension", "extensions") + " of no known kind");
  }
  if (gif.too_large > 0) {
    Add(lost, Count(gif.too_large, "extension", "extensions") + " past the 64 MiB a picture keeps");
  }
}

}  // namespace

std::string FramesLostWarning(uint64_t frames) {
  return "the other " + std::to_string(frames - 1) + " frames, their delays and the loop are lost";
}

SaveLoss PictureSaveLoss(PictureFormat format, const BoardEntries& entries, size_t cycle_ranges,
                         std::span<const uint8_t> pixels, const PictureExtras& extras) {
  SaveLoss loss;
  loss.frames = extras.frames;
  loss.what = PictureSaveLoses(format, entries, cycle_ranges);
  const bool same = format == extras.format;
  const std::string why = ": not kept in " + std::string(PictureFormatRowOf(format).file);
  // Only the file's own format's extras are filled in; the others are empty and say
  // nothing.
  PngLost(loss.what, extras.png, same, why, pixels, entries);
  IlbmLost(loss.what, extras.ilbm, same, why);
  GifLost(loss.what, extras.gif, same, why);
  return loss;
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
