// Helpers of the Win32 backend: wide paths from Windows-1252 text, the
// OS's own error text, and owners of handles and registry keys. Private to
// env.
#ifndef REMDO_ENV_WIN32_WIN32UTIL_H_
#define REMDO_ENV_WIN32_WIN32UTIL_H_

#include <windows.h>

#include <string>
#include <string_view>

namespace remdo::env::win32 {

std::wstring Wide(std::string_view text);
std::string Narrow(std::wstring_view text);

// The system's message for an error number, in Windows-1252, without the
// trailing line end.
std::string ErrorText(DWORD error);

// Owns a file HANDLE; both INVALID_HANDLE_VALUE and null count as empty.
class TScopedHandle {
 public:
  explicit TScopedHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~TScopedHandle() { Reset(); }
  TScopedHandle(const TScopedHandle&) = delete;
  TScopedHandle& operator=(const TScopedHandle&) = delete;
  TScopedHandle(TScopedHandle&& other) noexcept : handle_(other.Release()) {}

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return h;
  }
  void Reset() {
    if (IsValid()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// Owns an open registry key.
class TRegKey {
 public:
  TRegKey() = default;
  ~TRegKey() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  HKEY Get() const { return key_; }
  // For the calls that open a key into an HKEY*.
  HKEY* Receive() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace remdo::env::win32

#endif  // REMDO_ENV_WIN32_WIN32UTIL_H_
