// Stale lock files cleared before the engine connects.
#include "repair/StaleLocks.h"

#include "env/FileSystem.h"
#include "env/HeldTableFiles.h"
#include "env/Path.h"
#include "env/Text.h"
#include "installation/EngineLockFiles.h"
#include "paradox/family/TableFiles.h"

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
  // The files the catalogue's engine opens for a table: data, primary and
  // secondary index, memo file.
  const auto isTableFile = [](std::string_view name) {
    std::string_view extension = env::ExtensionPart(name);
    if (!extension.empty()) extension.remove_prefix(1);
    return env::SameText(extension, "DB") || env::SameText(extension, "PX") || env::SameText(extension, "MB") ||
           paradox::IsSecondaryIndexExtension(extension);
  };
  if (const auto tables = env::FindHeldTableFiles(dataFolder, isTableFile); !tables.empty()) {
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
