// The cycle ranges of a PNG picture, in the private chunk "crNg": 6 bytes a range,
// at most 16 ranges; each a big-endian 16-bit rate (16384 = 60 steps a second),
// a big-endian 16-bit flags word (1 active, 2 reverse), then LOW and HIGH as bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "colour/cycle_ranges.h"

namespace hw {

inline constexpr uint16_t kCycleFlagActive = 1;
inline constexpr uint16_t kCycleFlagReverse = 2;

// The chunk's payload (6 bytes a range, nothing for none).
std::vector<uint8_t> EncodeCycleChunk(const CycleRanges& ranges);
// The ranges of a payload, or nullopt when its length is not 6 n with n <= 16.
std::optional<CycleRanges> DecodeCycleChunk(std::span<const uint8_t> payload);

struct CycleChunkRead {
  CycleRanges ranges;
  // Why a crNg chunk was left aside ("bad CRC", "length not a multiple of 6" or
  // "more than 16 ranges") when no chunk gave ranges; empty otherwise.
  std::string left_aside;
};

// The ranges of the first whole crNg chunk with a correct CRC and a usable payload
// in a PNG file (none when it has none, or only broken ones, the first of which
// says why). Every length is checked against the bytes present.
CycleChunkRead ReadCycleChunk(std::span<const uint8_t> png);
// `png` (a whole file, as the encoder made it) with one crNg chunk holding `ranges`
// placed before its image data; nothing is added for no ranges.
void InsertCycleChunk(std::vector<uint8_t>& png, const CycleRanges& ranges);

}  // namespace hw
