// Figures of the running benchmark read from /proc: its peak resident
// memory, which the timed tool runs print beside their times, and its
// user-mode CPU time, for benchmarks that fit the program's own work apart
// from the kernel's.
#ifndef REMDO_BENCH_PROCESSFIGURES_H_
#define REMDO_BENCH_PROCESSFIGURES_H_

#include <cstdlib>
#include <span>
#include <string>

#include "env/FileSystem.h"

namespace remdo::bench {

// The text of a /proc file of this process; empty where it cannot be read.
inline std::string ProcText(const char* path) {
  try {
    auto file = env::RealFileSystem().Open(path, env::TOpenMode::kRead);
    std::string text(1 << 16, '\0');
    text.resize(file->ReadAt(0, std::as_writable_bytes(std::span<char>(text))));
    return text;
  } catch (...) {
    return {};
  }
}

// Peak resident memory of this process in KiB; -1 where it cannot be read.
inline long PeakMemoryKiB() {
  const std::string text = ProcText("/proc/self/status");
  const std::size_t at = text.find("VmHWM:");
  return at == std::string::npos ? -1 : std::strtol(text.c_str() + at + 6, nullptr, 10);
}

// Seconds of user-mode CPU time of this process (field 14 of its stat line,
// in the kernel's fixed 100 ticks a second); -1 where it cannot be read. A
// tick is coarse, but the differences of a running count average out over a
// benchmark's iterations.
inline double UserSeconds() {
  const std::string text = ProcText("/proc/self/stat");
  // The command name in parentheses may hold spaces: count from its end.
  std::size_t at = text.rfind(')');
  for (int field = 2; field < 14 && at != std::string::npos; ++field) at = text.find(' ', at + 1);
  return at == std::string::npos ? -1 : static_cast<double>(std::strtoll(text.c_str() + at + 1, nullptr, 10)) / 100;
}

}  // namespace remdo::bench

#endif  // REMDO_BENCH_PROCESSFIGURES_H_
