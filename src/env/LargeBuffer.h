// Large working buffers: megabytes written once and read back, such as the
// runs of a sorting load. Their memory starts on a large-page boundary and
// the system is asked to back it with large pages where it can, which
// spares a page fault for every 4 KiB first touched (on a virtual machine
// the faults can cost more than the work done in the buffer). A hint only:
// where the system has no large pages, or declines, the buffer is ordinary
// memory.
#ifndef REMDO_ENV_LARGEBUFFER_H_
#define REMDO_ENV_LARGEBUFFER_H_

#include <cstddef>
#include <memory>

namespace remdo::env {

// The large page size the buffers are aligned to.
inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

struct TLargeBufferDelete {
  void operator()(std::byte* memory) const noexcept;
};
using TLargeBuffer = std::unique_ptr<std::byte[], TLargeBufferDelete>;

// An uninitialised buffer of bytes bytes. Throws std::bad_alloc.
TLargeBuffer NewLargeBuffer(std::size_t bytes);

// An allocator of large buffers, for vectors that grow to megabytes.
template <typename T>
struct TLargeAllocator {
  using value_type = T;
  TLargeAllocator() = default;
  template <typename U>
  TLargeAllocator(const TLargeAllocator<U>& /*other*/) noexcept {}
  T* allocate(std::size_t n) { return reinterpret_cast<T*>(NewLargeBuffer(n * sizeof(T)).release()); }
  void deallocate(T* memory, std::size_t /*n*/) noexcept { TLargeBufferDelete()(reinterpret_cast<std::byte*>(memory)); }
  template <typename U>
  bool operator==(const TLargeAllocator<U>& /*other*/) const noexcept {
    return true;
  }
};

// The backend's part: asks for large pages over the whole large pages
// within the bytes at memory; failures are ignored.
void AdviseLargePages(std::byte* memory, std::size_t bytes) noexcept;

}  // namespace remdo::env

#endif  // REMDO_ENV_LARGEBUFFER_H_
