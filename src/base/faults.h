// Failure injection for tests: makes the next large allocations or thread starts
// fail on request, so that out-of-memory and thread-start failures can be tested
// without exhausting the machine. Off unless a test turns it on; when off, each
// check is one relaxed atomic load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace hw::faults {

// After `n` more successful checks, every AllocationShouldFail() says true
// (n = 0: the very next one fails). A negative n turns injection off.
void FailAllocationsAfter(long n);
// The same for thread starts.
void FailThreadStartsAfter(long n);
// Makes the file layer's unnamed temporary files unavailable, as on a file system
// without O_TMPFILE, so that the named fallback is used.
void FailUnnamedTemporaries(bool fail);
// Called by the file layer after each piece of a file it writes, with the bytes
// written so far; null (the default) for none. Lets a test stop a save part way.
using WriteProgressHook = void (*)(uint64_t written);
void SetWriteProgressHook(WriteProgressHook hook);
// Turns every injection off.
void Reset();

bool AllocationShouldFail();
bool ThreadStartShouldFail();
bool UnnamedTemporariesShouldFail();
void ReportWriteProgress(uint64_t written);

}  // namespace hw::faults

namespace hw {

// A zero-filled buffer of n elements for the large allocations (pixels, file
// contents); throws std::bad_alloc when the memory is not there or a test injects
// the failure.
template <class T>
std::vector<T> AllocateBuffer(size_t n) {
  if (faults::AllocationShouldFail()) throw std::bad_alloc();
  return std::vector<T>(n);
}

// Starts a thread running f; throws std::system_error when the system cannot start
// one or a test injects the failure. Callers run the work themselves instead.
template <class F>
std::thread StartThread(F&& f) {
  if (faults::ThreadStartShouldFail()) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                            "cannot start a thread");
  }
  return std::thread(std::forward<F>(f));
}

}  // namespace hw
