// libFuzzer target for the PNG reader: arbitrary bytes go through DecodeIndexedPng;
// whatever decodes must come back unchanged through EncodeIndexedPng. Any broken
// property aborts with its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "png_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto check = hw::fuzzing::CheckPngInput(std::span<const uint8_t>(data, size));
  if (!check.violation.empty()) {
    std::fprintf(stderr, "PNG property broken: %s\n", check.violation.c_str());
    std::abort();
  }
  return 0;
}
