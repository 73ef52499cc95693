#include "formats/palettes/palette_gpl.h"

#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {
namespace {

std::string DefaultName(size_t k) { return "Index " + std::to_string(k); }

}  // namespace

Result<PaletteFile> DecodeGpl(std::span<const uint8_t> bytes, std::string_view file) {
  if (auto s = CheckTextSize(bytes, file); !s) return s.error();
  Lines lines(WithoutBom(AsText(bytes)));
  std::string_view line;
  if (!lines.Next(line) || Trim(line) != kGimpSignature) {
    return FailAt(file, 1, "a GIMP palette starts with the line 'GIMP Palette'");
  }
  PaletteFile out;
  out.format = PaletteFormat::Gpl;
  EntryNames names;
  bool named = false, rgba = false;
  while (lines.Next(line)) {
    std::string_view rest = Trim(line);
    if (rest.empty() || rest.front() == '#' || rest.starts_with("Name:") ||
        rest.starts_with("Columns:")) {
      continue;
    }
    if (rest.starts_with("Channels:")) {
      const std::string_view channels = Trim(rest.substr(9));
      if (out.count > 0 || (channels != "RGB" && channels != "RGBA")) {
        return FailAt(file, lines.number(),
                      out.count > 0 ? "'Channels:' after the first colour"
                                    : "unknown channels " + Quote(channels) + " (RGB or RGBA)");
      }
      rgba = channels == "RGBA";
      continue;
    }
    std::string why;
    const auto rgb = ParseRgb(rest, why);
    if (!rgb) return FailAt(file, lines.number(), why);
    uint8_t alpha = 255;
    if (rgba) {
      // The alpha is a fourth number, read as the others are.
      std::string_view tail = rest;
      std::string_view alpha_text = Trim(tail);
      alpha_text = alpha_text.substr(0, alpha_text.find_first_of(" \t"));
      const auto a = ParseInteger(alpha_text);
      if (alpha_text.empty() || !a) {
        return FailAt(file, lines.number(), "expected four numbers (red green blue alpha)");
      }
      if (*a < 0 || *a > 255) {
        return FailAt(file, lines.number(),
                      "alpha " + AsWritten(alpha_text) + " is outside 0..255");
      }
      alpha = static_cast<uint8_t>(*a);
      rest = Trim(tail).substr(alpha_text.size());
    }
    if (out.count == kMaxEntries) return FailAt(file, lines.number(), "more than 256 colours");
    const auto k = static_cast<size_t>(out.count++);
    out.entries[k] = {*rgb, alpha};
    // What follows the numbers is the name; our own "Index k" on entry k is no name.
    std::string name = EntryName(rest, k);
    named = named || !name.empty();
    names[k] = std::move(name);
  }
  if (out.count == 0) return Fail(file, "the palette holds no colours");
  if (named) out.names = std::move(names);
  return out;
}

std::vector<uint8_t> EncodeGpl(std::span<const BoardEntry> entries, const EntryNames* names) {
  bool rgba = false;
  for (const BoardEntry& e : entries) rgba = rgba || e.A != 255;
  std::vector<uint8_t> out;
  Append(out, "GIMP Palette\nName: Huewright\nColumns: 16\n");
  if (rgba) Append(out, "Channels: RGBA\n");
  Append(out, "#\n");
  for (size_t k = 0; k < entries.size(); ++k) {
    std::string name = names ? CleanName((*names)[k]) : std::string();
    if (name.empty()) name = DefaultName(k);
    std::string numbers = Decimal(entries[k].rgb, " ");
    if (rgba) numbers += " " + std::to_string(entries[k].A);
    Append(out, numbers + "\t" + name + "\n");
  }
  return out;
}

}  // namespace hw::palette_files
