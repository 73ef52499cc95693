// huewright-cli: inspect, rewrite, convert and edit 8-bit indexed pictures and
// palettes from scripts; `huewright-cli --help` lists the commands (run.h).
//
// Every failure prints exactly one line on stderr naming the file and the cause and
// exits non-zero: 2 for a usage error, 1 for anything else, running out of memory
// included. A save whose output cannot hold something the input has (alpha, in
// PCX or most palette formats) writes the file and prints one "warning:" line.
#include <cstdlib>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "base/faults.h"
#include "cli/output.h"
#include "cli/run.h"

namespace {

// Sanitizer builds serve only for testing, and there the address-space limits that
// make the ordinary build run out of memory do not work (the sanitizer reserves
// terabytes up front, and dies instead of throwing when an allocation fails). Those
// builds alone take the injected failure from the environment; the shipped program
// has no such switch.
#if defined(__SANITIZE_ADDRESS__)
#define HW_CLI_FAULT_INJECTION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HW_CLI_FAULT_INJECTION 1
#endif
#endif

void InjectFaultsForTests() {
#if defined(HW_CLI_FAULT_INJECTION)
  if (const char* n = std::getenv("HW_TEST_FAIL_ALLOCATIONS_AFTER")) {
    hw::faults::FailAllocationsAfter(std::atol(n));
  }
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using hw::cli::Fail;
  const std::string& file = hw::cli::current_file;
  try {
    InjectFaultsForTests();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return hw::cli::Run(args);
  } catch (const std::bad_alloc&) {
    return Fail(file.empty() ? "huewright-cli" : file, "not enough memory");
  } catch (const std::system_error& e) {
    return Fail(file.empty() ? "huewright-cli" : file, e.what());
  }
}
