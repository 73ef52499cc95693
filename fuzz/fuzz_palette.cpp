// libFuzzer target for the palette file readers: arbitrary bytes are read under
// each name below (the extension decides when the content has no signature);
// whatever decodes must come back unchanged through every writer. Any broken
// property aborts with its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "palette_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const char* name : {"f.gpl", "f.pal", "f.act", "f.hex", "f.aco", "f.txt", "f.bin"}) {
    const auto check = hw::fuzzing::CheckPaletteInput(std::span<const uint8_t>(data, size), name);
    if (!check.violation.empty()) {
      std::fprintf(stderr, "palette property broken: %s\n", check.violation.c_str());
      std::abort();
    }
  }
  return 0;
}
