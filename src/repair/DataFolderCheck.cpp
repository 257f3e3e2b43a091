// The data folder check: the located folder must hold tables, and it and
// its picture and map subfolders lose a read-only mark so that the repair
// and the catalogue application can write there. Only the first mark
// cleared is reported; a mark that cannot be cleared is passed over.
#include "repair/DataFolderCheck.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "env/Dialogs.h"
#include "env/FileSystem.h"
#include "env/Path.h"

namespace remdo::repair {

namespace {


bool IsReadOnly(env::TFileSystem& fileSystem, std::string_view path) {
  const auto bits = fileSystem.Attributes(path);
  return bits && (*bits & env::attr::kReadOnly) != 0;
}

// Clears the read-only mark of an existing folder; true when the folder
// was read-only and no longer is. The other attribute bits are kept (a
// read-only and system folder is how Windows marks a customised folder).
bool ClearReadOnly(env::TFileSystem& fileSystem, std::string_view folder) {
  const auto bits = fileSystem.Attributes(folder);
  if (!bits || (*bits & env::attr::kReadOnly) == 0) return false;
  (void)fileSystem.SetAttributes(folder, (*bits & ~env::attr::kReadOnly) | env::attr::kDirectory);
  return !IsReadOnly(fileSystem, folder);
}

}  // namespace

void CheckDataFolder(TRepairContext& context) {
  TRunReporter& run = context.Run();
  if (!run.KeepGoing()) return;
  run.LogLine("Checking FENRO directory");
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string folder = TRepairContext::DataFolder();
  // Without a located folder the search would look wherever the program
  // happens to run; that is no catalogue either.
  if (folder.empty() || fileSystem.Find(folder + "*.db", env::attr::kAnyFile).empty()) {
    env::ShowErrorBox("FENRO files are not at expected location  ");
    run.LogLine("     FENRO files are not at expected location");
    return;
  }
  bool cleared = ClearReadOnly(fileSystem, env::ExcludeTrailingSeparator(folder));
  if (cleared) run.LogLine("     FENRO file folder is read-only");
  // Every folder is cleared, but the log closes with an empty line only
  // when none had to be.
  for (const std::string_view subfolder : {"CoverPix", "Maps"}) {
    if (ClearReadOnly(fileSystem, folder + std::string(subfolder))) cleared = true;
  }
  if (!cleared) run.LogLine("");
}

}  // namespace remdo::repair
