#include "formats/pictures/cycle_chunk.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "formats/pictures/bytes.h"

namespace hw {

using namespace bytes;

namespace {

constexpr size_t kSignatureBytes = 8;
constexpr size_t kRecordBytes = 6;

// The CRC-32 of PNG chunks (ISO 3309), over type and data.
uint32_t Crc32(std::span<const uint8_t> bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (uint8_t b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

}  // namespace

std::vector<uint8_t> EncodeCycleChunk(const CycleRanges& ranges) {
  std::vector<uint8_t> out;
  out.reserve(ranges.size() * kRecordBytes);
  for (const CycleRange& r : ranges) {
    const uint16_t flags = static_cast<uint16_t>((r.active ? kCycleFlagActive : 0) |
                                                 (r.reverse ? kCycleFlagReverse : 0));
    out.push_back(static_cast<uint8_t>(r.rate >> 8));
    out.push_back(static_cast<uint8_t>(r.rate));
    out.push_back(static_cast<uint8_t>(flags >> 8));
    out.push_back(static_cast<uint8_t>(flags));
    out.push_back(r.low);
    out.push_back(r.high);
  }
  return out;
}

std::optional<CycleRanges> DecodeCycleChunk(std::span<const uint8_t> payload) {
  if (payload.size() % kRecordBytes != 0 || payload.size() / kRecordBytes > kMaxCycleRanges) {
    return std::nullopt;
  }
  CycleRanges ranges;
  for (size_t at = 0; at < payload.size(); at += kRecordBytes) {
    const auto* p = payload.data() + at;
    const uint16_t flags = static_cast<uint16_t>(p[2] << 8 | p[3]);
    CycleRange r;
    r.rate = static_cast<uint16_t>(p[0] << 8 | p[1]);
    r.active = (flags & kCycleFlagActive) != 0;
    r.reverse = (flags & kCycleFlagReverse) != 0;
    r.low = p[4];
    r.high = p[5];
    ranges.push_back(r);
  }
  return ranges;
}

CycleChunkRead ReadCycleChunk(std::span<const uint8_t> png) {
  CycleChunkRead read;
  size_t pos = kSignatureBytes;
  while (png.size() >= pos && png.size() - pos >= 12) {
    const uint32_t length = Be32(png, pos);
    if (length > png.size() - pos - 12) break;
    const auto typed = png.subspan(pos + 4, 4 + static_cast<size_t>(length));
    if (std::memcmp(typed.data(), "crNg", 4) == 0) {
      const char* cause = nullptr;
      if (Crc32(typed) != Be32(png, pos + 8 + static_cast<size_t>(length))) {
        cause = "bad CRC";
      } else if (length % kRecordBytes != 0) {
        cause = "length not a multiple of 6";
      } else if (length / kRecordBytes > kMaxCycleRanges) {
        cause = "more than 16 ranges";
      } else if (auto ranges = DecodeCycleChunk(typed.subspan(4))) {
        read.ranges = std::move(*ranges);
        read.left_aside.clear();
        return read;
      }
      if (cause && read.left_aside.empty()) read.left_aside = cause;
    }
    if (std::memcmp(typed.data(), "IEND", 4) == 0) break;
    pos += 12 + static_cast<size_t>(length);
  }
  return read;
}

void InsertCycleChunk(std::vector<uint8_t>& png, const CycleRanges& ranges) {
  if (ranges.empty()) return;
  // Before the first IDAT: readers that stop at the image data still see it.
  size_t pos = kSignatureBytes;
  while (png.size() >= pos && png.size() - pos >= 12) {
    const uint32_t length = Be32(png, pos);
    if (std::memcmp(png.data() + pos + 4, "IDAT", 4) == 0 ||
        std::memcmp(png.data() + pos + 4, "IEND", 4) == 0 || length > png.size() - pos - 12) {
      break;
    }
    pos += 12 + static_cast<size_t>(length);
  }
  std::vector<uint8_t> chunk;
  const std::vector<uint8_t> payload = EncodeCycleChunk(ranges);
  PutBe32(chunk, static_cast<uint32_t>(payload.size()));
  chunk.insert(chunk.end(), {'c', 'r', 'N', 'g'});
  chunk.insert(chunk.end(), payload.begin(), payload.end());
  PutBe32(chunk, Crc32(std::span<const uint8_t>(chunk).subspan(4)));
  png.insert(png.begin() + static_cast<std::ptrdiff_t>(std::min(pos, png.size())), chunk.begin(),
             chunk.end());
}

}  // namespace hw
