// The VirtualStore twin of a folder under Program Files, and of the
// catalogue's own install folder, worked out once per process.
#include "installation/VirtualStore.h"

#include <cctype>
#include <optional>

#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"

namespace remdo::installation {

namespace {

// The length of a drive root such as "C:\", which the diverted path leaves
// out.
constexpr std::size_t kDriveRootLength = 3;

bool StartsWithDriveRoot(std::string_view path) {
  return path.size() > kDriveRootLength && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         env::IsPathSeparator(path[2]);
}

std::optional<std::string>& Kept() {
  static std::optional<std::string> folder;
  return folder;
}

// The catalogue's folder under Program Files, with a trailing separator.
std::string CatalogueProgramFilesFolder() {
  const std::string programFiles = env::GetProgramFilesFolder();
  if (programFiles.empty()) return {};
  auto& fileSystem = env::DefaultFileSystem();
  if (fileSystem.FolderExists(programFiles + "FENRO\\FENRO")) return programFiles + "FENRO\\FENRO\\";
  if (fileSystem.FolderExists(programFiles + "FENRO")) return programFiles + "FENRO\\";
  return {};
}

}  // namespace

std::string VirtualStoreTwinOf(std::string_view folder) {
  const std::string localAppData = env::GetLocalAppDataFolder();
  // Windows diverts writes into protected folders only; any other folder,
  // or one named by a share or a relative path, has no twin worth trusting.
  if (localAppData.empty() || !StartsWithDriveRoot(folder) || !env::IsUnderProgramFiles(folder)) return {};
  return env::IncludeTrailingSeparator(localAppData + "VirtualStore\\" + std::string(folder.substr(kDriveRootLength)));
}

std::string GetVirtualStoreFolder() {
  if (!Kept()) Kept() = VirtualStoreTwinOf(CatalogueProgramFilesFolder());
  return *Kept();
}

void ForgetVirtualStoreFolder() { Kept().reset(); }

}  // namespace remdo::installation
