// Large buffers: advice to the kernel about memory that is about to be filled.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace hw {

// Asks for huge pages behind a large buffer that is about to be filled: first
// touches of fresh memory then fault a few times instead of once per 4 KiB page.
// Only advice; nothing depends on it being followed.
void AdviseHugePages(void* data, size_t size);

// An allocator whose vectors leave the elements they add without a value (for
// trivial types), for buffers that are written whole right after they are sized:
// the fill a plain vector makes first would cost as much as the writing.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

}  // namespace hw
