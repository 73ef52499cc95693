#include "formats/palettes/palette_aco.h"

#include <optional>
#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {
namespace {

const char* SpaceName(uint16_t space) {
  switch (space) {
    case 2:
      return "CMYK";
    case 7:
      return "Lab";
    case 9:
      return "wide CMYK";
    default:
      return nullptr;
  }
}

// One section from `pos`: its colours (and names, version 2) into `out`; `pos`
// ends past it. With `unreadable` given, the first colour in a space that is not
// read is noted there (its refusal) and the section read on, for the version 2
// section after it to refuse naming the colour.
Status ReadSection(std::span<const uint8_t> bytes, size_t& pos, std::string_view file,
                   PaletteFile& out, EntryNames& names,
                   std::optional<Error>* unreadable = nullptr) {
  const uint16_t version = Be16(bytes, pos);
  const uint16_t count = Be16(bytes, pos + 2);
  if (count == 0) return FailAtByte(file, pos + 2, "the swatch file holds no colours");
  if (count > kMaxEntries) {
    return FailAtByte(file, pos + 2,
                      "the swatch file holds " + std::to_string(count) + " colours, more than 256");
  }
  pos += 4;
  for (size_t k = 0; k < count; ++k) {
    const std::string who = "entry " + std::to_string(k + 1);
    if (bytes.size() - pos < 10) {
      return FailAtByte(
          file, pos,
          who + ": the file ends inside the colours (" + std::to_string(count) + " stated)");
    }
    const uint16_t space = Be16(bytes, pos);
    const uint16_t w = Be16(bytes, pos + 2), x = Be16(bytes, pos + 4), y = Be16(bytes, pos + 6);
    const size_t colour_at = pos;
    pos += 10;
    std::string name;
    if (version == 2) {
      if (bytes.size() - pos < 4) {
        return FailAtByte(file, pos, who + ": the file ends before the colour's name");
      }
      const uint64_t units = Be32(bytes, pos);
      if (units * 2 > bytes.size() - pos - 4) {
        return FailAtByte(file, pos,
                          who + ": a name of " + std::to_string(units) +
                              " characters runs past the end of the file");
      }
      name = EntryName(Utf16BeToUtf8(bytes.subspan(pos + 4, static_cast<size_t>(units * 2))), k);
      pos += 4 + static_cast<size_t>(units * 2);
    }
    RGBTriple rgb;
    switch (space) {
      case 0:
        rgb = {From16Bit(w), From16Bit(x), From16Bit(y)};
        break;
      case 1:
        rgb = FromHsb16(w, x, y);
        break;
      case 8:
        rgb.R = rgb.G = rgb.B = FromGrey10000(w);
        break;
      default: {
        const std::string who_named = who + (name.empty() ? "" : " " + Quote(name));
        const char* known = SpaceName(space);
        Error refusal =
            FailAtByte(file, colour_at,
                       who_named + " is " +
                           (known ? std::string("a ") + known
                                  : "in an unknown colour space " + std::to_string(space)) +
                           " colour; only RGB, HSB and grey colours are read");
        if (!unreadable) return refusal;
        if (!*unreadable) *unreadable = std::move(refusal);
        break;
      }
    }
    out.entries[k] = {rgb, 255};
    names[k] = std::move(name);
  }
  out.count = count;
  return Ok{};
}

}  // namespace

Result<PaletteFile> DecodeAco(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() > kMaxSwatchBytes) {
    return Fail(file, "a colour swatch file of " + std::to_string(bytes.size()) +
                          " bytes is too large (at most " + std::to_string(kMaxSwatchBytes) + ")");
  }
  if (bytes.size() < 4) return Fail(file, "too short for a colour swatch file");
  const uint16_t version = Be16(bytes, 0);
  if (version != 1 && version != 2) {
    return FailAtByte(
        file, 0, "unknown colour swatch version " + std::to_string(version) + " (expected 1 or 2)");
  }
  PaletteFile out;
  out.format = PaletteFormat::Aco;
  EntryNames names;
  size_t pos = 0;
  // A version 1 section names no colour: a colour it cannot read is refused from the
  // version 2 section after it, which gives the name, when there is one.
  std::optional<Error> unreadable;
  if (auto read = ReadSection(bytes, pos, file, out, names, version == 1 ? &unreadable : nullptr);
      !read) {
    return read.error();
  }
  const bool named_section = version == 1 && bytes.size() - pos >= 4 && Be16(bytes, pos) == 2;
  if (unreadable && !named_section) return *unreadable;
  if (named_section) {
    // The version 2 section repeats the colours with their names; it is the one read.
    const int first_count = out.count;
    const size_t at = pos;
    out = PaletteFile{};
    out.format = PaletteFormat::Aco;
    if (auto read = ReadSection(bytes, pos, file, out, names); !read) return read.error();
    if (out.count != first_count) {
      return FailAtByte(file, at + 2,
                        "the version 2 section holds " + ColoursText(out.count) +
                            ", the version 1 section " + std::to_string(first_count));
    }
  }
  if (pos != bytes.size()) {
    return FailAtByte(file, pos, std::to_string(bytes.size() - pos) + " bytes follow the colours");
  }
  bool named = false;
  for (const std::string& n : names) named = named || !n.empty();
  if (named) out.names = std::move(names);
  return out;
}

}  // namespace hw::palette_files
