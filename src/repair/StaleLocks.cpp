// Stale lock files cleared before the engine connects.
#include "repair/StaleLocks.h"

#include "env/FileSystem.h"
#include "env/HeldTableFiles.h"
#include "installation/EngineLockFiles.h"

namespace remdo::repair {

TLockCheck ClearStaleLocks(const std::string& dataFolder) {
  TLockCheck check;
  if (dataFolder.empty()) return check;
  const auto locks = installation::FindLockFiles(dataFolder);
  for (const installation::TLockFile& lock : locks) {
    if (lock.probe.state == env::TLockState::kLive) {
      check.heldLock = lock.path;
      return check;
    }
  }
  // A table another program has open (where the platform can tell) holds
  // the folder as a live lock file does.
  if (const auto tables = env::FindHeldTableFiles(dataFolder); !tables.empty()) {
    check.heldLock = tables.front().path;
    return check;
  }
  for (const installation::TLockFile& lock : locks) {
    if (lock.probe.state != env::TLockState::kStale) {
      check.lines.push_back("    Lock file " + lock.path + " kept: " + env::LockStateText(lock.probe));
      continue;
    }
    const env::TIoResult removed = env::DefaultFileSystem().Remove(lock.path);
    check.lines.push_back(removed ? "    Deleted the stale lock file " + lock.path
                                  : "    Could not delete the stale lock file " + lock.path + ": " + removed.reason);
  }
  return check;
}

}  // namespace remdo::repair
