#include "formats/pictures/gif_lzw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace hw {

Status DecodeGifLzw(std::span<const uint8_t> blocks, int min_code_size, std::span<uint8_t> out) {
  if (min_code_size < 1 || min_code_size > 8) {
    return Error{"damaged GIF image data: LZW code size " + std::to_string(min_code_size)};
  }
  constexpr uint32_t kMaxCodes = 4096;
  constexpr int kMaxWidth = 12;
  constexpr size_t kShort = 16;  // strings up to this long are copied in one move
  const uint32_t clear = 1u << min_code_size, end = clear + 1, first_free = clear + 2;
  uint8_t* const px = out.data();
  const size_t total = out.size();

  // Code c's string is from[c][0, length[c]): a literal's is its own byte in
  // `literals` (padded so that a short copy may read past it), a defined code's
  // lies in the output already written.
  std::array<uint8_t, 256 + kShort> literals{};
  for (uint32_t c = 0; c < 256; ++c) literals[c] = static_cast<uint8_t>(c);
  std::array<const uint8_t*, kMaxCodes> from;
  std::array<uint32_t, kMaxCodes> length;
  for (uint32_t c = 0; c < clear; ++c) {
    from[c] = literals.data() + c;
    length[c] = 1;
  }

  const uint8_t* const in = blocks.data();
  const size_t in_size = blocks.size();
  size_t at = 0;         // the next byte to take
  size_t block_end = 0;  // the end of the sub-block it is in; at == block_end: a length byte
  bool ended = false;    // the zero-length block was reached
  uint64_t bits = 0;     // the next nbits bits of the data, lowest first
  int nbits = 0;
  int width = min_code_size + 1;
  uint32_t next = first_free;
  uint32_t mask = (1u << width) - 1;
  size_t prev_start = 0;
  uint32_t prev_length = 0;  // the previous code's string; 0 after a clear

  size_t pos = 0;
  while (pos < total) {
    if (nbits < width) {
      if (block_end - at >= 8) {
        // Eight bytes of one sub-block at once: the bits past the whole bytes
        // taken are the next byte's own, and the next refill ORs them in again.
        uint64_t word;
        std::memcpy(&word, in + at, sizeof word);
        bits |= word << nbits;
        at += static_cast<size_t>((63 - nbits) >> 3);
        nbits |= 56;
      } else {
        // A byte at a time, across the length byte of the next sub-block.
        while (nbits <= 56 && !ended) {
          if (at == block_end) {
            if (at >= in_size) break;  // cut short
            if (in[at] == 0) {
              ended = true;
              break;
            }
            block_end = std::min(in_size, at + 1 + in[at]);
            ++at;
            continue;
          }
          bits |= uint64_t{in[at++]} << nbits;
          nbits += 8;
        }
        if (nbits < width) return Error{"damaged GIF image data: the data ends early"};
      }
    }
    const uint32_t code = static_cast<uint32_t>(bits) & mask;
    bits >>= width;
    nbits -= width;

    const size_t room = total - pos;
    uint32_t len;
    if (code < next && code != clear && code != end) [[likely]] {
      len = length[code];
      if (len <= kShort && room >= kShort) [[likely]] {
        // A defined string ends at or before pos, so the bytes that matter are
        // read before anything is written over them; the rest is written again
        // by the codes that follow.
        uint8_t chunk[kShort];
        std::memcpy(chunk, from[code], kShort);
        std::memcpy(px + pos, chunk, kShort);
      } else {
        std::memcpy(px + pos, from[code], std::min<size_t>(len, room));
      }
    } else if (code == clear) {
      width = min_code_size + 1;
      mask = (1u << width) - 1;
      next = first_free;
      prev_length = 0;
      continue;
    } else if (code == end) {
      return Error{"damaged GIF image data: the picture ends early"};
    } else if (code == next && prev_length > 0) {
      // The string being defined: the previous one and its own first pixel.
      len = prev_length + 1;
      std::memcpy(px + pos, px + prev_start, std::min<size_t>(prev_length, room));
      if (room > prev_length) px[pos + prev_length] = px[prev_start];
    } else {
      return Error{"damaged GIF image data: code " + std::to_string(code) + " is not in the table"};
    }
    if (prev_length > 0 && next < kMaxCodes) [[likely]] {
      // The previous string and this one's first pixel lie next to each other.
      from[next] = px + prev_start;
      length[next] = prev_length + 1;
      if (++next == (1u << width) && width < kMaxWidth) {
        ++width;
        mask = (1u << width) - 1;
      }
    } else if (prev_length == 0 && first_free == (1u << width)) {
      // Code size 1: the first free code, 4, already needs 3 bits. The encoder
      // widens its codes once it has taken that code, right after the first code
      // after a clear, so every code after that one is read 3 bits wide.
      ++width;
      mask = (1u << width) - 1;
    }
    prev_start = pos;
    prev_length = len;
    pos += std::min<size_t>(len, room);
  }
  // The codes after the last pixel are not read, but the sub-blocks must end.
  if (!ended) {
    at = block_end;
    while (at < in_size && in[at] != 0) at += size_t{1} + in[at];
    if (at >= in_size) return Error{"damaged GIF image data: the data ends early"};
  }
  return Ok{};
}

}  // namespace hw
