// The installable holder; the holds themselves are the backend's
// (win32/Win32FileHolds.cpp, posix/PosixFileHolds.cpp).
#include "env/FileHolds.h"

namespace remdo::env {

namespace {

TFileHolder& InstalledHolder() {
  static TFileHolder holder;
  return holder;
}

// ERROR_SHARING_VIOLATION and ERROR_LOCK_VIOLATION.
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;

}  // namespace

bool IsHeldByAnother(const TIoResult& result) {
  return !result && (result.osCode == kSharingViolation || result.osCode == kLockViolation);
}

TIoResult HoldWithoutSharing(std::string_view path) {
  const TFileHolder& holder = InstalledHolder();
  return holder ? holder(path) : HoldFile(path);
}

void InstallFileHolder(TFileHolder holder) { InstalledHolder() = std::move(holder); }

}  // namespace remdo::env
