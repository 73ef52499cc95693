// Rewriting a picture's pixel indices through a 256-entry lookup table.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace hw {

using IndexLut = std::array<uint8_t, 256>;

// dst[i] = lut[src[i]] for every i; dst must be at least as long as src.
// src and dst may be the same buffer.
void RemapPixels(std::span<const uint8_t> src, std::span<uint8_t> dst, const IndexLut& lut);

// The same with a chosen kernel, for tests and benchmarks. Auto picks the fastest
// kernel this processor runs. Returns false, writing nothing, when the processor
// lacks the instructions the kernel needs.
enum class RemapKernel { Auto, Portable, Avx2, Avx512 };
bool RemapPixelsWith(RemapKernel kernel, std::span<const uint8_t> src, std::span<uint8_t> dst,
                     const IndexLut& lut);

}  // namespace hw
