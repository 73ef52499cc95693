// cycle-gif IN OUT: IN's colour cycle as an animated GIF (editor/cycle_export.h).
// IN is any picture the program reads, its ranges included; OUT is written
// whatever its name (OUT "-" is refused: the command writes files only).
#pragma once

#include <optional>
#include <string>

#include "editor/cycle_export.h"

namespace hw::cli {

// The exit code, having printed the failure line if any. With `length`, that many
// seconds at a fixed frame rate instead of the exact loop.
int CycleGif(const std::string& in, const std::string& out,
             const std::optional<FixedLength>& length = std::nullopt);

}  // namespace hw::cli
