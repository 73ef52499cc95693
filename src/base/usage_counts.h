// How many pixels use each palette index (or each board position).
#pragma once

#include <array>
#include <cstdint>

namespace hw {

using UsageCounts = std::array<int64_t, 256>;

}  // namespace hw
