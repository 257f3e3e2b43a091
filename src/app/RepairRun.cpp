// The repair run: its preamble (engine connection, run state, the choices
// for the kind of run, the heading and the environment report) and its
// ending (result line, automatic backup, Close button, automatic close).
#include <chrono>
#include <string>

#include "app/MainForm.h"
#include "app/Version.h"
#include "repair/Helpers.h"

namespace remdo::app {

namespace {

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool TMainForm::RunRepair() {
  Preamble();
  // An installation run reports its environment and ends without checking
  // any table.
  if ((!RunOption("INSTALLING") || RunOption("REMD")) && tableSequence_) tableSequence_(*this);
  return Ending();
}

void TMainForm::Preamble() {
  SetRunning(true);
  RunState.FailureCount = 0;
  RunState.RunStartText = DateTimeText(Now());
  RunState.BooksOk = false;
  RunState.ExpandedTitlesOk = false;
  RunState.ConvertFolderTables = false;
  SetChoicesForRun();
  WriteHeading();
}

void TMainForm::SetChoicesForRun() {
  if (RunOption("INST") || RunOption("INSTALLING")) {
    ClipboardChk.enabled = false;
    AutoCloseChk.enabled = false;
    ClipboardChk.checked = false;
  } else {
    ClipboardChk.checked = true;
  }
  view_.Update();
}

void TMainForm::WriteHeading() {
  LogLine("Remdo " + std::string(kProgramVersion) + "  \x97" " File Pack and Repair for FENRO");  // em dash
  LogLine("");
  LogLine("~    " + RunState.RunStartText);
  if (RunOption("STRICT")) LogLine("    (strict testing)");
  if (RunOption("INSTALLING") || RunOption("INST")) {
    LogLine("");
    LogLine("INSTALLATION");
    LogLine("");
  }
}

bool TMainForm::Ending() {
  LogLine("");
  if (RunState.FailureCount < 0) RunState.FailureCount = 0;
  WriteResultLine();
  LogLine("");
  const bool result = RunState.FailureCount != 0 && KeepGoing();
  ShowEndOfRun();
  if (RunState.FailureCount != 0 && KeepGoing()) {
    if (!RunState.FailedTables.empty()) {
      MsgPanel.caption = "Failed table" + std::string(repair::PluralSuffix(RunState.FailureCount)) + ": " +
                         RunState.FailedTables;
      Panel7.enabled = true;
    }
  } else if (AutoCloseChk.checked) {
    WriteRunReport();
    view_.Close();
  }
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

void TMainForm::ShowEndOfRun() {
  if (CloseBtn.enabled) {
    CloseBtn.caption = "Close";
    view_.FocusCloseButton();
  }
  Panel1.colour = TColour::kTeal;
  Panel1.visible = true;
  ProgressBar1.visible = false;
  AutoCloseChk.enabled = false;
  Panel2.enabled = true;
  view_.Update();
}

void TMainForm::FormCreate() {
  MsgPanel.caption = std::string(kApplicationTitle) + " " + std::string(kProgramVersion) + "  FENRO repair tools";
  Colour = TColour::kNavy;
  Panel6.colour = TColour::kNavy;
  Panel7.colour = TColour::kNavy;
}

void TMainForm::FormDestroy() {}

void TMainForm::WriteRunReport() {}

}  // namespace remdo::app
