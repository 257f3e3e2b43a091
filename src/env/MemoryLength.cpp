#include "env/MemoryLength.h"

#include <string>

#include "env/Errors.h"

namespace remdo::env {

std::size_t MemoryLength(std::uint64_t size, std::string_view path) {
  constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(PTRDIFF_MAX);
  if (size > kLimit) {
    throw EReadError("The file " + std::string(path) + " (" + std::to_string(size) +
                     " bytes) is too large to be read into memory.");
  }
  return static_cast<std::size_t>(size);
}

}  // namespace remdo::env
