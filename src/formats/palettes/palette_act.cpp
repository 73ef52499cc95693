#include "formats/palettes/palette_act.h"

#include <algorithm>
#include <string>

#include "formats/palettes/palette_common.h"

namespace hw::palette_files {
Result<PaletteFile> DecodeAct(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() != kActBytes && bytes.size() != kActWithTrailerBytes) {
    return Fail(file, "an Adobe colour table holds 768 or 772 bytes, this file " +
                          std::to_string(bytes.size()));
  }
  PaletteFile out;
  out.format = PaletteFormat::Act;
  out.count = kMaxEntries;
  int transparent = -1;
  if (bytes.size() == kActWithTrailerBytes) {
    const int count = Be16(bytes, 768);
    if (count < 1 || count > kMaxEntries) {
      return Fail(file, "a colour count of " + std::to_string(count) + " is outside 1..256");
    }
    out.count = count;
    const int index = Be16(bytes, 770);
    // 0xFFFF means none; an index past the colours the file holds is ignored.
    if (index < count) transparent = index;
  }
  ReadTriples(bytes, out.count, out.entries);
  if (transparent >= 0) out.entries[static_cast<size_t>(transparent)].A = 0;
  return out;
}

std::vector<uint8_t> EncodeAct(std::span<const BoardEntry> entries) {
  std::vector<uint8_t> out;
  for (const BoardEntry& e : entries) out.insert(out.end(), {e.rgb.R, e.rgb.G, e.rgb.B});
  const auto clear =
      std::find_if(entries.begin(), entries.end(), [](const BoardEntry& e) { return e.A == 0; });
  const int transparent =
      clear == entries.end() ? 0xFFFF : static_cast<int>(clear - entries.begin());
  // The table always holds 256 colours; the trailer says how many of them count.
  out.resize(kActBytes, 0);
  const auto count = static_cast<uint16_t>(entries.size());
  out.insert(out.end(),
             {static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF),
              static_cast<uint8_t>(transparent >> 8), static_cast<uint8_t>(transparent & 0xFF)});
  return out;
}

}  // namespace hw::palette_files
