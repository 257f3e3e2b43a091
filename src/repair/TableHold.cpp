// Taking and releasing the holds of one table's check.
#include "repair/TableHold.h"

#include "env/FileHolds.h"
#include "env/FileSystem.h"
#include "installation/EngineLockFiles.h"
#include "repair/RejectedFiles.h"

namespace remdo::repair {

TTableHold::TTableHold(const std::string& dataFolder, std::string_view tableName) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  for (const auto& entry : fileSystem.Find(dataFolder + std::string(tableName) + ".*", env::attr::kAnyFile)) {
    if (!IsTableFamilyFile(entry.name)) continue;
    const env::TIoResult held = env::HoldWithoutSharing(dataFolder + entry.name);
    // A file that cannot be held for another reason is left to the check,
    // which says what is wrong with it.
    if (env::IsHeldByAnother(held)) {
      refusal_ = "  -- table cannot be opened: " + entry.name + " (" + held.reason + ")";
      return;
    }
  }
  // While the engine's folder lock files are held, no engine can start on
  // the folder.
  for (const std::string_view name : installation::kFolderLockFiles) {
    const std::string path = dataFolder + std::string(name);
    if (!fileSystem.FileExists(path)) continue;
    if (env::IsHeldByAnother(env::HoldWithoutSharing(path))) {
      refusal_ = "  -- the data folder is in use by another program (" + std::string(name) + " is held)";
      return;
    }
  }
}

TTableHold::~TTableHold() { env::ReleaseHeldFiles(); }

}  // namespace remdo::repair
