#include "formats/palettes/palette_console.h"

#include <string>

#include "formats/palettes/palette_common.h"

namespace hw {

namespace {

struct ConsoleForm {
  PaletteFormat format;
  const char* key;
  int bits;            // per channel
  size_t entry_bytes;  // 3 for vga6, 2 for the words
};

constexpr ConsoleForm kForms[] = {{PaletteFormat::Vga6, "vga6", 6, 3},
                                  {PaletteFormat::Bgr15, "bgr15", 5, 2},
                                  {PaletteFormat::Md9, "md9", 3, 2},
                                  {PaletteFormat::Amiga12, "amiga12", 4, 2}};

const ConsoleForm* FormOf(PaletteFormat format) {
  for (const ConsoleForm& f : kForms) {
    if (f.format == format) return &f;
  }
  return nullptr;
}

// k of a channel value already on the b-bit levels.
int LevelIndex(int bits, uint8_t value) {
  const int top = (1 << bits) - 1;
  // The nearest k; exact for values on the levels.
  return (value * top * 2 + 255) / (2 * 255);
}

// The word of one colour on the format's levels.
uint16_t Word(PaletteFormat format, RGBTriple c, int bits) {
  const unsigned r = static_cast<unsigned>(LevelIndex(bits, c.R));
  const unsigned g = static_cast<unsigned>(LevelIndex(bits, c.G));
  const unsigned b = static_cast<unsigned>(LevelIndex(bits, c.B));
  switch (format) {
    case PaletteFormat::Bgr15:
      return static_cast<uint16_t>(b << 10 | g << 5 | r);
    case PaletteFormat::Md9:
      return static_cast<uint16_t>(b << 9 | g << 5 | r << 1);
    default:
      return static_cast<uint16_t>(r << 8 | g << 4 | b);
  }
}

RGBTriple FromWord(PaletteFormat format, uint16_t w, int bits) {
  const auto level = [bits](unsigned k) { return EvenLevel(bits, static_cast<int>(k)); };
  switch (format) {
    case PaletteFormat::Bgr15:
      return {level(w & 31), level(w >> 5 & 31), level(w >> 10 & 31)};
    case PaletteFormat::Md9:
      return {level(w >> 1 & 7), level(w >> 5 & 7), level(w >> 9 & 7)};
    default:
      return {level(w >> 8 & 15), level(w >> 4 & 15), level(w & 15)};
  }
}

}  // namespace

bool IsConsoleFormat(PaletteFormat format) { return FormOf(format) != nullptr; }

std::optional<PaletteFormat> ConsoleFormatByName(std::string_view name) {
  for (const ConsoleForm& f : kForms) {
    if (name == f.key) return f.format;
  }
  return std::nullopt;
}

std::string_view ConsoleFormatKey(PaletteFormat format) {
  const ConsoleForm* f = FormOf(format);
  return f ? std::string_view(f->key) : std::string_view();
}

ColourTarget ConsoleFormatTarget(PaletteFormat format) {
  const ConsoleForm* f = FormOf(format);
  if (f == nullptr) return ColourTarget{};
  return EvenTarget(f->bits, f->bits, f->bits, f->key);
}

namespace palette_files {

Result<PaletteFile> DecodeConsole(PaletteFormat format, std::span<const uint8_t> bytes,
                                  std::string_view file) {
  const ConsoleForm* form = FormOf(format);
  if (form == nullptr) return Fail(file, "not a console palette format");
  const size_t n = bytes.size() / form->entry_bytes;
  if (bytes.size() % form->entry_bytes != 0 || (n != 4 && n != 16 && n != 32 && n != 256)) {
    return Fail(file, "a " + std::string(form->key) + " palette holds 4, 16, 32 or 256 entries (" +
                          std::to_string(4 * form->entry_bytes) + ", " +
                          std::to_string(16 * form->entry_bytes) + ", " +
                          std::to_string(32 * form->entry_bytes) + " or " +
                          std::to_string(256 * form->entry_bytes) + " bytes), this file " +
                          std::to_string(bytes.size()) + " bytes");
  }
  PaletteFile out;
  out.format = format;
  out.count = static_cast<int>(n);
  for (size_t k = 0; k < n; ++k) {
    RGBTriple& c = out.entries[k].rgb;
    if (format == PaletteFormat::Vga6) {
      uint8_t v[3];
      for (size_t i = 0; i < 3; ++i) {
        const uint8_t b = bytes[3 * k + i];
        if (b > 63) {
          return FailAtByte(file, 3 * k + i,
                            "value " + std::to_string(b) + " is above 63: not a vga6 palette");
        }
        v[i] = EvenLevel(6, b);
      }
      c = {v[0], v[1], v[2]};
    } else {
      const uint16_t w = format == PaletteFormat::Bgr15
                             ? static_cast<uint16_t>(bytes[2 * k] | bytes[2 * k + 1] << 8)
                             : Be16(bytes, 2 * k);
      c = FromWord(format, w, form->bits);
    }
  }
  return out;
}

std::vector<uint8_t> EncodeConsole(PaletteFormat format, std::span<const BoardEntry> entries) {
  const ConsoleForm* form = FormOf(format);
  if (form == nullptr) return {};
  const ColourTarget target = ConsoleFormatTarget(format);
  std::vector<uint8_t> out;
  out.reserve(entries.size() * form->entry_bytes);
  for (const BoardEntry& e : entries) {
    const RGBTriple c = SnapColour(target, e.rgb);
    if (format == PaletteFormat::Vga6) {
      for (uint8_t v : {c.R, c.G, c.B}) out.push_back(static_cast<uint8_t>(LevelIndex(6, v)));
      continue;
    }
    const uint16_t w = Word(format, c, form->bits);
    if (format == PaletteFormat::Bgr15) {
      out.insert(out.end(), {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8)});
    } else {
      out.insert(out.end(), {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w & 0xFF)});
    }
  }
  return out;
}

}  // namespace palette_files
}  // namespace hw
