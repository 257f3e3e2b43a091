// A file's size (64-bit) as a length held in memory. The Windows program is
// 32-bit: it cannot hold 2 GiB or more in one piece, and a size narrowed to
// its size_t without a check would wrap (4 GiB + 1 becomes 1).
#ifndef REMDO_ENV_MEMORYLENGTH_H_
#define REMDO_ENV_MEMORYLENGTH_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace remdo::env {

// size as a length in memory. Throws EReadError naming path when it does not
// fit a container's length (its difference type).
std::size_t MemoryLength(std::uint64_t size, std::string_view path);

}  // namespace remdo::env

#endif  // REMDO_ENV_MEMORYLENGTH_H_
