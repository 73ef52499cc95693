// libFuzzer target for the console palette readers: arbitrary bytes are read as each
// console format; whatever decodes must hold the format's colours and come back
// through its writer. Any broken property aborts with its name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "console_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (hw::PaletteFormat format : {hw::PaletteFormat::Vga6, hw::PaletteFormat::Bgr15,
                                   hw::PaletteFormat::Md9, hw::PaletteFormat::Amiga12}) {
    const auto check =
        hw::fuzzing::CheckConsoleInput(std::span<const uint8_t>(data, size), format, "f.bin");
    if (!check.violation.empty()) {
      std::fprintf(stderr, "console palette property broken: %s\n", check.violation.c_str());
      std::abort();
    }
  }
  return 0;
}
