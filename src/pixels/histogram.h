// Per-index usage counts of a picture's pixels.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace hw {

// Slots 0..255 count palette indices; slot 256 is never a palette index and stays 0.
using Histogram = std::array<int32_t, 257>;

void ClearHisto(Histogram& histo);
// Clears, then counts every pixel of `pixels` by its index.
void ComputeHisto(Histogram& histo, std::span<const uint8_t> pixels);

// The same with a chosen kernel, for tests and benchmarks. Auto picks the fastest
// kernel this processor runs. Returns false, leaving histo untouched, when the
// processor lacks the instructions the kernel needs.
enum class HistoKernel { Auto, Portable, Avx512 };
bool ComputeHistoWith(HistoKernel kernel, Histogram& histo, std::span<const uint8_t> pixels);

}  // namespace hw
