// The root-cause findings of a data folder.
#include "repair/RootCauses.h"

#include <algorithm>
#include <optional>

#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/EngineChecks.h"
#include "installation/EngineLockFiles.h"
#include "installation/VirtualStore.h"
#include "paradox/family/Leftovers.h"
#include "repair/ScratchFiles.h"

namespace remdo::repair {

namespace {

constexpr std::string_view kNetFile = "PDOXUSRS.NET";
// A table's file: .db, .mb, .px or a secondary index file (.Xnn, .Ynn).
bool IsTableFile(std::string_view name) {
  const std::string extension = env::UpperCase(env::ExtensionPart(name));
  if (extension == ".DB" || extension == ".MB" || extension == ".PX") return true;
  return extension.size() == 4 && (extension[1] == 'X' || extension[1] == 'Y');
}

std::vector<env::TFindEntry> FindFiles(const std::string& pattern) {
  try {
    return env::DefaultFileSystem().Find(pattern, env::attr::kAnyFile);
  } catch (...) {
    return {};
  }
}

void ReportLockFiles(const std::string& dataFolder, std::vector<std::string>& lines) {
  const auto locks = installation::FindLockFiles(dataFolder);
  if (locks.empty()) lines.push_back("    No lock files (PDOXUSRS.LCK, PARADOX.LCK, table .LCK) in the data folder.");
  for (const installation::TLockFile& lock : locks) {
    lines.push_back("    Lock file " + lock.path + ": " + env::LockStateText(lock.probe));
  }
}

// The folders where the engine's network control file may lie: the
// configured "NET DIR", the data folder, and the shared folders that
// installations of the catalogue use for it.
std::vector<std::string> NetFileFolders(const std::string& dataFolder, const std::string& netDir) {
  std::vector<std::string> folders;
  const std::string common = env::GetCommonAppDataFolder();
  for (const std::string& folder : {netDir, dataFolder, common.empty() ? std::string() : common + "FENRO\\",
                                    std::string("C:\\FENRO\\"), env::GetTempFolder(), std::string("C:\\")}) {
    if (folder.empty()) continue;
    const bool seen = std::any_of(folders.begin(), folders.end(), [&](const std::string& known) {
      return env::SameText(env::IncludeTrailingSeparator(known), env::IncludeTrailingSeparator(folder));
    });
    if (!seen) folders.push_back(env::IncludeTrailingSeparator(folder));
  }
  return folders;
}

void ReportNetFiles(const std::string& dataFolder, std::vector<std::string>& lines) {
  using TSource = installation::TConfiguredNetDir::TSource;
  const installation::TConfiguredNetDir configured = installation::ReadParadoxNetDir();
  switch (configured.source) {
    case TSource::kEngine:
      lines.push_back("    NET DIR configured for the engine: " + configured.folder);
      break;
    case TSource::kRegistry:
      lines.push_back("    NET DIR configured for the engine: " + configured.folder +
                      " (the registry's copy; the engine's configuration could not be read)");
      break;
    case TSource::kNone:
      lines.push_back("    NET DIR: neither the engine's configuration nor its registry copy could be read.");
      break;
  }
  std::vector<std::string> found;
  for (const std::string& folder : NetFileFolders(dataFolder, configured.folder)) {
    const std::string path = folder + std::string(kNetFile);
    if (!env::DefaultFileSystem().FileExists(path)) continue;
    found.push_back(folder);
    lines.push_back("    " + path + ": " + env::LockStateText(env::ProbeHolders(path)));
  }
  if (found.empty()) lines.push_back("    No PDOXUSRS.NET in the NET DIR or the usual shared folders.");
  const bool elsewhere = !configured.folder.empty() && std::any_of(found.begin(), found.end(), [&](const auto& f) {
    return !env::SameText(f, configured.folder);
  });
  if (found.size() > 1 || elsewhere) {
    lines.push_back(
        "    Two different network control files (PDOXUSRS.NET) for one data folder: a classic cause of "
        "damaged tables. Programs that use different control files do not see each other's locks and "
        "overwrite each other's changes; every computer must use the same NET DIR.");
  }
}

void ReportVirtualStoreTwins(const std::string& dataFolder, std::vector<std::string>& lines) {
  const std::string twin = installation::GetVirtualStoreFolder();
  if (twin.empty() || env::SameText(twin, dataFolder)) return;
  auto& fileSystem = env::DefaultFileSystem();
  for (const env::TFindEntry& entry : FindFiles(dataFolder + "*.*")) {
    if (!IsTableFile(entry.name)) continue;
    const auto copies = FindFiles(twin + entry.name);
    if (copies.empty()) continue;
    const auto here = fileSystem.ModifiedTime(dataFolder + entry.name);
    const auto there = fileSystem.ModifiedTime(twin + entry.name);
    if (copies.front().size == entry.size && here == there) continue;
    lines.push_back("    VirtualStore twin " + twin + entry.name + " differs from the data folder's (" +
                    std::to_string(entry.size) + " bytes here, " + std::to_string(copies.front().size) + " there" +
                    (here && there && *there > *here ? "; the twin is newer" : "") +
                    "): the catalogue may read the twin, not the table Remdo repairs.");
  }
}

void ReportProgramFiles(const std::string& dataFolder, std::vector<std::string>& lines) {
  if (!env::IsLaterWindows() || !env::IsUnderProgramFiles(dataFolder)) return;
  const std::string twin = installation::VirtualStoreTwinOf(dataFolder);
  lines.push_back(
      "    The data folder is under Program Files: this Windows diverts the catalogue's writes there to "
      "the VirtualStore folder" +
      (twin.empty() ? std::string() : " " + twin) + ", so the catalogue and Remdo can see different tables.");
}

void ReportReadOnlyTables(const std::string& dataFolder, std::vector<std::string>& lines) {
  for (const env::TFindEntry& entry : FindFiles(dataFolder + "*.*")) {
    if ((entry.attributes & env::attr::kReadOnly) == 0 || !IsTableFile(entry.name)) continue;
    lines.push_back("    " + entry.name + " is read-only: the catalogue cannot open the table " +
                    std::string(entry.name.substr(0, entry.name.size() - env::ExtensionPart(entry.name).size())) + ".");
  }
}

void ReportLeftovers(const std::string& dataFolder, std::vector<std::string>& lines) {
  for (const auto& leftover : paradox::FindLeftovers(env::DefaultFileSystem(), dataFolder, kScratchTablePatterns)) {
    lines.push_back("    Left by an interrupted run: " + dataFolder + leftover.name);
  }
}

}  // namespace

std::vector<std::string> FindRootCauses(const std::string& dataFolder) {
  std::vector<std::string> lines = {"Root causes:"};
  if (dataFolder.empty()) return lines;
  ReportLockFiles(dataFolder, lines);
  ReportNetFiles(dataFolder, lines);
  ReportVirtualStoreTwins(dataFolder, lines);
  ReportProgramFiles(dataFolder, lines);
  ReportReadOnlyTables(dataFolder, lines);
  ReportLeftovers(dataFolder, lines);
  return lines;
}

}  // namespace remdo::repair
