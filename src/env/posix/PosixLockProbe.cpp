// Whether another process holds a lock file, on Linux. Two ways to hold
// one: an fcntl record lock (Wine mirrors a Windows byte-range lock as
// such) and a plain open, which only /proc shows. A network file system
// hides holders on other computers, so no answer there is trusted.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "env/HeldTableFiles.h"
#include "env/LockProbe.h"
#include "env/posix/PosixFiles.h"
#include "env/posix/PosixHost.h"

namespace remdo::env {

namespace {

// statfs f_type of the network file systems (linux/magic.h).
constexpr unsigned long kNetworkFileSystems[] = {
    0x6969,      // NFS
    0x517B,      // SMB
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
};

bool OnNetworkFileSystem(const std::string& host) {
  struct statfs fs {};
  if (::statfs(host.c_str(), &fs) != 0) return false;
  for (const unsigned long type : kNetworkFileSystems) {
    if (static_cast<unsigned long>(fs.f_type) == type) return true;
  }
  return false;
}

// True when a record lock of another open file description covers any
// byte of the file. The OFD form sees locks of every process, Wine's
// included, without taking or dropping one of ours.
bool RecordLocked(const std::string& host) {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however far it grows
#ifdef F_OFD_GETLK
  const int asked = ::fcntl(fd, F_OFD_GETLK, &lock);
#else
  const int asked = ::fcntl(fd, F_GETLK, &lock);
#endif
  ::close(fd);
  return asked == 0 && lock.l_type != F_UNLCK;
}

// The id of another process that has the file open, or empty. Processes
// of other users whose descriptors cannot be read are not seen.
std::string OpenedBy(const struct stat& file) {
  const std::string root = posix::ProcessFolder();
  DIR* processes = ::opendir(root.c_str());
  if (processes == nullptr) return {};
  const std::string self = std::to_string(::getpid());
  std::string holder;
  while (holder.empty()) {
    const dirent* process = ::readdir(processes);
    if (process == nullptr) break;
    const std::string pid = process->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    const std::string fdFolder = root + "/" + pid + "/fd";
    DIR* descriptors = ::opendir(fdFolder.c_str());
    if (descriptors == nullptr) continue;
    while (const dirent* fd = ::readdir(descriptors)) {
      struct stat target {};
      if (fd->d_name[0] == '.' || ::stat((fdFolder + "/" + fd->d_name).c_str(), &target) != 0) continue;
      if (target.st_dev == file.st_dev && target.st_ino == file.st_ino) {
        holder = pid;
        break;
      }
    }
    ::closedir(descriptors);
  }
  ::closedir(processes);
  return holder;
}

}  // namespace

TLockProbe ProbeLockFile(std::string_view path) {
  const std::string host = posix::HostPath(path);
  struct stat file {};
  if (host.empty() || ::stat(host.c_str(), &file) != 0) {
    return {TLockState::kUnknown, host.empty() ? "no drive for it" : posix::ErrorText(errno)};
  }
  if (OnNetworkFileSystem(host)) {
    return {TLockState::kUnknown, "on a network file system, a program on another computer cannot be seen"};
  }
  if (RecordLocked(host)) return {TLockState::kLive, "a record lock"};
  if (const std::string pid = OpenedBy(file); !pid.empty()) return {TLockState::kLive, "process " + pid};
  return {TLockState::kStale, {}};
}

// A table file would cost a scan of every process each, and a holder on
// another computer stays unseen: the lock files alone are asked.
bool ProbeSeesTableHolders() { return false; }

}  // namespace remdo::env
