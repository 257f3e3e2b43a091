#include "env/LargeBuffer.h"

#include <new>

namespace remdo::env {

void TLargeBufferDelete::operator()(std::byte* memory) const noexcept {
  ::operator delete(memory, std::align_val_t{kLargePageBytes});
}

TLargeBuffer NewLargeBuffer(std::size_t bytes) {
  auto* memory = static_cast<std::byte*>(::operator new(bytes, std::align_val_t{kLargePageBytes}));
  AdviseLargePages(memory, bytes);
  return TLargeBuffer(memory);
}

}  // namespace remdo::env
