// The user-mode CPU time of the running benchmark, for benchmarks that fit
// the program's own work apart from the kernel's.
#ifndef REMDO_BENCH_USERTIME_H_
#define REMDO_BENCH_USERTIME_H_

#include <cstdlib>
#include <span>
#include <string>

#include "env/FileSystem.h"

namespace remdo::bench {

// Seconds of user-mode CPU time of this process, read from /proc (field 14
// of its stat line, in the kernel's fixed 100 ticks a second); -1 where it
// cannot be read. A tick is coarse, but the differences of a running count
// average out over a benchmark's iterations.
inline double UserSeconds() {
  try {
    auto file = env::RealFileSystem().Open("/proc/self/stat", env::TOpenMode::kRead);
    std::string text(4096, '\0');
    text.resize(file->ReadAt(0, std::as_writable_bytes(std::span<char>(text))));
    // The command name in parentheses may hold spaces: count from its end.
    std::size_t at = text.rfind(')');
    for (int field = 2; field < 14 && at != std::string::npos; ++field) at = text.find(' ', at + 1);
    return at == std::string::npos ? -1 : static_cast<double>(std::strtoll(text.c_str() + at + 1, nullptr, 10)) / 100;
  } catch (...) {
    return -1;
  }
}

}  // namespace remdo::bench

#endif  // REMDO_BENCH_USERTIME_H_
