// What the run looks at before the engine connects to the data folder: the
// root causes of damage (reported in the log file only), and the engine's
// lock files. A lock file that another program holds means its engine has
// the folder open: the run then ends without opening any table. Stale lock
// files are deleted before the connection, and the commits a crash cut
// short inside the last run are settled keeping that run's old files.
#include <string>

#include "app/MainForm.h"
#include "env/Dialogs.h"
#include "env/FileSystem.h"
#include "installation/DataFolder.h"
#include "repair/AutomaticBackup.h"
#include "repair/CrashedRunCommits.h"
#include "repair/Helpers.h"
#include "repair/RootCauses.h"
#include "repair/StaleLocks.h"

namespace remdo::app {

void TMainForm::LookBeforeConnecting(const std::string& dataFolder) {
  // The causes are taken before stale lock files go and before the
  // connection settles what an interrupted run left.
  rootCauses_ = repair::FindRootCauses(dataFolder);
  repair::TLockCheck locks = repair::ClearStaleLocks(dataFolder);
  heldLock_ = std::move(locks.heldLock);
  lockLines_ = std::move(locks.lines);
  if (DataFolderInUse()) return;
  // A commit that a crash cut short inside the last run keeps the run's old
  // files for its undo; the connection settles whatever else is left.
  const std::string saveFolder = repair::SaveFolder();
  std::vector<std::string> folders{dataFolder};
  if (!saveFolder.empty() && env::DefaultFileSystem().FolderExists(saveFolder)) folders.push_back(saveFolder);
  for (std::string& line : repair::SettleCrashedRunCommits(dataFolder, folders)) lockLines_.push_back(std::move(line));
}

void TMainForm::ReportLookBeforeConnecting() {
  for (const std::string& line : rootCauses_) LogLine("~" + line);
  for (const std::string& line : lockLines_) LogLine("~" + line);
  if (!rootCauses_.empty()) LogLine("~");  // an empty line in the log file alone
  if (!DataFolderInUse()) return;
  LogLine("The data folder is in use by another program (" + heldLock_ + " is held); no table was checked.");
  env::ShowErrorBox("The FENRO folder " + installation::GetDataFolder() +
                    " is in use by another program. Close FENRO on every computer that uses this folder, "
                    "then run Remdo again.");
}

bool TMainForm::EndWithDataFolderInUse() {
  ++RunState.FailureCount;
  repair::AppendToNameList(RunState.FailedTables, "in use");
  LogLine("");
  MsgPanel.caption = "The FENRO folder is in use by another program.";
  ShowEndOfRun();
  Panel2.enabled = true;
  SetRunning(false);
  view_.Update();
  return true;
}

}  // namespace remdo::app
