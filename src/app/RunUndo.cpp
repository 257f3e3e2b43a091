// The run's keeping of old files for an undo, and the undo run (the run
// option UNDO): the heading and environment report of a run, one line per
// table put back, a result line, and the history line "undone <run>".
#include <string>

#include "app/MainForm.h"
#include "env/Dialogs.h"
#include "installation/DataFolder.h"
#include "repair/Helpers.h"

namespace remdo::app {

void TMainForm::StartKeeping() {
  const std::string dataFolder = installation::GetDataFolder();
  // An installation run that checks no table changes no table.
  if (dataFolder.empty() || (RunOption("INSTALLING") && !RunOption("REMD"))) return;
  keeping_ = std::make_unique<repair::TRunKeeping>(*this, dataFolder, Repair.RejectedFolderName());
}

void TMainForm::FinishKeeping() noexcept {
  if (!keeping_) return;
  try {
    keeping_->Finish();
  } catch (...) {
    // The manifest keeps what it had; an undo takes it as a run cut short.
  }
  keeping_.reset();
}

bool TMainForm::RunUndo() {
  if (!Preamble()) return EndWithDataFolderInUse();
  // The undo renames the tables' files; no connection holds them.
  Database1.Close();
  LogLine("");
  LogLine("UNDO");
  LogLine("");
  const std::string dataFolder = installation::GetDataFolder();
  repair::TUndoOutcome outcome;
  if (RunOption("INSTALLING")) {
    LogLine("An installation run cannot undo a repair run; nothing was changed.");
    env::ShowErrorBox("UNDO cannot be given with an installation run.");
  } else if (!dataFolder.empty()) {
    outcome = repair::UndoLatestRun(*this, dataFolder);
  }
  WriteUndoResult(outcome);
  ShowEndOfRun();
  Panel2.enabled = true;
  SetRunning(false);
  view_.Update();
  return RunState.FailureCount != 0;
}

void TMainForm::WriteUndoResult(const repair::TUndoOutcome& outcome) {
  using repair::TUndoResult;
  LogLine("");
  if (!KeepGoing() && outcome.result != TUndoResult::kDone) RunState.Interrupted = true;
  for (const auto& table : outcome.failed) {
    ++RunState.FailureCount;
    repair::AppendToNameList(RunState.FailedTables, table);
  }
  switch (outcome.result) {
    case TUndoResult::kDone:
      RunState.UndoneRun = outcome.run;
      LogLine("The run of " + outcome.run + " is undone.");
      break;
    case TUndoResult::kNothingToUndo:
      LogLine("Nothing was undone.");
      break;
    case TUndoResult::kRefused:
      // The user answered No: a script must tell it from a finished undo.
      RunState.Interrupted = true;
      LogLine("Nothing was undone.");
      break;
    case TUndoResult::kFailed:
      LogLine(outcome.failed.empty() ? std::string("The undo did not finish; UNDO again carries it on.")
                                     : std::to_string(outcome.failed.size()) + " table" +
                                           std::string(repair::PluralSuffix(RunState.FailureCount)) +
                                           " could not be put back; UNDO again carries it on.");
      if (outcome.failed.empty()) ++RunState.FailureCount;
      break;
  }
  LogLine("");
}

}  // namespace remdo::app
