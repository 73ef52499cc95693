// The run-length kernels of the PCX codec: the pixel data decoded and encoded a
// block of 64 bytes at a time where the data allows, with block decoders for the
// instruction sets the processor has. Used by the codec (pcx.cpp) only;
// pcx_internal.h holds the switch that narrows the choice of instruction set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace hw::pcx_runs {

// Decoder state carried across rows, since a run may continue into the next row.
struct RleSource {
  const uint8_t* pos;
  const uint8_t* end;  // first byte the pixel data may not use
  int pending = 0;     // pixels of the current run still to store
  uint8_t value = 0;   // value of that run
};

// Decodes into [d, dend) while the source holds whole items, stopping at an item
// boundary: when the output is full, or when what is left of the source is empty or
// a lone run marker. Returns where the output stopped.
uint8_t* DecodeAvailable(RleSource& src, uint8_t* d, uint8_t* dend);

// Stores exactly n decoded bytes at dst. Returns false when the data runs out.
inline bool DecodeInto(RleSource& src, uint8_t* dst, int64_t n) {
  return DecodeAvailable(src, dst, dst + n) == dst + n;
}

// Number of bytes of 192 or more.
size_t CountHigh(std::span<const uint8_t> bytes);

// One row of run-length data into o (room for 2 * len + 64 bytes); returns the
// end. A run is two or more equal pixels, at most 63, never crossing the row's end.
uint8_t* EncodeRow(const uint8_t* p, int64_t len, uint8_t* o);

}  // namespace hw::pcx_runs
