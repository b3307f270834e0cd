#pragma once
// Vectors whose elements start out uninitialized: a large buffer that is about to be filled by
// several threads is then first touched by them, side by side, not zeroed by one beforehand.
// Large buffers are asked for in huge pages where the system offers them: the matcher reads its
// images and trees at random, and a fault or a translation miss per 4 KB page costs more than the
// work done on most of them.

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace gck {

// Buffers of at least this many bytes go to huge pages.
constexpr size_t kHugePageBytes = size_t{2} << 20;

template <class T>
struct DefaultInitAllocator : std::allocator<T> {
  using value_type = T;
  DefaultInitAllocator() = default;
  template <class U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
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
#if defined(__linux__)
  T* allocate(size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes < kHugePageBytes) return std::allocator<T>::allocate(n);
    void* p = nullptr;
    if (n > size_t(-1) / sizeof(T) || posix_memalign(&p, kHugePageBytes, bytes) != 0)
      throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE);
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (n * sizeof(T) < kHugePageBytes) return std::allocator<T>::deallocate(p, n);
    std::free(p);
  }
#endif
};

template <class T, class U>
bool operator==(const DefaultInitAllocator<T>&, const DefaultInitAllocator<U>&) noexcept {
  return true;
}
template <class T, class U>
bool operator!=(const DefaultInitAllocator<T>&, const DefaultInitAllocator<U>&) noexcept {
  return false;
}

template <class T>
using UninitializedVector = std::vector<T, DefaultInitAllocator<T>>;

}  // namespace gck
