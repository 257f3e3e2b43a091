// The automatic backup. A saved copy's file time is the time of copying, so
// the age of the saved BOOKS.db tells when the last backup was taken.
#include "repair/AutomaticBackup.h"

#include <chrono>
#include <span>

#include "catalogue/TableCatalogue.h"
#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "installation/DataFolder.h"

namespace remdo::repair {

namespace {

// Stands for every folder table file of the data folder.
constexpr std::string_view kFolderTables = "Fldr0???.db";

constexpr std::string_view kCurrentFiles[] = {
    "Auth0001.db", "AuthX.db",    "AuthX.mb",   "BkSeries.db", "BookInfo.db", "BookInfo.mb", "BookInx.db",
    "BookRef.db",  "Books.db",    "Books.mb",   "Calendar.db", "CharX.db",    "Contact.db",  "Contact.mb",
    "ExpTitle.db", kFolderTables, "Folders.db", "Genre.db",    "GrpNames.db", "Images.db",   "ISBNs.db",
    "LocNames.db", "Prices.db",   "Pubs.db",    "Reissues.db",
};
constexpr std::string_view kEarlierFiles[] = {
    "AuthX.db",    "AuthX.mb",   "BkSeries.db", "BookGrp.db",  "BookInfo.db", "BookInfo.mb",
    "BookLoc.db",  "BookRef.db", "Books.db",    "Books.mb",    "CharX.db",    "ExpTitle.db",
    kFolderTables, "Genre.db",   "GrpNames.db", "LocNames.db", "Prices.db",   "Reissues.db",
};

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string SaveFolder() {
  const std::string dataFolder = installation::GetDataFolder();
  if (dataFolder.empty()) return std::string();
  const std::string name = catalogue::IsCurrentLayout() ? "Save" : "SaveFenr";
  return dataFolder + name + env::SeparatorOf(dataFolder);
}

void AutomaticBackup(TRunReporter& run) {
  const std::string dataFolder = installation::GetDataFolder();
  if (dataFolder.empty()) return;
  const auto freeBytes = env::DriveFreeBytes(dataFolder);
  if (!freeBytes || *freeBytes < kBackupFreeSpace) {
    run.LogLine("~Insufficient disk space for automatic file backup.");
    return;
  }
  const auto saved = env::DefaultFileSystem().ModifiedTime(SaveFolder() + "BOOKS.db");
  if (saved && *saved > Now() - kBackupInterval) {
    run.LogLine("Recent automatic file backup on " + run.DateTimeText(*saved));
    run.LogLine("");
    return;
  }
  const bool current = catalogue::IsCurrentLayout();
  const std::span<const std::string_view> files =
      current ? std::span<const std::string_view>(kCurrentFiles) : std::span<const std::string_view>(kEarlierFiles);
  for (const std::string_view name : files) {
    if (name != kFolderTables) {
      SaveCopy(run, name);
      continue;
    }
    for (const auto& entry : env::DefaultFileSystem().Find(dataFolder + std::string(name), env::attr::kAnyFile)) {
      SaveCopy(run, entry.name);
    }
  }
  if (run.KeepGoing()) run.LogLine("");
}

void SaveCopy(TRunReporter& run, std::string_view name) {
  if (!run.KeepGoing()) return;
  auto& fileSystem = env::DefaultFileSystem();
  const std::string source = installation::GetDataFolder() + std::string(name);
  if (!fileSystem.FileExists(source)) return;
  const std::string saveFolder = SaveFolder();
  if (!fileSystem.FolderExists(saveFolder) && !env::MakeFolders(fileSystem, saveFolder)) {
    throw env::EFCreateError("Cannot create the folder " + saveFolder + " for the automatic file backup.");
  }
  const std::string target = saveFolder + std::string(name);
  // An earlier copy may have been left read-only; the copy replaces it.
  const auto attributes = fileSystem.Attributes(target);
  if (attributes && (*attributes & env::attr::kDirectory) == 0 && (*attributes & env::attr::kReadOnly) != 0) {
    (void)fileSystem.SetAttributes(target, env::attr::kArchive);
  }
  env::CopyWholeFile(fileSystem, source, target, env::TCopyTime::kTimeOfCopy);
  run.LogLine("Saved copy of file:  " + std::string(name));
}

}  // namespace remdo::repair
