// The installable lock probe and its words; the probe itself is the
// platform's (posix/PosixLockProbe.cpp, win32/Win32LockProbe.cpp).
#include "env/LockProbe.h"

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
