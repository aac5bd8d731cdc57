#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <vector>

namespace monocount {

// An allocator for the exact counter's large arrays: blocks of 64 kB and more are mapped
// straight from the system and unmapped when freed, so the memory a table held is returned at
// once, whatever the C library's heap does with its own blocks (glibc raises its threshold for
// mapping a block after the first large free, then keeps freed blocks in its heap). The
// resident memory of a run then follows the bytes its tables hold, which is what the plan
// states beforehand. Smaller blocks come from operator new.
template <typename T>
class PageAllocator {
 public:
  using value_type = T;
  PageAllocator() = default;
  template <typename U>
  PageAllocator(const PageAllocator<U>&) noexcept {}  // NOLINT(google-explicit-constructor): rebinding

  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (bytes < kMappedBytes) return static_cast<T*>(::operator new(bytes));
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    // Huge pages where the system grants them on request: a fault per 2 MB instead of per 4 kB.
    if (bytes >= kHugeBytes) madvise(block, bytes, MADV_HUGEPAGE);
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t count) noexcept {
    const std::size_t bytes = count * sizeof(T);
    if (bytes < kMappedBytes) {
      ::operator delete(block);
    } else {
      munmap(block, bytes);
    }
  }
  template <typename U>
  bool operator==(const PageAllocator<U>&) const noexcept {
    return true;
  }

 private:
  static constexpr std::size_t kMappedBytes = std::size_t{1} << 16;
  static constexpr std::size_t kHugeBytes = std::size_t{1} << 22;
};

// A vector whose large buffers are mapped pages.
template <typename T>
using PageVector = std::vector<T, PageAllocator<T>>;

}  // namespace monocount
