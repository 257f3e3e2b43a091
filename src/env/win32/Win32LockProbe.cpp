// Whether another process holds a lock file, on Windows: an open without
// sharing fails with a sharing violation while any process, on this
// computer or another one using the same network folder, has the file
// open, and with a lock violation while a byte range of it is locked. A
// table file is probed the same way.
#include "env/HeldTableFiles.h"
#include "env/LockProbe.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

TLockProbe ProbeLockFile(std::string_view path) {
  const win32::TScopedHandle file(::CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsValid()) return {TLockState::kStale, {}};
  const DWORD error = ::GetLastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return {TLockState::kLive, {}};
  return {TLockState::kUnknown, win32::ErrorText(error)};
}

bool ProbeSeesTableHolders() { return true; }

}  // namespace remdo::env
