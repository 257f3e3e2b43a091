// The repair run's ending: the result line, the places where catalogue
// files were seen, the automatic backup, the Close button, and the
// automatic close that starts the catalogue application again.
#include <string>

#include "app/MainForm.h"
#include "env/FileSystem.h"
#include "env/Shell.h"
#include "env/SystemInfo.h"
#include "installation/DataFolder.h"
#include "installation/SettingsFiles.h"
#include "repair/AutomaticBackup.h"
#include "repair/Helpers.h"
#include "repair/ScratchFiles.h"

namespace remdo::app {

namespace {

constexpr std::string_view kLeftoverPrograms[] = {"RemdTech.exe", "RemdTech.pif", "RemdChek.exe"};

bool DataFileExists(std::string_view name) {
  const std::string folder = installation::GetDataFolder();
  return !folder.empty() && env::DefaultFileSystem().FileExists(folder + std::string(name));
}

}  // namespace

bool TMainForm::Ending() {
  LogLine("");
  if (RunState.FailureCount < 0) RunState.FailureCount = 0;
  WriteResultLine();
  LogLine("");
  Database1.Close();
  (void)repair::RemoveScratchFiles();
  if (KeepGoing()) ListCatalogueFolders();
  BackUpOrReport();
  const bool result = RunState.FailureCount != 0 && KeepGoing();
  ShowEndOfRun();
  DeleteLeftoverPrograms();
  Panel2.enabled = true;
  TurnOffOnlineOptionsIfAsked();
  if (RunState.FailureCount != 0 && KeepGoing()) {
    if (!RunState.FailedTables.empty()) {
      MsgPanel.caption =
          "Failed table" + std::string(repair::PluralSuffix(RunState.FailureCount)) + ": " + RunState.FailedTables;
      Panel7.enabled = true;
    }
  } else if (AutoCloseChk.checked) {
    CloseAfterRun();
  }
  FinishKeeping();
  SetRunning(false);
  view_.Update();
  return result;
}

void TMainForm::WriteResultLine() {
  if (KeepGoing()) {
    const std::int32_t n = RunState.FailureCount;
    LogLine(n == 0 ? std::string("All tables completed.")
                   : std::to_string(n) + " table" + std::string(repair::PluralSuffix(n)) + " failed.");
  } else {
    LogLine("...program stopped.");
    RunState.Interrupted = true;
  }
}

void TMainForm::ListCatalogueFolders() {
  const std::string programFiles = env::GetProgramFilesFolder();
  const std::string personal = env::GetPersonalFolder();
  const std::string drive(1, env::GetProgramDrive());
  // A folder that is not known is left out rather than looked up as a
  // name relative to the current folder.
  const std::string folders[] = {
      programFiles.empty() ? std::string() : programFiles + "FENRO\\FENRO\\",
      programFiles.empty() ? std::string() : programFiles + "FENRO\\",
      env::GetProgramFolder(),
      personal.empty() ? std::string() : personal + "FENRO\\",
      drive + ":\\FENRO\\",
      drive + ":\\FENRO2\\",
  };
  PendingHeader = "FENRO files found at:";
  for (const auto& folder : folders) {
    if (!folder.empty() && env::DefaultFileSystem().FileExists(folder + "Books.db")) LogLine("    " + folder);
  }
  PendingHeader.clear();
  LogLine("");
}

void TMainForm::BackUpOrReport() {
  const bool backupOff = DataFileExists("nobackup.ini");
  if (RunState.FailureCount == 0 && !backupOff && (RunState.InstalledMark || RunOption("+!") || RunOption("+U"))) {
    repair::AutomaticBackup(*this);
    return;
  }
  if (backupOff) LogLine("Automatic file backup turned off");
  const std::string saveFolder = repair::SaveFolder();
  if (saveFolder.empty()) return;
  if (const auto saved = env::DefaultFileSystem().ModifiedTime(saveFolder + "BOOKS.db")) {
    LogLine("Last automatic file backup on " + DateTimeText(*saved));
  }
}

void TMainForm::ShowEndOfRun() {
  if (CloseBtn.enabled) {
    CloseBtn.caption = "Close";
    view_.FocusCloseButton();
  }
  Panel1.colour = TColour::kTeal;
  Panel1.visible = true;
  ProgressBar1.visible = false;
  AutoCloseChk.enabled = false;
  view_.Update();
}

void TMainForm::DeleteLeftoverPrograms() {
  const std::string folder = installation::GetDataFolder();
  if (folder.empty()) return;
  for (const auto name : kLeftoverPrograms) {
    const std::string path = folder + std::string(name);
    if (env::DefaultFileSystem().FileExists(path)) (void)env::DefaultFileSystem().Remove(path);
  }
}

void TMainForm::TurnOffOnlineOptionsIfAsked() {
  if (!TurnOffOnlineOptionsChk.checked || installation::TurnOffOnlineOptions()) return;
  LogLine("Unable to turn off all the online options");
  AutoCloseChk.checked = false;
  AutoCloseChk.enabled = false;
}

void TMainForm::CloseAfterRun() {
  WriteRunReportOnClose();
  if (RunState.InstalledMark || RunOption("+X")) {
    if (DataFileExists("RunFENRO.ini"))
      (void)env::DefaultFileSystem().Remove(installation::GetDataFolder() + "RunFENRO.ini");
    (void)env::DefaultShell().Open(installation::GetCatalogueProgramPath(), "+");
  }
  view_.Close();
}

}  // namespace remdo::app
