// libFuzzer target for the PCX readers: arbitrary bytes go through ReadPcxHeader,
// ReadPcxPalette, ReadPcxPixels and DecodePcx; whatever decodes must come back
// unchanged through WritePcx + DecodePcx. Any broken property aborts with its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "pcx_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto check = hw::fuzzing::CheckPcxInput(std::span<const uint8_t>(data, size));
  if (!check.violation.empty()) {
    std::fprintf(stderr, "PCX property broken: %s\n", check.violation.c_str());
    std::abort();
  }
  return 0;
}
