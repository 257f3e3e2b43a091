// The Paradox driver's shared folder ("NET DIR"): which folder, and its
// record in the installed engine's configuration.
#include <cstdio>
#include <memory>
#include <optional>

#include "env/Dialogs.h"
#include "env/EngineLibrary.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Registry.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/EngineChecks.h"
#include "installation/EngineVersion.h"

namespace remdo::installation {

namespace {

constexpr std::string_view kParadoxInit = "\\DRIVERS\\PARADOX\\INIT";
constexpr std::string_view kNetDirNode = "NET DIR";
constexpr std::string_view kResetMarker = "resetbde.ini";
// The registry's copy of the Paradox driver's settings.
constexpr std::string_view kParadoxInitKey = "SOFTWARE\\Borland\\Database Engine\\Settings\\DRIVERS\\PARADOX\\INIT";

std::optional<std::string>& ChosenNetDir() {
  static std::optional<std::string> folder;
  return folder;
}

std::string ChooseNetDir() {
  auto& fs = env::DefaultFileSystem();
  // A Common AppData folder that is not known counts as missing, never as
  // the current folder.
  const std::string common = env::GetCommonAppDataFolder();
  const std::string shared = common + "FENRO";
  if (!common.empty() && fs.FolderExists(common) && !fs.FolderExists(shared)) (void)fs.MakeFolder(shared);
  if (!common.empty() && fs.FolderExists(shared)) return env::IncludeTrailingSeparator(shared);
  if (!fs.FolderExists("C:\\FENRO")) (void)fs.MakeFolder("C:\\FENRO");
  return fs.FolderExists("C:\\BDE") ? std::string("C:\\FENRO\\") : env::GetTempFolder();
}

// Writes folder into every "NET DIR" record of the open list.
void RewriteNetDirRecords(env::TEngineLibrary& library, const std::string& folder) {
  if (library.SetToBegin() != 0) {
    env::ShowErrorBox("Could not set BDE records.");
    return;
  }
  bool found = false;
  env::TConfigRecord record;
  while (library.NextRecord(record) == 0) {
    if (env::UpperCase(record.NodeName()) != kNetDirNode) continue;
    found = true;
    (void)record.SetValue(folder);  // its length was checked before
    // The reset marker goes only with a record really written: a failed
    // write keeps it, so that the next installation run tries again.
    if (library.ModifyRecord(record) != 0) {
      env::ShowErrorBox("Could not write NET DIR record.");
      continue;
    }
    const std::string marker = env::GetProgramFolder() + std::string(kResetMarker);
    if (env::DefaultFileSystem().FileExists(marker)) (void)env::DefaultFileSystem().Remove(marker);
  }
  if (!found) env::ShowErrorBox("Could not find NET DIR record");
}

// The value of the first "NET DIR" record of the open list, or nothing.
std::optional<std::string> NetDirRecord(env::TEngineLibrary& library) {
  if (library.SetToBegin() != 0) return std::nullopt;
  env::TConfigRecord record;
  while (library.NextRecord(record) == 0) {
    if (env::UpperCase(record.NodeName()) == kNetDirNode) return record.Value();
  }
  return std::nullopt;
}

std::optional<std::string> NetDirThroughEngine() {
  const env::TEngineLibraryLoader load = env::DefaultEngineLibraryLoader();
  const std::string libraryPath = load ? FindEngineLibrary() : std::string();
  const std::unique_ptr<env::TEngineLibrary> library = libraryPath.empty() ? nullptr : load(libraryPath);
  if (!library || library->Init() != 0) return std::nullopt;
  std::optional<std::string> value;
  if (library->OpenConfigList(kParadoxInit, env::TConfigAccess::kRead) == 0) value = NetDirRecord(*library);
  library->Exit();
  return value;
}

}  // namespace

TConfiguredNetDir ReadParadoxNetDir() {
  using TSource = TConfiguredNetDir::TSource;
  try {
    if (const auto folder = NetDirThroughEngine(); folder && !env::Trim(*folder).empty()) {
      return {TSource::kEngine, env::IncludeTrailingSeparator(env::Trim(*folder))};
    }
    const auto copy =
        env::DefaultRegistry().ReadString(env::TRegistryRoot::kLocalMachine, kParadoxInitKey, kNetDirNode);
    if (copy && !env::Trim(*copy).empty()) return {TSource::kRegistry, env::IncludeTrailingSeparator(env::Trim(*copy))};
  } catch (...) {
    // A library or registry that fails in an unforeseen way leaves the
    // setting unknown; the caller says so.
  }
  return {};
}

std::string EngineNetDir() {
  auto& folder = ChosenNetDir();
  if (!folder) folder = ChooseNetDir();
  return *folder;
}

void ForgetEngineNetDir() { ChosenNetDir().reset(); }

void SetParadoxNetDir(std::string_view folder) {
  const env::TEngineLibraryLoader load = env::DefaultEngineLibraryLoader();
  if (!load) {
    std::fputs("remdo: the engine's shared folder (NET DIR) is set by the Windows program; left as it is.\n", stderr);
    return;
  }
  if (folder.size() < 3 || folder[1] != ':') {
    env::ShowErrorBox("Program directory not listed.");
    return;
  }
  const std::string_view trimmed = env::Trim(folder);
  if (trimmed.empty() || !env::DefaultFileSystem().FolderExists(trimmed)) return;
  const std::string netDir = env::IncludeTrailingSeparator(trimmed);
  // The record holds 127 characters; a longer folder would be cut short
  // into another folder's name.
  if (netDir.size() > env::TConfigRecord::kMaxValueLength) {
    env::ShowErrorBox("Program directory not listed.");
    return;
  }
  const std::string libraryPath = FindEngineLibrary();
  const std::unique_ptr<env::TEngineLibrary> library = libraryPath.empty() ? nullptr : load(libraryPath);
  if (!library || library->Init() != 0) {
    env::ShowErrorBox("Could not initialize BDE on first try.");
    return;
  }
  if (library->OpenConfigList(kParadoxInit, env::TConfigAccess::kWrite) == 0) RewriteNetDirRecords(*library, netDir);
  library->Exit();
}

}  // namespace remdo::installation
