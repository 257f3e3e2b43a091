// Whether another program holds a file: the platform's answer for a lock
// file. A file that another process has open (or locked) belongs to a live
// program; one that no process holds was left by a program that ended
// without cleaning up.
#ifndef REMDO_ENV_LOCKPROBE_H_
#define REMDO_ENV_LOCKPROBE_H_

#include <functional>
#include <string>
#include <string_view>

namespace remdo::env {

enum class TLockState {
  kStale,    // no process holds the file
  kLive,     // another process has it open or locked
  kUnknown,  // cannot be told: a network file system, or the file cannot be asked
};

struct TLockProbe {
  TLockState state = TLockState::kUnknown;
  // Who holds it ("process 1234") or why it cannot be told; may be empty.
  std::string detail;
};

// A file found in a folder and what the probe says of it.
struct TProbedFile {
  std::string name;  // as found, without folder
  std::string path;
  TLockProbe probe;
};

// Asks the platform whether another process holds the file at path. Windows:
// an exclusive open that fails with a sharing violation (which also sees a
// holder on another computer of a network folder). Linux: an fcntl record
// lock on any part of the file, or another process with it open (/proc),
// which shows Wine's processes too; on NFS or SMB a holder on another
// computer cannot be seen, so the answer there is kUnknown. Never throws.
TLockProbe ProbeLockFile(std::string_view path);

// The probe the program uses: ProbeLockFile unless a test installed another
// (one that sees a redirected drive as the test's file system does). An
// empty function restores ProbeLockFile.
using TLockProber = std::function<TLockProbe(std::string_view path)>;
TLockProbe ProbeHolders(std::string_view path);
void InstallLockProber(TLockProber prober);

// "held by a live process (process 1234)", "stale: no program holds it", ...
std::string LockStateText(const TLockProbe& probe);

}  // namespace remdo::env

#endif  // REMDO_ENV_LOCKPROBE_H_
