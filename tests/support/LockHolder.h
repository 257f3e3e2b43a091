// Another process that holds a file, as a live database engine holds its
// lock files: on Linux a child process with the file open, or one with an
// fcntl record lock on it; on Windows a helper program with the file open
// without sharing. The process ends with the object.
#ifndef REMDO_TESTS_SUPPORT_LOCKHOLDER_H_
#define REMDO_TESTS_SUPPORT_LOCKHOLDER_H_

#include <cstdint>
#include <string>

namespace remdo::test {

enum class THold {
  kOpen,        // open (Windows: without sharing)
  kRecordLock,  // an fcntl write lock over the whole file (Linux only)
};

class TLockHolder {
 public:
  // hostPath: the file as the system names it (created when missing). Fails
  // the test when the holder cannot be started or, unless only tried, does
  // not get hold of it (a file this program holds refuses it on Windows).
  TLockHolder(const std::string& hostPath, THold hold, bool onlyTry = false);
  ~TLockHolder();
  TLockHolder(const TLockHolder&) = delete;
  TLockHolder& operator=(const TLockHolder&) = delete;

  bool Holding() const { return holding_; }

 private:
  std::intptr_t process_ = 0;
  bool holding_ = false;
};

}  // namespace remdo::test

#endif  // REMDO_TESTS_SUPPORT_LOCKHOLDER_H_
