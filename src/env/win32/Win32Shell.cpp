// The Windows shell: SHFileOperation for the multi-file copy (with its
// progress display, every question answered Yes) and for the recycle bin,
// ShellExecute for the "open" verb, FindWindow for another program's window.
// clang-format off
#include <windows.h>
#include <shellapi.h>  // needs windows.h first
// clang-format on

#include "env/Path.h"
#include "env/Shell.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

namespace {

using win32::Wide;

bool HasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

bool MatchesAnything(const std::wstring& pattern) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  ::FindClose(find);
  return true;
}

// The shell wants full paths, each ended by a NUL, the list by one more.
std::wstring FullPath(std::string_view path) {
  const std::wstring wide = Wide(path);
  const DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return wide;
  full.resize(written);
  return full;
}

class TWin32Shell final : public TShell {
 public:
  bool CopyFiles(const std::vector<std::string>& sources, std::string_view target) override {
    // A pattern without a match has nothing to copy; the shell would call
    // it an error.
    std::wstring from;
    for (const std::string& source : sources) {
      const std::wstring full = FullPath(source);
      if (HasWildcard(NamePart(source)) && !MatchesAnything(full)) continue;
      from += full;
      from.push_back(L'\0');
    }
    if (from.empty()) return true;
    from.push_back(L'\0');
    std::wstring to = FullPath(target);
    to.push_back(L'\0');
    to.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = reinterpret_cast<HWND>(owner_);
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
    return ::SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
  }

  bool DeleteToRecycleBin(std::string_view path) override {
    std::wstring from = FullPath(path);
    if (::GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = reinterpret_cast<HWND>(owner_);
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return ::SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
  }

  bool Open(std::string_view target, std::string_view parameters) override {
    const std::wstring file = Wide(target);
    const std::wstring arguments = Wide(parameters);
    const HINSTANCE result = ::ShellExecuteW(reinterpret_cast<HWND>(owner_), L"open", file.c_str(),
                                             arguments.empty() ? nullptr : arguments.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }

  std::optional<TTopWindow> FindTopLevelWindow(std::string_view className, std::string_view title,
                                               std::string_view) override {
    const HWND window = ::FindWindowW(Wide(className).c_str(), Wide(title).c_str());
    if (window == nullptr) return std::nullopt;
    return TTopWindow{reinterpret_cast<std::uintptr_t>(window)};
  }

  bool BringToForeground(const TTopWindow& window) override {
    const HWND handle = reinterpret_cast<HWND>(window.handle);
    if (::IsIconic(handle)) ::ShowWindow(handle, SW_RESTORE);
    return ::SetForegroundWindow(handle) != 0;
  }

  void SetOwnerWindow(std::uintptr_t window) override { owner_ = window; }

 private:
  std::uintptr_t owner_ = 0;
};

}  // namespace

TShell& RealShell() {
  static TWin32Shell shell;
  return shell;
}

}  // namespace remdo::env
