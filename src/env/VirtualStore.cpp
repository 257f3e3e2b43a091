// The VirtualStore twin of the catalogue's Program Files folder, worked out
// once per process.
#include "env/VirtualStore.h"

#include <optional>

#include "env/FileSystem.h"
#include "env/SystemInfo.h"

namespace remdo::env {

namespace {

// The length of a drive root such as "C:\", which the diverted path leaves
// out.
constexpr std::size_t kDriveRootLength = 3;

std::optional<std::string>& Kept() {
  static std::optional<std::string> folder;
  return folder;
}

// The catalogue's folder under Program Files, with a trailing separator.
std::string CatalogueProgramFilesFolder(const std::string& programFiles) {
  auto& fileSystem = DefaultFileSystem();
  if (fileSystem.FolderExists(programFiles + "FENRO\\FENRO")) return programFiles + "FENRO\\FENRO\\";
  if (fileSystem.FolderExists(programFiles + "FENRO")) return programFiles + "FENRO\\";
  return {};
}

std::string WorkOut() {
  const std::string programFiles = GetProgramFilesFolder();
  const std::string localAppData = GetLocalAppDataFolder();
  // Without either folder the twin would be a path relative to the
  // current folder, which holds no catalogue files.
  if (programFiles.empty() || localAppData.empty()) return {};
  const std::string base = CatalogueProgramFilesFolder(programFiles);
  if (base.size() <= kDriveRootLength) return {};
  return localAppData + "VirtualStore\\" + base.substr(kDriveRootLength);
}

}  // namespace

std::string GetVirtualStoreFolder() {
  if (!Kept()) Kept() = WorkOut();
  return *Kept();
}

void ForgetVirtualStoreFolder() { Kept().reset(); }

}  // namespace remdo::env
