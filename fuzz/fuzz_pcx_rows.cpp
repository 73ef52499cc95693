// libFuzzer target for the PCX slice decoder: the first bytes of an input choose the
// input buffer, the slice, the pieces the source hands over and the instruction set
// (pcx_rows_checks.h), the rest is the file. The slice decoder must agree with
// DecodePcx on every file. Any broken property aborts with its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "pcx_rows_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto check = hw::fuzzing::CheckPcxRowsInput(std::span<const uint8_t>(data, size));
  if (!check.violation.empty()) {
    std::fprintf(stderr, "PCX slice decoder property broken: %s\n", check.violation.c_str());
    std::abort();
  }
  return 0;
}
