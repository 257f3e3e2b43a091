// The Windows registry through the W functions, always in the 32-bit view
// (KEY_WOW64_32KEY): the catalogue application and the database engine are
// 32-bit programs, so on 64-bit Windows their keys live under Wow6432Node,
// and the Program Files folder they see is the "(x86)" one.
#include <windows.h>

#include <cstring>
#include <vector>

#include "env/Registry.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

namespace {

using win32::ErrorText;
using win32::TRegKey;
using win32::Wide;

HKEY RootKey(TRegistryRoot root) {
  return root == TRegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

LONG OpenKey(TRegistryRoot root, std::string_view key, REGSAM access, TRegKey& out) {
  return ::RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, access | KEY_WOW64_32KEY, out.Receive());
}

TIoResult Failure(LONG code) {
  return TIoResult::Failure(static_cast<std::uint32_t>(code), ErrorText(static_cast<DWORD>(code)));
}

// The raw data of a value and its type; false when it cannot be read.
bool QueryValue(TRegistryRoot root, std::string_view key, std::string_view name, DWORD& type, std::vector<BYTE>& data) {
  TRegKey opened;
  if (OpenKey(root, key, KEY_QUERY_VALUE, opened) != ERROR_SUCCESS) return false;
  const std::wstring wideName = Wide(name);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    if (::RegQueryValueExW(opened.Get(), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return false;
    data.assign(size + sizeof(wchar_t), 0);
    const LONG result = ::RegQueryValueExW(opened.Get(), wideName.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) continue;  // the value grew between the two calls
    if (result != ERROR_SUCCESS) return false;
    data.resize(size);
    return true;
  }
  return false;
}

class TWin32Registry final : public TRegistry {
 public:
  bool KeyExists(TRegistryRoot root, std::string_view key) override {
    TRegKey opened;
    return OpenKey(root, key, KEY_READ, opened) == ERROR_SUCCESS;
  }

  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view key, std::string_view name) override {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QueryValue(root, key, name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    // The stored string need not end with a NUL; it ends at the first one.
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    const std::size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return win32::Narrow(text);
  }

  std::optional<std::uint32_t> ReadNumber(TRegistryRoot root, std::string_view key, std::string_view name) override {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QueryValue(root, key, name, type, data) || type != REG_DWORD || data.size() != 4) return std::nullopt;
    return static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                      static_cast<std::uint32_t>(data[3]) << 24);
  }

  TIoResult WriteString(TRegistryRoot root, std::string_view key, std::string_view name,
                        std::string_view value) override {
    TRegKey opened;
    if (const LONG result = OpenKey(root, key, KEY_SET_VALUE, opened); result != ERROR_SUCCESS) return Failure(result);
    const std::wstring text = Wide(value);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    const LONG result = ::RegSetValueExW(opened.Get(), Wide(name).c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    return result == ERROR_SUCCESS ? TIoResult::Success() : Failure(result);
  }

  TIoResult CreateKey(TRegistryRoot root, std::string_view key) override {
    TRegKey created;
    const LONG result = ::RegCreateKeyExW(RootKey(root), Wide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_READ | KEY_WRITE | KEY_WOW64_32KEY, nullptr, created.Receive(), nullptr);
    return result == ERROR_SUCCESS ? TIoResult::Success() : Failure(result);
  }

  TIoResult DeleteValue(TRegistryRoot root, std::string_view key, std::string_view name) override {
    TRegKey opened;
    if (const LONG result = OpenKey(root, key, KEY_SET_VALUE, opened); result != ERROR_SUCCESS) return Failure(result);
    const LONG result = ::RegDeleteValueW(opened.Get(), Wide(name).c_str());
    return result == ERROR_SUCCESS ? TIoResult::Success() : Failure(result);
  }
};

}  // namespace

TRegistry& RealRegistry() {
  static TWin32Registry registry;
  return registry;
}

}  // namespace remdo::env
