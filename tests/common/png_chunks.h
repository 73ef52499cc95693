// Building and taking apart PNG files chunk by chunk, for tests that need files our
// encoder does not write (short palettes, damaged or misplaced chunks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hw::test {

inline uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0xFFFFFFFFu) {
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return crc;
}

struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
};

inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

// The chunks of a well-formed file, in order.
inline std::vector<Chunk> Chunks(const std::vector<uint8_t>& png) {
  std::vector<Chunk> out;
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const uint32_t len = static_cast<uint32_t>(png[pos] << 24 | png[pos + 1] << 16 |
                                               png[pos + 2] << 8 | png[pos + 3]);
    out.push_back({std::string(png.begin() + pos + 4, png.begin() + pos + 8),
                   std::vector<uint8_t>(png.begin() + pos + 8, png.begin() + pos + 8 + len)});
    pos += 12 + len;
  }
  return out;
}

// Signature and chunks with correct lengths and CRCs.
inline std::vector<uint8_t> Assemble(const std::vector<Chunk>& chunks) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Chunk& c : chunks) {
    PutBe32(out, static_cast<uint32_t>(c.data.size()));
    const size_t start = out.size();
    out.insert(out.end(), c.type.begin(), c.type.end());
    out.insert(out.end(), c.data.begin(), c.data.end());
    PutBe32(out, ~Crc32(out.data() + start, out.size() - start));
  }
  return out;
}

}  // namespace hw::test
