// The registry part of the platform interface: string and number values
// under the machine's and the user's keys. The engine's settings, the
// Program Files folder, the shell folders and the Windows product name are
// read here.
//
// Every registry object shows the view that 32-bit programs see (the
// catalogue application and the database engine are 32-bit): on 64-bit
// Windows, keys under HKEY_LOCAL_MACHINE\Software are taken from
// Software\Wow6432Node when that twin exists. Key and value names compare
// without regard to case. Texts are Windows-1252.
#ifndef REMDO_ENV_REGISTRY_H_
#define REMDO_ENV_REGISTRY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::env {

enum class TRegistryRoot { kLocalMachine, kCurrentUser };

class TRegistry {
 public:
  virtual ~TRegistry() = default;

  // True when the key can be opened for reading.
  virtual bool KeyExists(TRegistryRoot root, std::string_view key) = 0;
  // A string value (plain or expandable; expandable ones come unexpanded).
  // Nothing when the key cannot be opened, the value is missing or it is
  // not a string.
  virtual std::optional<std::string> ReadString(TRegistryRoot root, std::string_view key, std::string_view name) = 0;
  // A 32-bit number value; nothing when missing or of another type.
  virtual std::optional<std::uint32_t> ReadNumber(TRegistryRoot root, std::string_view key, std::string_view name) = 0;
  // Writes a string value into an existing key; a missing key is a failure
  // (the key is never created here).
  virtual TIoResult WriteString(TRegistryRoot root, std::string_view key, std::string_view name,
                                std::string_view value) = 0;
  // Writes several string values into one existing key, in order; the first
  // failure ends the writes. A backend that keeps the registry in a file
  // replaces the file once, so that either every value is written or none.
  virtual TIoResult WriteStrings(TRegistryRoot root, std::string_view key,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values) {
      if (TIoResult written = WriteString(root, key, name, value); !written) return written;
    }
    return TIoResult::Success();
  }
  // Creates a key and its missing parents; an existing key is fine.
  virtual TIoResult CreateKey(TRegistryRoot root, std::string_view key) = 0;
  // Removes one value; a missing value is a failure.
  virtual TIoResult DeleteValue(TRegistryRoot root, std::string_view key, std::string_view name) = 0;
};

// The registry of this platform: the Windows registry, or on Linux the
// in-memory store that a registry file or a Wine prefix fills (env/Host.h).
TRegistry& RealRegistry();

// The registry the program uses: the real one unless a test installed
// another. Installing nullptr restores the real one.
TRegistry& DefaultRegistry();
void InstallRegistry(TRegistry* registry);

}  // namespace remdo::env

#endif  // REMDO_ENV_REGISTRY_H_
