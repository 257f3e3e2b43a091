// TLockHolder on Linux: a forked child holds the file open, or with an
// fcntl record lock, and says so through a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/LockHolder.h"

namespace remdo::test {

TLockHolder::TLockHolder(const std::string& hostPath, THold hold, bool onlyTry) {
  int ready[2];
  if (::pipe(ready) != 0) {
    ADD_FAILURE() << "pipe";
    return;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(hostPath.c_str(), O_CREAT | O_RDWR, 0600);
    bool held = fd >= 0;
    if (held && hold == THold::kRecordLock) {
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      held = ::fcntl(fd, F_SETLK, &lock) == 0;
    }
    (void)!::write(ready[1], held ? "y" : "n", 1);
    for (;;) ::pause();
  }
  char answer = 'n';
  if (child > 0) (void)!::read(ready[0], &answer, 1);
  ::close(ready[0]);
  ::close(ready[1]);
  process_ = child;
  holding_ = answer == 'y';
  EXPECT_TRUE(holding_ || onlyTry) << "the child did not get hold of " << hostPath;
}

TLockHolder::~TLockHolder() {
  if (process_ <= 0) return;
  ::kill(static_cast<pid_t>(process_), SIGKILL);
  ::waitpid(static_cast<pid_t>(process_), nullptr, 0);
}

}  // namespace remdo::test
