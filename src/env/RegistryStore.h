// A registry held in memory: the registry of the Linux program, and the fake
// registry of tests. It reads Wine's registry files (system.reg, user.reg)
// and regedit exports (REGEDIT4, and version 5 in UTF-16).
//
// Like the Windows registry seen by a 32-bit program, a key under
// HKEY_LOCAL_MACHINE\Software is taken from Software\Wow6432Node when that
// twin exists. A key exists when it was created or holds a key below it.
#ifndef REMDO_ENV_REGISTRYSTORE_H_
#define REMDO_ENV_REGISTRYSTORE_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "env/Registry.h"

namespace remdo::env {

enum class TRegistryValueKind { kString, kExpandString, kNumber, kOther };

struct TRegistryValue {
  std::string name;  // as written
  TRegistryValueKind kind = TRegistryValueKind::kString;
  std::string text;  // strings, Windows-1252
  std::uint32_t number = 0;
};

// What a load brought in; lines that could not be read are skipped and
// counted.
struct TRegistryLoadResult {
  int keys = 0;
  int values = 0;
  int skippedLines = 0;
};

class TRegistryStore final : public TRegistry {
 public:
  bool KeyExists(TRegistryRoot root, std::string_view key) override;
  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view key, std::string_view name) override;
  std::optional<std::uint32_t> ReadNumber(TRegistryRoot root, std::string_view key, std::string_view name) override;
  TIoResult WriteString(TRegistryRoot root, std::string_view key, std::string_view name,
                        std::string_view value) override;
  TIoResult CreateKey(TRegistryRoot root, std::string_view key) override;
  TIoResult DeleteValue(TRegistryRoot root, std::string_view key, std::string_view name) override;

  // The key that a 32-bit program sees for key: its Wow6432Node twin when
  // that exists, else key itself.
  std::string ViewedKey(TRegistryRoot root, std::string_view key) const;
  // The value exactly under key, without the 32-bit view.
  std::optional<TRegistryValue> ReadNative(TRegistryRoot root, std::string_view key, std::string_view name) const;

  // Set values, creating the key.
  void SetString(TRegistryRoot root, std::string_view key, std::string_view name, std::string_view value);
  void SetNumber(TRegistryRoot root, std::string_view key, std::string_view name, std::uint32_t value);
  void Clear();

  // Merges a registry file's text. A Wine file names its root in its
  // header; a regedit file names it in each key. Throws EReadError when the
  // text is neither.
  TRegistryLoadResult LoadText(std::string_view text);
  // Reads the file through fileSystem and merges it. Throws EFOpenError or
  // EReadError naming the file.
  TRegistryLoadResult LoadFile(TFileSystem& fileSystem, std::string_view path);

 private:
  struct TKey {
    std::map<std::string, TRegistryValue> values;  // by upper-cased name
  };
  using TKeyMap = std::map<std::string, TKey>;  // by root prefix + upper-cased path

  static std::string FullName(TRegistryRoot root, std::string_view key);
  const TKey* FindKey(TRegistryRoot root, std::string_view key) const;
  TKey* FindKey(TRegistryRoot root, std::string_view key);
  bool HasKeyNative(TRegistryRoot root, std::string_view key) const;
  TKey& MakeKey(TRegistryRoot root, std::string_view key);
  void Put(TRegistryRoot root, std::string_view key, TRegistryValue value);
  void RemoveKeyTree(TRegistryRoot root, std::string_view key);
  void AddWow64ProgramFolders();

  TKeyMap keys_;
};

}  // namespace remdo::env

#endif  // REMDO_ENV_REGISTRYSTORE_H_
