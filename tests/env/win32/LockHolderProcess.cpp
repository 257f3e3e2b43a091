// TLockHolder on Windows: the LockHolder.exe helper holds the file open
// without sharing and makes a ready file once it does.
#include <gtest/gtest.h>
#include <windows.h>


#include "support/LockHolder.h"

namespace remdo::test {

#ifndef REMDO_LOCK_HOLDER
#define REMDO_LOCK_HOLDER ""
#endif

TLockHolder::TLockHolder(const std::string& hostPath, THold hold, bool onlyTry) {
  if (hold != THold::kOpen) {
    ADD_FAILURE() << "Windows holds a file by opening it without sharing";
    return;
  }
  const std::string ready = hostPath + ".ready";
  std::string command = "\"" + std::string(REMDO_LOCK_HOLDER) + "\" \"" + hostPath + "\" \"" + ready + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start " << command << ": " << ::GetLastError();
    return;
  }
  ::CloseHandle(info.hThread);
  process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
  // The helper makes the ready file once it holds the file, and ends at
  // once when it cannot open it.
  for (int i = 0; i < 200 && !holding_; ++i) {
    holding_ = ::GetFileAttributesA(ready.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!holding_ && ::WaitForSingleObject(info.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  ::DeleteFileA(ready.c_str());
  EXPECT_TRUE(holding_ || onlyTry) << "the helper did not get hold of " << hostPath;
}

TLockHolder::~TLockHolder() {
  if (process_ == 0) return;
  const HANDLE process = reinterpret_cast<HANDLE>(process_);
  ::TerminateProcess(process, 0);
  ::WaitForSingleObject(process, 10000);
  ::CloseHandle(process);
}

}  // namespace remdo::test
