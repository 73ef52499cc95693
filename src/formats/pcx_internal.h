// Switches inside the PCX codec, for tests that must reach every code path.
#pragma once

namespace hw::pcx_internal {

// Whether the codec may use its SSSE3 paths when the processor has them (it may
// by default). Returns the previous setting. The results never depend on it.
bool AllowSsse3(bool allow);

}  // namespace hw::pcx_internal
