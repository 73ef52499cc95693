#include "formats/palettes/palette_riff.h"

#include <cstring>
#include <string>

#include "formats/palettes/palette_common.h"
#include "formats/pictures/bytes.h"

namespace hw::palette_files {

using bytes::Le16;
using bytes::Le32;

Result<PaletteFile> DecodeRiff(std::span<const uint8_t> bytes, std::string_view file) {
  if (bytes.size() > kMaxRiffPaletteBytes) {
    return Fail(file, "a RIFF palette of " + std::to_string(bytes.size()) +
                          " bytes is too large (at most " + std::to_string(kMaxRiffPaletteBytes) +
                          ")");
  }
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "PAL ", 4) != 0) {
    return Fail(file, "not a RIFF palette (no 'RIFF' ... 'PAL ' header)");
  }
  const uint64_t riff_size = Le32(bytes, 4);
  if (riff_size < 4 || riff_size + 8 > bytes.size()) {
    return Fail(file, "the RIFF header states " + std::to_string(riff_size) +
                          " bytes of content but the file holds " +
                          std::to_string(bytes.size() - 8));
  }
  const size_t end = static_cast<size_t>(riff_size) + 8;
  size_t pos = 12;
  while (pos + 8 <= end) {
    const uint32_t chunk_size = Le32(bytes, pos + 4);
    const bool is_data = std::memcmp(bytes.data() + pos, "data", 4) == 0;
    if (chunk_size > end - pos - 8) {
      return Fail(file, "the chunk " + Quote(AsText(bytes.subspan(pos, 4))) + " of " +
                            std::to_string(chunk_size) + " bytes runs past the end of the file");
    }
    if (!is_data) {
      pos += 8 + static_cast<size_t>(chunk_size) + (chunk_size & 1);  // chunks pad to even
      continue;
    }
    const auto data = bytes.subspan(pos + 8, chunk_size);
    if (data.size() < 4) return Fail(file, "the 'data' chunk is too short for its header");
    const int version = Le16(data, 0);
    if (version != 0x0300) {
      return Fail(file, "unknown RIFF palette version " + std::to_string(version >> 8) + "." +
                            std::to_string(version & 255) + " (expected 3.0)");
    }
    const int count = Le16(data, 2);
    if (count < 1 || count > kMaxEntries) {
      return Fail(file, "a colour count of " + std::to_string(count) + " is outside 1..256");
    }
    if (data.size() != 4 + 4 * static_cast<size_t>(count)) {
      return Fail(file, "states " + ColoursText(count) + " but its 'data' chunk holds " +
                            std::to_string(data.size() - 4) + " bytes of colours (" +
                            std::to_string(4 * count) + " expected)");
    }
    PaletteFile out;
    out.format = PaletteFormat::Riff;
    out.count = count;
    for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
      out.entries[k].rgb = {data[4 + 4 * k], data[5 + 4 * k], data[6 + 4 * k]};
    }
    return out;
  }
  return Fail(file, "the RIFF palette has no 'data' chunk");
}

std::vector<uint8_t> EncodeRiff(std::span<const BoardEntry> entries) {
  std::vector<uint8_t> out;
  const auto count = static_cast<uint32_t>(entries.size());
  const uint32_t data_size = 4 + 4 * count, riff_size = 4 + 8 + data_size;
  auto le32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  Append(out, "RIFF");
  le32(riff_size);
  Append(out, "PAL data");
  le32(data_size);
  out.insert(out.end(), {0x00, 0x03, static_cast<uint8_t>(count & 0xFF),
                         static_cast<uint8_t>(count >> 8)});  // version 0x0300, then the count
  for (const BoardEntry& e : entries) out.insert(out.end(), {e.rgb.R, e.rgb.G, e.rgb.B, 0});
  return out;
}

}  // namespace hw::palette_files
