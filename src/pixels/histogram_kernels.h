// Counting kernels behind ComputeHisto, shared between its translation units.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/usage_counts.h"

namespace hw::detail {

using CountTotals = UsageCounts;
// Adds the index counts of p[0..n) to total.
using CountKernel = void (*)(const uint8_t* p, size_t n, CountTotals& total);

void CountPortable(const uint8_t* p, size_t n, CountTotals& total);
// Bit-sliced AVX-512 counting; null when this processor lacks the instructions.
CountKernel CountAvx512Kernel();

}  // namespace hw::detail
