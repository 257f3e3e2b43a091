// The relocation out of Program Files: the question, the copy, the check
// that the copy is whole, retiring the old tables and recording the new
// folder. Every file goes through DefaultFileSystem() and DefaultShell(),
// every question through Dialogs().
#include "env/Relocation.h"

#include "env/CompleteDataSet.h"
#include "env/DataFolder.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileList.h"
#include "env/FileSystem.h"
#include "env/IniFile.h"
#include "env/Path.h"
#include "env/RelocationList.h"
#include "env/StartUpNotes.h"
#include "env/SystemInfo.h"
#include "env/VirtualStore.h"

namespace remdo::env {

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

// Renames every table of folder by appending "1" to its name, so that
// locating no longer finds it there; memo and index files keep their names.
// An existing "*.db1" is never replaced: that table keeps its old name.
void RetireTables(const std::string& folder) {
  if (folder.empty()) return;  // never the current folder's files
  auto& fileSystem = DefaultFileSystem();
  for (const TFindEntry& entry : fileSystem.Find(folder + "*.db", attr::kAnyFile)) {
    if ((entry.attributes & attr::kDirectory) != 0) continue;
    const std::string path = folder + entry.name;
    const TIoResult renamed = fileSystem.Rename(path, path + "1", false);
    if (!renamed) AddStartUpNote("    Could not rename " + path + " to " + entry.name + "1: " + renamed.reason);
  }
  (void)fileSystem.SyncFolder(folder);
}

void WriteDataDir(const std::string& settingsFile, const std::string& folder) {
  if (settingsFile.empty()) return;
  try {
    TIniFile(DefaultFileSystem(), settingsFile).WriteString(kSection, "DataDir", ExcludeTrailingSeparator(folder));
  } catch (const ERemdoError& e) {
    // The data set has moved already; the run goes on in the new folder.
    AddStartUpNote("    Could not record the FENRO folder: " + std::string(e.what()));
  }
}

// The old folder's own settings name the preferred folder too: its tables
// are retired, so it no longer holds a data set to point at.
std::string RetireAndRecord(const std::string& oldFolder, const std::string& preferred) {
  RetireTables(oldFolder);
  RetireTables(GetVirtualStoreFolder());
  WriteDataDir(oldFolder + std::string(kFolderSettings), preferred);
  WriteDataDir(SelectCatalogueIni(true), preferred);
  WriteDataDir(preferred + std::string(kFolderSettings), preferred);
  return preferred;
}

// The old folder's files, then the VirtualStore twin's over them; false
// when either copy failed. An unknown twin copies nothing.
bool CopyDataSet(const std::string& oldFolder, const std::string& preferred) {
  if (!CopyWithPictures(BuildRelocationList(oldFolder), preferred)) return false;
  const std::string virtualStore = GetVirtualStoreFolder();
  return virtualStore.empty() || CopyWithPictures({virtualStore + "*.*"}, preferred);
}

// The complete data set arrived and every table is as long as the one it
// was copied from; otherwise the reasons are noted and the box shown.
bool CopiedWhole(const std::string& oldFolder, const std::string& preferred) {
  const std::vector<std::string> notWhole = TablesNotCopiedWhole({oldFolder, GetVirtualStoreFolder()}, preferred);
  for (const std::string& table : notWhole) AddStartUpNote("    " + table + " is not a whole copy");
  if (notWhole.empty() && HasCompleteDataSet(preferred)) return true;
  ShowErrorBox(kNotRelocatedText);
  return false;
}

}  // namespace

std::string RelocateFromProgramFiles(std::string_view oldFolderText) {
  const std::string oldFolder = IncludeTrailingSeparator(oldFolderText);
  if (oldFolder.empty() || !IsLaterWindows() || !IsUnderProgramFiles(oldFolder)) return oldFolder;
  const std::string preferred = PreferredDataFolder();
  if (HasCompleteDataSet(preferred)) {
    return AskWarningYesNo(kCompleteThereText) ? RetireAndRecord(oldFolder, preferred) : oldFolder;
  }
  if (FirstMatchingFile({preferred + "*.db"}) && !AskWarningYesNo(kSomeThereText)) return oldFolder;
  auto& fileSystem = DefaultFileSystem();
  const std::string target = ExcludeTrailingSeparator(preferred);
  (void)fileSystem.MakeFolder(target);  // an existing folder is fine
  if (!fileSystem.FolderExists(target)) {
    ShowErrorBox(kNotRelocatedText);
    SetRelocationFailed();
    return oldFolder;
  }
  if (!CopyDataSet(oldFolder, preferred) || !CopiedWhole(oldFolder, preferred)) return oldFolder;
  return RetireAndRecord(oldFolder, preferred);
}

}  // namespace remdo::env
