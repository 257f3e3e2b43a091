// Finding the engine's lock files in a folder; the probe itself is the
// platform's (posix/PosixLockProbe.cpp, win32/Win32LockProbe.cpp).
#include "env/LockFiles.h"

#include "env/FileSystem.h"
#include "env/Path.h"

namespace remdo::env {

namespace {

TLockProber& InstalledProber() {
  static TLockProber prober;
  return prober;
}

}  // namespace

TLockProbe ProbeHolders(std::string_view path) {
  const TLockProber& prober = InstalledProber();
  return prober ? prober(path) : ProbeLockFile(path);
}

void InstallLockProber(TLockProber prober) { InstalledProber() = std::move(prober); }

std::vector<TLockFile> FindLockFiles(std::string_view folder) {
  std::vector<TLockFile> found;
  const std::string prefix = IncludeTrailingSeparator(folder);
  try {
    for (const TFindEntry& entry : DefaultFileSystem().Find(prefix + "*.lck", attr::kAnyFile)) {
      const std::string path = prefix + entry.name;
      found.push_back({entry.name, path, ProbeHolders(path)});
    }
  } catch (...) {
    // A folder that cannot be listed holds no lock file we could act on.
  }
  return found;
}

std::string LockStateText(const TLockProbe& probe) {
  const std::string detail = probe.detail.empty() ? std::string() : " (" + probe.detail + ")";
  switch (probe.state) {
    case TLockState::kLive:
      return "held by a live process" + detail;
    case TLockState::kStale:
      return "stale: no program holds it";
    case TLockState::kUnknown:
      break;
  }
  return "whether a program holds it cannot be told" + detail;
}

}  // namespace remdo::env
