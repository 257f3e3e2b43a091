// Large pages on Windows need a privilege that a user's account does not
// hold: the buffers stay ordinary memory.
#include "env/LargeBuffer.h"

namespace remdo::env {

void AdviseLargePages(std::byte* /*memory*/, std::size_t /*bytes*/) noexcept {}

}  // namespace remdo::env
