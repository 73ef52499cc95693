// libFuzzer target for the ILBM reader: arbitrary bytes go through DecodeIlbm; whatever
// decodes must come back unchanged through its writer. Any broken property aborts
// with its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "ilbm_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto check = hw::fuzzing::CheckIlbmInput(std::span<const uint8_t>(data, size));
  if (!check.violation.empty()) {
    std::fprintf(stderr, "ILBM property broken: %s\n", check.violation.c_str());
    std::abort();
  }
  return 0;
}
