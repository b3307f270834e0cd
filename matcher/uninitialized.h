#pragma once
// Vectors whose elements start out uninitialized: a large buffer that is about to be filled by
// several threads is then first touched by them, side by side, not zeroed by one beforehand.

#include <memory>
#include <vector>

namespace gck {

template <class T>
struct DefaultInitAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

template <class T>
using UninitializedVector = std::vector<T, DefaultInitAllocator<T>>;

}  // namespace gck
