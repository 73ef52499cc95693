// Failure injection counters. Each is -1 (off), 0 (fail every check) or the number
// of checks still allowed to succeed.
#include "base/faults.h"

#include <atomic>

namespace hw::faults {
namespace {

std::atomic<long> allocations_left{-1};
std::atomic<long> thread_starts_left{-1};
std::atomic<bool> no_unnamed_temporaries{false};
std::atomic<WriteProgressHook> write_hook{nullptr};

// Counts one check down; true once the count has reached 0.
bool Take(std::atomic<long>& left) {
  long n = left.load(std::memory_order_relaxed);
  while (n > 0) {
    if (left.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) return false;
  }
  return n == 0;
}

}  // namespace

void FailAllocationsAfter(long n) { allocations_left.store(n < 0 ? -1 : n); }
void FailThreadStartsAfter(long n) { thread_starts_left.store(n < 0 ? -1 : n); }
void FailUnnamedTemporaries(bool fail) { no_unnamed_temporaries.store(fail); }
void SetWriteProgressHook(WriteProgressHook hook) { write_hook.store(hook); }

void Reset() {
  allocations_left.store(-1);
  thread_starts_left.store(-1);
  no_unnamed_temporaries.store(false);
  write_hook.store(nullptr);
}

bool AllocationShouldFail() { return Take(allocations_left); }
bool ThreadStartShouldFail() { return Take(thread_starts_left); }
bool UnnamedTemporariesShouldFail() {
  return no_unnamed_temporaries.load(std::memory_order_relaxed);
}

void ReportWriteProgress(uint64_t written) {
  if (WriteProgressHook hook = write_hook.load(std::memory_order_relaxed)) hook(written);
}

}  // namespace hw::faults
