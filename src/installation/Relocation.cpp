// The relocation out of Program Files: the question, the copy, the check
// that the copy is whole, retiring the old tables and recording the new
// folder. Every file goes through DefaultFileSystem() and DefaultShell(),
// every question through Dialogs().
#include "installation/Relocation.h"

#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/FileList.h"
#include "env/FileSystem.h"
#include "env/IniFile.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/CompleteDataSet.h"
#include "installation/DataFolder.h"
#include "installation/RelocationList.h"
#include "installation/StartUpNotes.h"
#include "installation/VirtualStore.h"

namespace remdo::installation {

namespace {

// Both questions name C:\FENRO whatever the preferred folder's drive is.
constexpr std::string_view kCompleteThereText =
    "Your FENRO data files have been found in the Program Files folder\r"
    "which has been determined to cause confusion for PCs in Vista.\r\r"
    "Although it is preferred that your files be moved to C:\\FENRO,\r"
    "data files have been found to already exist in that folder.\r\r"
    "Would you like to use and update the files located there?";
constexpr std::string_view kSomeThereText =
    "Your FENRO data files have been found in the Program Files folder\r"
    "which has been determined to cause confusion for PCs in Vista.\r\r"
    "Although it is preferred that your files be moved to C:\\FENRO\r"
    "some data files have been found to already exist in that folder\r"
    "-- but not all of them.Would you like to move them all, and then use those files?";
constexpr std::string_view kNotRelocatedText = "FENRO files could not be relocated.";
constexpr std::string_view kSection = "FENRO";
constexpr std::string_view kFolderSettings = "FENRO4.ini";
// Beside the preferred folder: the copy in progress, and the preferred
// folder set aside while the copy is renamed into its place.
constexpr std::string_view kStagingSuffix = ".~new";
constexpr std::string_view kSetAsideSuffix = ".~old";

// Renames every table of folder by appending "1" to its name, so that
// locating no longer finds it there; memo and index files keep their names.
// An existing "*.db1" is never replaced: that table keeps its old name.
void RetireTables(const std::string& folder) {
  if (folder.empty()) return;  // never the current folder's files
  auto& fileSystem = env::DefaultFileSystem();
  for (const env::TFindEntry& entry : fileSystem.Find(folder + "*.db", env::attr::kAnyFile)) {
    if ((entry.attributes & env::attr::kDirectory) != 0) continue;
    const std::string path = folder + entry.name;
    const env::TIoResult renamed = fileSystem.Rename(path, path + "1", false);
    if (!renamed) AddStartUpNote("    Could not rename " + path + " to " + entry.name + "1: " + renamed.reason);
  }
  (void)fileSystem.SyncFolder(folder);
}

void WriteDataDir(const std::string& settingsFile, const std::string& folder) {
  if (settingsFile.empty()) return;
  try {
    env::TIniFile(env::DefaultFileSystem(), settingsFile)
        .WriteString(kSection, "DataDir", env::ExcludeTrailingSeparator(folder));
  } catch (const env::ERemdoError& e) {
    // The data set has moved already; the run goes on in the new folder.
    AddStartUpNote("    Could not record the FENRO folder: " + std::string(e.what()));
  }
}

// The old folder's own settings name the preferred folder too: its tables
// are retired, so it no longer holds a data set to point at.
std::string RetireAndRecord(const std::string& oldFolder, const std::string& twin, const std::string& preferred) {
  RetireTables(oldFolder);
  RetireTables(twin);
  WriteDataDir(oldFolder + std::string(kFolderSettings), preferred);
  WriteDataDir(SelectCatalogueIni(true), preferred);
  WriteDataDir(preferred + std::string(kFolderSettings), preferred);
  return preferred;
}

// The engine's lock files describe the sessions of the folder they lie in
// (its user list, its network control file, a table's locks): copied, they
// would describe sessions that never ran in the new folder.
bool IsLockFile(std::string_view name) {
  const std::string upper = env::UpperCase(name);
  return upper.ends_with(".LCK") || upper == "PDOXUSRS.NET";
}

// The twin's plain files to copy over the old folder's: all but lock files
// and the retired tables ("*.db1") that staging holds already.
std::vector<std::string> TwinFiles(const std::string& twin, const std::string& staging) {
  auto& fileSystem = env::DefaultFileSystem();
  std::vector<std::string> files;
  for (const env::TFindEntry& entry : fileSystem.Find(twin + "*.*", env::attr::kAnyFile)) {
    if ((entry.attributes & env::attr::kDirectory) != 0 || IsLockFile(entry.name)) continue;
    if (env::UpperCase(entry.name).ends_with(".DB1") && fileSystem.FileExists(staging + entry.name)) continue;
    files.push_back(twin + entry.name);
  }
  return files;
}

// The complete data set arrived and every copied file is as long as the one
// it was copied from; otherwise the reasons are noted and the box shown.
bool CopiedWhole(const std::vector<std::string>& copied, const std::string& staging, const std::string& preferred) {
  const std::vector<std::string> notWhole = FilesNotCopiedWhole(copied, staging);
  for (const std::string& name : notWhole) AddStartUpNote("    " + preferred + name + " is not a whole copy");
  if (notWhole.empty() && HasCompleteDataSet(staging)) return true;
  env::ShowErrorBox(kNotRelocatedText);
  return false;
}

// Staging starts as what the preferred folder holds, so that renaming it
// into place loses none of the files found there.
bool PrepareStaging(const std::string& target, const std::string& staging) {
  auto& fileSystem = env::DefaultFileSystem();
  if (fileSystem.FolderExists(env::ExcludeTrailingSeparator(staging))) (void)env::RemoveFolderTree(fileSystem, staging);
  try {
    env::CopyFolderTree(fileSystem, target, staging);
    return true;
  } catch (const env::ERemdoError& e) {
    AddStartUpNote("    Could not prepare " + staging + ": " + std::string(e.what()));
    return false;
  }
}

// The preferred folder is set aside, staging renamed into its place and the
// set-aside folder removed; on a failed rename the preferred folder is put
// back as it was.
bool SwapIntoPlace(const std::string& target, const std::string& staging) {
  auto& fileSystem = env::DefaultFileSystem();
  const std::string aside = target + std::string(kSetAsideSuffix);
  if (fileSystem.FolderExists(aside)) (void)env::RemoveFolderTree(fileSystem, aside);
  env::TIoResult moved = fileSystem.Rename(target, aside, false);
  if (moved) {
    moved = fileSystem.Rename(env::ExcludeTrailingSeparator(staging), target, false);
    if (!moved) (void)fileSystem.Rename(aside, target, false);
  }
  if (!moved) {
    AddStartUpNote("    Could not move " + staging + " into place: " + moved.reason);
    env::ShowErrorBox(kNotRelocatedText);
    return false;
  }
  (void)env::RemoveFolderTree(fileSystem, aside);
  (void)fileSystem.SyncFolder(env::FolderPart(target));
  return true;
}

// The old folder's files, then the twin's over them, copied into staging,
// checked and renamed into place; false, with staging removed, when any
// step failed.
bool MoveDataSet(const std::string& oldFolder, const std::string& twin, const std::string& target) {
  const std::string staging = target + std::string(kStagingSuffix) + "\\";
  if (!PrepareStaging(target, staging)) {
    (void)env::RemoveFolderTree(env::DefaultFileSystem(), staging);
    env::ShowErrorBox(kNotRelocatedText);
    SetRelocationFailed();
    return false;
  }
  std::vector<std::string> copied = BuildRelocationList(oldFolder);
  const std::vector<std::string> twinFiles = TwinFiles(twin, staging);
  bool moved = CopyWithPictures(copied, staging) && CopyWithPictures(twinFiles, staging);
  copied.insert(copied.end(), twinFiles.begin(), twinFiles.end());
  moved =
      moved && CopiedWhole(copied, staging, env::IncludeTrailingSeparator(target)) && SwapIntoPlace(target, staging);
  if (!moved) (void)env::RemoveFolderTree(env::DefaultFileSystem(), staging);
  return moved;
}

}  // namespace

std::string RelocateFromProgramFiles(std::string_view oldFolderText) {
  const std::string oldFolder = env::IncludeTrailingSeparator(oldFolderText);
  if (oldFolder.empty() || !env::IsLaterWindows() || !env::IsUnderProgramFiles(oldFolder)) return oldFolder;
  // Without the twin the user's newest tables cannot be told from stale
  // ones, so nothing moves.
  const std::string twin = VirtualStoreTwinOf(oldFolder);
  if (twin.empty()) return oldFolder;
  const std::string preferred = PreferredDataFolder();
  if (HasCompleteDataSet(preferred)) {
    return env::AskWarningYesNo(kCompleteThereText) ? RetireAndRecord(oldFolder, twin, preferred) : oldFolder;
  }
  if (env::FirstMatchingFile({preferred + "*.db"}) && !env::AskWarningYesNo(kSomeThereText)) return oldFolder;
  auto& fileSystem = env::DefaultFileSystem();
  const std::string target = env::ExcludeTrailingSeparator(preferred);
  (void)fileSystem.MakeFolder(target);  // an existing folder is fine
  if (!fileSystem.FolderExists(target)) {
    env::ShowErrorBox(kNotRelocatedText);
    SetRelocationFailed();
    return oldFolder;
  }
  if (!MoveDataSet(oldFolder, twin, target)) return oldFolder;
  return RetireAndRecord(oldFolder, twin, preferred);
}

}  // namespace remdo::installation
