// cycle-gif IN OUT: IN's colour cycle as an animated GIF (editor/cycle_export.h).
// IN is any picture the program reads, its ranges included; OUT is written
// whatever its name (OUT "-" is refused: the command writes files only).
#pragma once

#include <string>

namespace hw::cli {

// The exit code, having printed the failure line if any.
int CycleGif(const std::string& in, const std::string& out);

}  // namespace hw::cli
