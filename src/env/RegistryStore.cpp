// The in-memory registry: keys in a sorted map under a root prefix and their
// upper-cased path, so that a key's existence through its subkeys is one
// ordered look-up. Values are kept by upper-cased name.
#include "env/RegistryStore.h"

#include <cerrno>
#include <iterator>

#include "env/Text.h"

namespace remdo::env {

namespace {

constexpr std::string_view kSoftware = "SOFTWARE\\";
constexpr std::string_view kWow64Node = "WOW6432NODE";

std::string CleanKey(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return std::string(key);
}

TIoResult Missing(std::string_view what) { return TIoResult::Failure(ENOENT, std::string(what) + " not found"); }

}  // namespace

std::string TRegistryStore::FullName(TRegistryRoot root, std::string_view key) {
  return (root == TRegistryRoot::kLocalMachine ? "M\\" : "U\\") + UpperCase(CleanKey(key));
}

bool TRegistryStore::HasKeyNative(TRegistryRoot root, std::string_view key) const {
  const std::string full = FullName(root, key);
  const auto it = keys_.lower_bound(full);
  if (it == keys_.end()) return false;
  if (it->first == full) return true;
  return it->first.size() > full.size() && it->first.compare(0, full.size(), full) == 0 &&
         it->first[full.size()] == '\\';
}

// The 32-bit view: HKLM\Software\X is read from Software\Wow6432Node\X when
// that key exists.
std::string TRegistryStore::ViewedKey(TRegistryRoot root, std::string_view key) const {
  const std::string clean = CleanKey(key);
  const std::string upper = UpperCase(clean);
  if (root != TRegistryRoot::kLocalMachine || upper.compare(0, kSoftware.size(), kSoftware) != 0) return clean;
  const std::string rest = clean.substr(kSoftware.size());
  if (UpperCase(rest).compare(0, kWow64Node.size(), kWow64Node) == 0) return clean;
  std::string twin = clean.substr(0, kSoftware.size()) + "Wow6432Node\\" + rest;
  return HasKeyNative(root, twin) ? twin : clean;
}

const TRegistryStore::TKey* TRegistryStore::FindKey(TRegistryRoot root, std::string_view key) const {
  const auto it = keys_.find(FullName(root, key));
  return it == keys_.end() ? nullptr : &it->second;
}

TRegistryStore::TKey* TRegistryStore::FindKey(TRegistryRoot root, std::string_view key) {
  const auto it = keys_.find(FullName(root, key));
  return it == keys_.end() ? nullptr : &it->second;
}

TRegistryStore::TKey& TRegistryStore::MakeKey(TRegistryRoot root, std::string_view key) {
  return keys_[FullName(root, key)];
}

void TRegistryStore::Put(TRegistryRoot root, std::string_view key, TRegistryValue value) {
  std::string upper = UpperCase(value.name);
  MakeKey(root, key).values[std::move(upper)] = std::move(value);
}

bool TRegistryStore::KeyExists(TRegistryRoot root, std::string_view key) {
  return HasKeyNative(root, ViewedKey(root, key));
}

std::optional<TRegistryValue> TRegistryStore::ReadNative(TRegistryRoot root, std::string_view key,
                                                         std::string_view name) const {
  const TKey* found = FindKey(root, key);
  if (found == nullptr) return std::nullopt;
  const auto it = found->values.find(UpperCase(name));
  if (it == found->values.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> TRegistryStore::ReadString(TRegistryRoot root, std::string_view key, std::string_view name) {
  const auto value = ReadNative(root, ViewedKey(root, key), name);
  if (!value || (value->kind != TRegistryValueKind::kString && value->kind != TRegistryValueKind::kExpandString)) {
    return std::nullopt;
  }
  return value->text;
}

std::optional<std::uint32_t> TRegistryStore::ReadNumber(TRegistryRoot root, std::string_view key,
                                                        std::string_view name) {
  const auto value = ReadNative(root, ViewedKey(root, key), name);
  if (!value || value->kind != TRegistryValueKind::kNumber) return std::nullopt;
  return value->number;
}

TIoResult TRegistryStore::WriteString(TRegistryRoot root, std::string_view key, std::string_view name,
                                      std::string_view value) {
  const std::string viewed = ViewedKey(root, key);
  if (!HasKeyNative(root, viewed)) return Missing("registry key \"" + std::string(key) + "\"");
  Put(root, viewed, TRegistryValue{std::string(name), TRegistryValueKind::kString, std::string(value), 0});
  return TIoResult::Success();
}

TIoResult TRegistryStore::CreateKey(TRegistryRoot root, std::string_view key) {
  if (CleanKey(key).empty()) return TIoResult::Failure(EINVAL, "empty registry key");
  MakeKey(root, ViewedKey(root, key));
  return TIoResult::Success();
}

TIoResult TRegistryStore::DeleteValue(TRegistryRoot root, std::string_view key, std::string_view name) {
  TKey* found = FindKey(root, ViewedKey(root, key));
  if (found == nullptr || found->values.erase(UpperCase(name)) == 0) {
    return Missing("registry value \"" + std::string(name) + "\"");
  }
  return TIoResult::Success();
}

void TRegistryStore::SetString(TRegistryRoot root, std::string_view key, std::string_view name,
                               std::string_view value) {
  Put(root, key, TRegistryValue{std::string(name), TRegistryValueKind::kString, std::string(value), 0});
}

void TRegistryStore::SetNumber(TRegistryRoot root, std::string_view key, std::string_view name, std::uint32_t value) {
  Put(root, key, TRegistryValue{std::string(name), TRegistryValueKind::kNumber, {}, value});
}

void TRegistryStore::RemoveKeyTree(TRegistryRoot root, std::string_view key) {
  const std::string full = FullName(root, key);
  auto it = keys_.lower_bound(full);
  while (it != keys_.end() && it->first.compare(0, full.size(), full) == 0) {
    const bool inside = it->first.size() == full.size() || it->first[full.size()] == '\\';
    it = inside ? keys_.erase(it) : std::next(it);
  }
}

void TRegistryStore::Clear() { keys_.clear(); }

// A 64-bit Windows shows 32-bit programs the "(x86)" folders under the plain
// names of their own view; Wine's registry files keep only the 64-bit key,
// so the 32-bit view gets those values here.
void TRegistryStore::AddWow64ProgramFolders() {
  constexpr std::string_view kNative = "Software\\Microsoft\\Windows\\CurrentVersion";
  constexpr std::string_view kTwin = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion";
  if (!HasKeyNative(TRegistryRoot::kLocalMachine, kTwin)) return;
  for (const std::string_view name : {"ProgramFilesDir", "CommonFilesDir"}) {
    if (ReadNative(TRegistryRoot::kLocalMachine, kTwin, name)) continue;
    const auto x86 = ReadNative(TRegistryRoot::kLocalMachine, kNative, std::string(name) + " (x86)");
    if (x86) Put(TRegistryRoot::kLocalMachine, kTwin, TRegistryValue{std::string(name), x86->kind, x86->text, 0});
  }
}

}  // namespace remdo::env
