#include "formats/palettes/palette_ase.h"

#include <cmath>
#include <cstring>
#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {
namespace {

constexpr uint16_t kColourBlock = 0x0001;

}  // namespace

Result<PaletteFile> DecodeAse(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() > kMaxSwatchBytes) {
    return Fail(file, "a swatch exchange file of " + std::to_string(bytes.size()) +
                          " bytes is too large (at most " + std::to_string(kMaxSwatchBytes) + ")");
  }
  if (bytes.size() < 12 || std::memcmp(bytes.data(), kAseSignature.data(), 4) != 0) {
    return Fail(file, "not a swatch exchange file (no 'ASEF' header)");
  }
  if (Be16(bytes, 4) != 1) {
    return FailAtByte(file, 4,
                      "unknown swatch exchange version " + std::to_string(Be16(bytes, 4)) + "." +
                          std::to_string(Be16(bytes, 6)) + " (expected 1.x)");
  }
  const uint32_t blocks = Be32(bytes, 8);
  PaletteFile out;
  out.format = PaletteFormat::Ase;
  EntryNames names;
  bool named = false;
  size_t pos = 12;
  for (uint32_t block = 0; block < blocks; ++block) {
    if (bytes.size() - pos < 6) {
      return FailAtByte(file, pos,
                        "the file states " + std::to_string(blocks) + " blocks but ends after " +
                            std::to_string(block));
    }
    const uint16_t type = Be16(bytes, pos);
    const uint32_t length = Be32(bytes, pos + 2);
    const size_t start = pos + 6;
    if (length > bytes.size() - start) {
      return FailAtByte(file, pos,
                        "block " + std::to_string(block + 1) + " of " + std::to_string(length) +
                            " bytes runs past the end of the file");
    }
    pos = start + length;
    if (type != kColourBlock) continue;  // group starts and ends, and what we do not know
    const auto data = bytes.subspan(start, length);
    const int entry = out.count + 1;
    const std::string where = "entry " + std::to_string(entry);
    if (data.size() < 2 || data.size() - 2 < size_t{2} * Be16(data, 0) + 4) {
      return FailAtByte(file, start, where + ": the colour block is too short for its name");
    }
    const size_t name_bytes = size_t{2} * Be16(data, 0);
    const std::string name =
        EntryName(Utf16BeToUtf8(data.subspan(2, name_bytes)), static_cast<size_t>(out.count));
    const std::string who = where + (name.empty() ? "" : " " + Quote(name));
    const size_t model_at = 2 + name_bytes;
    const std::string_view model = AsText(data.subspan(model_at, 4));
    int channels = 0;
    if (model == "RGB ") channels = 3;
    if (model == "Gray") channels = 1;
    if (channels == 0) {
      const bool known = model == "CMYK" || model == "LAB ";
      return FailAtByte(
          file, start + model_at,
          who + " is " + (known ? "a " + std::string(Trim(model)) : "an unknown " + Quote(model)) +
              " colour; only RGB and Gray colours are read");
    }
    const size_t values_at = model_at + 4;
    if (data.size() - values_at < size_t{4} * channels) {
      return FailAtByte(file, start, who + ": the colour block is too short for its values");
    }
    uint8_t v[3];
    for (int c = 0; c < channels; ++c) {
      const float f = BeFloat(data, values_at + 4 * static_cast<size_t>(c));
      if (std::isnan(f)) {
        return FailAtByte(file, start + values_at + 4 * static_cast<size_t>(c),
                          who + ": a colour value is not a number");
      }
      v[c] = FromUnitFloat(f);
    }
    if (channels == 1) v[1] = v[2] = v[0];
    if (out.count == kMaxEntries) return FailAtByte(file, start, who + ": more than 256 colours");
    const auto k = static_cast<size_t>(out.count++);
    out.entries[k].rgb = {v[0], v[1], v[2]};
    named = named || !name.empty();
    names[k] = name;
  }
  if (pos != bytes.size()) {
    return FailAtByte(file, pos,
                      std::to_string(bytes.size() - pos) + " bytes follow the " +
                          std::to_string(blocks) + " blocks the file states");
  }
  if (out.count == 0) return Fail(file, "the swatch exchange file holds no colours");
  if (named) out.names = std::move(names);
  return out;
}

}  // namespace hw::palette_files
