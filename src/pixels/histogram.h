// Per-index usage counts of a picture's pixels.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "base/usage_counts.h"

namespace hw {

void ClearHisto(UsageCounts& histo);
// Clears, then counts every pixel of `pixels` by its index.
void ComputeHisto(UsageCounts& histo, std::span<const uint8_t> pixels);

// The same with a chosen kernel, for tests and benchmarks. Auto picks the fastest
// kernel this processor runs. Returns false, leaving histo untouched, when the
// processor lacks the instructions the kernel needs.
enum class HistoKernel { Auto, Portable, Avx512 };
bool ComputeHistoWith(HistoKernel kernel, UsageCounts& histo, std::span<const uint8_t> pixels);

}  // namespace hw
