// Probing a folder's table files; the probe itself is the platform's.
#include "env/HeldTableFiles.h"

#include <chrono>
#include <thread>

#include "env/FileSystem.h"
#include "env/Path.h"

namespace remdo::env {

namespace {

constexpr int kProbes = 5;
constexpr auto kProbePause = std::chrono::milliseconds(100);

}  // namespace

std::vector<TProbedFile> FindHeldTableFiles(std::string_view folder,
                                            const std::function<bool(std::string_view name)>& isTableFile) {
  std::vector<TProbedFile> held;
  if (!ProbeSeesTableHolders()) return held;
  const std::string prefix = IncludeTrailingSeparator(folder);
  try {
    for (const TFindEntry& entry : DefaultFileSystem().Find(prefix + "*.*", attr::kAnyFile)) {
      if (!isTableFile(entry.name)) continue;
      const std::string path = prefix + entry.name;
      TLockProbe probe = ProbeHolders(path);
      for (int again = 1; again < kProbes && probe.state == TLockState::kLive; ++again) {
        std::this_thread::sleep_for(kProbePause);
        probe = ProbeHolders(path);
      }
      if (probe.state == TLockState::kLive) held.push_back({entry.name, path, probe});
    }
  } catch (...) {
    // A folder that cannot be listed holds no table file we could act on.
  }
  return held;
}

}  // namespace remdo::env
