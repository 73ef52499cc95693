// Switches inside the PCX codec, for tests that must reach every code path.
#pragma once

namespace hw::pcx_internal {

// Instruction sets the codec can use, narrowest first.
enum class SimdLevel { kPortable, kSsse3, kAvx512 };

// The widest instruction set the codec may use when the processor has it (the widest
// of all by default). Returns the previous setting. The results never depend on it.
SimdLevel AllowSimd(SimdLevel widest);

}  // namespace hw::pcx_internal
