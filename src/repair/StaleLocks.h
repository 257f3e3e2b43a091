// The engine's lock files in the data folder before the engine connects:
// one that a live process holds means another program's engine has the
// folder open; the others are stale and go.
#ifndef REMDO_REPAIR_STALELOCKS_H_
#define REMDO_REPAIR_STALELOCKS_H_

#include <string>
#include <vector>

namespace remdo::repair {

// A lock file that a live process holds keeps the run from touching the
// data folder.
struct TLockCheck {
  std::string heldLock;            // path of a lock file held by a live process; empty when none
  std::vector<std::string> lines;  // log lines (without "~") for the stale lock files handled
};

// Before the engine connects: looks at the engine's lock files in
// dataFolder (and, on Windows, at its table files: one that another
// program has open holds the folder as a live lock file does) and, when no
// live process holds any, deletes the stale ones
// on a local file system, one line each (a file on a network file system is
// never deleted: a holder on another computer cannot be seen). Never throws.
TLockCheck ClearStaleLocks(const std::string& dataFolder);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_STALELOCKS_H_
