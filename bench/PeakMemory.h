// The peak resident memory of the running benchmark, which the timed tool
// runs print beside their times.
#ifndef REMDO_BENCH_PEAKMEMORY_H_
#define REMDO_BENCH_PEAKMEMORY_H_

#include <cstdlib>
#include <span>
#include <string>

#include "env/FileSystem.h"

namespace remdo::bench {

// Peak resident memory of this process in KiB, read from /proc; -1 where
// it cannot be read.
inline long PeakMemoryKiB() {
  try {
    auto file = env::RealFileSystem().Open("/proc/self/status", env::TOpenMode::kRead);
    std::string text(1 << 16, '\0');
    text.resize(file->ReadAt(0, std::as_writable_bytes(std::span<char>(text))));
    const std::size_t at = text.find("VmHWM:");
    return at == std::string::npos ? -1 : std::strtol(text.c_str() + at + 6, nullptr, 10);
  } catch (...) {
    return -1;
  }
}

}  // namespace remdo::bench

#endif  // REMDO_BENCH_PEAKMEMORY_H_
