// System facts from Windows: the shell's folders, the true version numbers
// (RtlGetVersion, which no compatibility shim bends), the product name from
// the registry's native view, memory, free space and the program's path.
// clang-format off
#include <windows.h>
#include <shlobj.h>  // needs windows.h first
// clang-format on

#include <algorithm>
#include <vector>

#include "env/Path.h"
#include "env/SystemFacts.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

namespace {

using win32::Narrow;
using win32::Wide;

std::string ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return IncludeTrailingSeparator(Narrow(buffer));
}

// Asks fill(buffer, size) for a text, growing the buffer until it fits.
template <typename Fill>
std::string GrowingText(Fill fill) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, length + 1));
  }
  return {};
}

class TWin32SystemFacts final : public TSystemFacts {
 public:
  std::string SpecialFolder(TSpecialFolder folder) override {
    switch (folder) {
      case TSpecialFolder::kWindows:
        return IncludeTrailingSeparator(GrowingText([](wchar_t* b, DWORD n) { return ::GetWindowsDirectoryW(b, n); }));
      case TSpecialFolder::kTemp:
        return IncludeTrailingSeparator(GrowingText([](wchar_t* b, DWORD n) { return ::GetTempPathW(n, b); }));
      case TSpecialFolder::kProgramFiles: {
        // The folder 32-bit programs are installed in; 32-bit Windows
        // knows no "x86" folder.
        const std::string x86 = ShellFolder(CSIDL_PROGRAM_FILESX86);
        return x86.empty() ? ShellFolder(CSIDL_PROGRAM_FILES) : x86;
      }
      case TSpecialFolder::kPersonal:
        return ShellFolder(CSIDL_PERSONAL);
      case TSpecialFolder::kDesktop:
        return ShellFolder(CSIDL_DESKTOPDIRECTORY);
      case TSpecialFolder::kAppData:
        return ShellFolder(CSIDL_APPDATA);
      case TSpecialFolder::kLocalAppData:
        return ShellFolder(CSIDL_LOCAL_APPDATA);
      case TSpecialFolder::kCommonDocuments:
        return ShellFolder(CSIDL_COMMON_DOCUMENTS);
      case TSpecialFolder::kCommonAppData:
        return ShellFolder(CSIDL_COMMON_APPDATA);
    }
    return {};
  }

  TWindowsVersion WindowsVersion() override {
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const FARPROC proc = ntdll != nullptr ? ::GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    const auto rtlGetVersion = reinterpret_cast<TRtlGetVersion>(reinterpret_cast<void*>(proc));
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return {};
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  }

  std::string OsProductName() override {
    win32::TRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Receive()) != ERROR_SUCCESS) {
      return {};
    }
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result =
        ::RegQueryValueExW(key.Get(), L"ProductName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (result != ERROR_SUCCESS || type != REG_SZ) return {};
    return Narrow(buffer);
  }

  std::optional<std::uint64_t> PhysicalMemoryBytes() override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return std::nullopt;
    return status.ullTotalPhys;
  }

  std::optional<std::uint64_t> FreeDiskBytes(std::string_view path) override {
    // An empty floppy or card drive must answer "unknown", not open the
    // system's "insert a disk" box.
    DWORD oldMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode);
    ULARGE_INTEGER available{}, total{}, free{};
    const BOOL ok = ::GetDiskFreeSpaceExW(Wide(path).c_str(), &available, &total, &free);
    ::SetThreadErrorMode(oldMode, nullptr);
    if (!ok) return std::nullopt;
    return available.QuadPart;
  }

  std::string ProgramPath() override {
    return GrowingText([](wchar_t* b, DWORD n) {
      const DWORD length = ::GetModuleFileNameW(nullptr, b, n);
      return length >= n ? n : length;  // a cut name reports the full buffer
    });
  }
};

}  // namespace

TSystemFacts& RealSystemFacts() {
  static TWin32SystemFacts facts;
  return facts;
}

}  // namespace remdo::env
