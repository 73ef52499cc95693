// The version both programs report (CMake's project() sets HW_VERSION) and the
// licence they are released under.
#pragma once

#ifndef HW_VERSION
#error "HW_VERSION comes from CMake's project() version"
#endif

namespace hw {

inline constexpr const char kVersion[] = HW_VERSION;
// The second line of --version, and what About names.
inline constexpr const char kLicenceLine[] =
    "License: GPL-3.0-or-later (GNU General Public License, version 3 or later)";

}  // namespace hw
