// Large pages on Linux: transparent huge pages, asked for by madvise (the
// kernel's default leaves them to the programs that ask).
#include <sys/mman.h>

#include <cstdint>

#include "env/LargeBuffer.h"

namespace remdo::env {

void AdviseLargePages(std::byte* memory, std::size_t bytes) noexcept {
  const auto start = reinterpret_cast<std::uintptr_t>(memory);
  const std::uintptr_t first = (start + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
  const std::uintptr_t last = (start + bytes) / kLargePageBytes * kLargePageBytes;
  // Only whole large pages: a part one at the end would be backed whole,
  // memory the buffer never asked for.
  if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace remdo::env
