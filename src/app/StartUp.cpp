// Start-up. The catalogue application's main window has the class
// "TMainForm" and exactly the title "FENRO"; this program's window shares the
// class but not the title, so it never counts.
#include "app/StartUp.h"

#include <algorithm>

#include "env/Dialogs.h"
#include "env/FileList.h"
#include "env/FileSystem.h"
#include "env/Shell.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/DataFolder.h"
#include "repair/AutomaticBackup.h"

namespace remdo::app {

namespace {

constexpr std::string_view kFixedDataFolder = "C:\\FENRO\\";

bool CatalogueRunning(const TCommandLine& commandLine) {
  auto& shell = env::DefaultShell();
  const auto window = shell.FindTopLevelWindow("TMainForm", "FENRO", "FENRO.exe");
  if (!window || commandLine.AllowsRunningCatalogue()) return false;
  env::ShowErrorBox("You must close FENRO before running this program.");
  (void)shell.BringToForeground(*window);
  return true;
}

// A copy of the saved catalogue files, kept once in Save4 when an update
// of the full program starts.
void KeepSave4() {
  auto& fileSystem = env::DefaultFileSystem();
  const std::string saveFolder = repair::SaveFolder();
  if (saveFolder.empty() || !fileSystem.FileExists(saveFolder + "Books.db")) return;
  const std::string dataFolder = installation::GetDataFolder();
  // An existing Save4 folder is never touched.
  if (!fileSystem.MakeFolder(dataFolder + "Save4")) return;
  (void)env::CopyFileList(ExistingTableFiles(saveFolder), dataFolder + "Save4\\", false);
}

std::string FixOrLocateDataFolder(const TCommandLine& commandLine) {
  if (!commandLine.FixesDataFolder()) return installation::GetDataFolder();
  installation::SetDataFolder(kFixedDataFolder);
  const std::string programFiles = env::GetProgramFilesFolder();
  if (env::IsLaterWindows() && !programFiles.empty() &&
      env::DefaultFileSystem().FileExists(programFiles + "FENRO\\FENRO\\Books.db")) {
    env::ShowWarningBox(
        "A second version of FENRO files also at ProgramFiles folder.  \r\r"
        "This could cause problems if the wrong ones are opened.\r");
  }
  return installation::GetDataFolder();
}

}  // namespace

const std::vector<std::string_view> kTableFileList = {
    "Auth0001.db", "AuthX.db",   "AuthX.mb", "BkSeries.db", "BookInfo.db",     "BookInfo.mb", "BookInx.db",
    "BookRef.db",  "Books.db",   "Books.mb", "Calendar.db", "CharX.db",        "Contact.db",  "Contact.mb",
    "ExpTitle.db", "Folders.db", "Fldr*.db", "Genre.db",    "GrpNames.db",     "Images.db",   "ISBNs.db",
    "LocNames.db", "Prices.db",  "Pubs.db",  "Reissues.db", "FENRO notes.txt",
};

std::vector<std::string> ExistingTableFiles(const std::string& folder) {
  auto& fileSystem = env::DefaultFileSystem();
  std::vector<std::string> entries;
  for (const std::string_view name : kTableFileList) {
    const std::string path = folder + std::string(name);
    const bool pattern = name.find('*') != std::string_view::npos;
    if (pattern ? !fileSystem.Find(path, env::attr::kAnyFile).empty() : fileSystem.FileExists(path)) {
      entries.push_back(path);
    }
  }
  return entries;
}

namespace {

// VERIFY only looks: it goes with no run that installs, updates or undoes.
bool VerifyRefused(const TCommandLine& commandLine) {
  if (!commandLine.RunOption("VERIFY")) return false;
  // The word INST itself counts too, although the run option test reads
  // "INST" as INSTALLING.
  const auto& params = commandLine.Params();
  const bool instGiven =
      std::any_of(params.begin(), params.end(), [](const std::string& word) { return env::UpperCase(word) == "INST"; });
  if (commandLine.IsInstallerStart() || commandLine.RunOption("INSTALLING") || instGiven) {
    env::ShowErrorBox("VERIFY cannot be given to an installation or update run.\r\rStart Remdo by itself with VERIFY.");
    return true;
  }
  if (commandLine.RunOption("UNDO")) {
    env::ShowErrorBox("VERIFY and UNDO cannot be given together.\r\rVERIFY changes nothing; UNDO puts files back.");
    return true;
  }
  return false;
}

}  // namespace

TStartResult StartUp(const TCommandLine& commandLine) {
  TStartResult result;
  if (VerifyRefused(commandLine)) return {TStartOutcome::kRefused, false};
  if (CatalogueRunning(commandLine)) return {TStartOutcome::kRefused, false};
  if (!commandLine.IsInstallerStart()) return result;
  // The move out of Program Files comes first, before anything asks for the
  // data folder; a start that fixes its folder moves nothing.
  if (!commandLine.FixesDataFolder()) (void)installation::LocateDataFolderAtInstallerStart();
  if (commandLine.KeepsSave4()) KeepSave4();
  const std::string dataFolder = FixOrLocateDataFolder(commandLine);
  if (dataFolder.empty()) {
    env::ShowErrorBox("Could not locate FENRO directory.");
    return {TStartOutcome::kNoDataFolder, false};
  }
  if (!env::CopyFileList({env::GetProgramPath()}, dataFolder + std::string(kInstalledProgramName), true)) {
    env::ShowErrorBox("Unable to copy FenroRemdo.exe file.");
    return {TStartOutcome::kCopyFailed, false};
  }
  result.installedMark = true;
  if (!commandLine.IsSilentInstaller()) {
    env::ShowInfoBox("New FenroRemdo program file installed.", "Installer");
    return result;
  }
  result.outcome = TStartOutcome::kFinished;
  return result;
}

}  // namespace remdo::app
