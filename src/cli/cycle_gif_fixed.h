// cycle-gif IN OUT [--seconds S [--fps F]]: the options of the cycle export. With
// --seconds the animation covers S seconds at F frames a second (50 when not
// given) instead of one exact period (cycle/fixed_frames.h): S a decimal above 0,
// F an integer 1..100, floor(S * F) from 1 to 2048; anything else is a usage error.
#pragma once

#include <string>
#include <vector>

namespace hw::cli {

// `args` are the words after "cycle-gif"; the exit code, having printed the
// failure line if any.
int CycleGifCommand(const std::vector<std::string>& args);

}  // namespace hw::cli
