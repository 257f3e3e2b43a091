// TMainForm, the progress window as a toolkit-neutral model: its components
// as state records, its events as methods, the run log (LogLine), the Cancel
// test (KeepGoing) and the run report (WriteRunReport). A front-end
// (TFormView) renders it and feeds it events; message boxes go through the
// installed env::TDialogs. The repair steps reach it as a TRunReporter.
//
// Everything runs on one thread. The run executes inside the first timer
// tick; KeepGoing lets the front-end handle pending messages, through which
// a Cancel click re-enters the model (CloseBtnClick).
//
// Errors: the events let every error pass (an error that leaves the run is
// the front-end's to show, through ShowUncaughtError).
#ifndef REMDO_APP_MAINFORM_H_
#define REMDO_APP_MAINFORM_H_

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Components.h"
#include "app/FormView.h"
#include "app/RunMode.h"
#include "paradox/components/Database.h"
#include "repair/RepairContext.h"
#include "repair/RunKeeping.h"
#include "repair/RunReporter.h"
#include "repair/RunState.h"
#include "repair/UndoRun.h"
#include "repair/findings/FindingsJson.h"

namespace remdo::app {

struct TScratchRepair;

inline constexpr int kClientWidth = 539;
inline constexpr int kClientHeight = 458;

class TMainForm final : public repair::TRunReporter {
 public:
  // The table sequence that runs between the environment report and the
  // run's ending. Without one a run goes from the report to the ending, as
  // an installation run does.
  using TTableSequence = std::function<void(TMainForm&)>;

  // installedMark: start-up copied the program file into the data folder.
  // The command line and the view must outlive the form.
  TMainForm(const TCommandLine& commandLine, TFormView& view, bool installedMark);

  // --- Components (layout and defaults of the window) ---
  TControl RepairProgressPanel;
  TControl Panel2;              // holds the memo; disabled during the run
  TControl RepairProgressMemo;  // the visible run log
  TControl Panel4;
  TControl ClipboardChk;             // "copy to clipboard"
  TControl AutoCloseChk;             // "close when complete"
  TControl TurnOffOnlineOptionsChk;  // "turn off online options", hidden
  TControl Panel5;
  TControl Panel6;
  TControl Panel7;  // holds SendBtn; enabled when a run ends with failures
  TControl SendBtn;
  TControl CloseBtn;  // "Cancel", then "Close"; the window's Esc key
  TControl Panel3;
  TControl ProgressBar1;  // 0 to 100, step 5
  TControl MsgPanel;      // status text
  TControl Panel1;        // aqua wait bar, hidden; teal after the run
  TControl LogFileMemo;   // hidden; the full log, saved as Remdo.log
  TTimer Timer1;
  TColour Colour = TColour::kDefault;  // the window's background
  // The engine connection to the data folder, open from the start of the
  // run to its ending.
  paradox::TDatabase Database1;
  // What the repair steps work with: this window as their reporter, the
  // connection above and the table components Table1, Table2, ExpTitleTbl
  // and SaveExpTitleTbl. The table sequence hands it to CheckTable.
  repair::TRepairContext Repair{*this, Database1};

  repair::TRunState RunState;
  // A line logged before the next line only if one follows.
  std::string PendingHeader;
  bool ReportWritten = false;

  // --- Events ---
  void FormCreate();
  void FormPaint();
  void Timer1Timer();
  // The Cancel/Close button or Esc.
  void CloseBtnClick();
  void FormDestroy();
  // The user changed a check box.
  void CheckBoxClicked(repair::TChoice choice, bool checked);
  // Esc, or the window's own close command: a click on CloseBtn while it
  // is enabled and visible, nothing otherwise.
  void CancelKey();

  // The repair run; true when it ended with failed tables and was not
  // stopped.
  bool RunRepair();
  void SetRunning(bool running);
  // Writes Remdo.log and the line of RemdLogs.txt in the data folder, once,
  // and only after a run has started (the engine connection made): a
  // window closed before that leaves the previous run's report alone.
  // Throws EFCreateError or EWriteError when Remdo.log cannot be written,
  // EFOpenError when RemdLogs.txt exists but cannot be opened.
  void WriteRunReport();

  void SetTableSequence(TTableSequence sequence) { tableSequence_ = std::move(sequence); }
  // Where a verify-only run saves its report; an empty path saves none.
  // Without this call it goes to the user's documents folder.
  void SetVerifyReportFile(std::string path) { verifyReportFile_ = std::move(path); }
  // The result of the run once RunRepair has returned.
  std::optional<bool> RunResult() const { return runResult_; }
  const TCommandLine& CommandLine() const { return commandLine_; }
  // The run ended without opening any table: another program holds the
  // data folder through one of the engine's lock files.
  bool DataFolderInUse() const { return !heldLock_.empty(); }

  // --- TRunReporter ---
  repair::TRunState& State() override { return RunState; }
  bool LogLine(std::string_view text) override;
  bool KeepGoing() override;
  void ProcessMessages() override;
  bool RunOption(std::string_view word) const override;
  void SetMessage(std::string_view text) override;
  void SetProgress(int percent) override;
  void ShowWaitPanel(bool show) override;
  void SetBusyCursor(bool busy) override;
  void SetCancelEnabled(bool enabled) override;
  void SetChoiceEnabled(repair::TChoice choice, bool enabled) override;
  std::string DateTimeText(std::int64_t unixSeconds) override;

  TControl& Choice(repair::TChoice choice);

 private:
  // The run's halves (RepairRun.cpp, RunEnding.cpp). Preamble is false
  // when another program holds the data folder (nothing was connected).
  bool Preamble();
  void SetChoicesForRun();
  void WriteHeading();
  void WriteEnvironmentReport(const std::string& dataFolder);
  void WarnAboutProgramFiles(const std::string& dataFolder);
  bool Ending();
  void WriteResultLine();
  void ListCatalogueFolders();
  void BackUpOrReport();
  void ShowEndOfRun();
  void DeleteLeftoverPrograms();
  void TurnOffOnlineOptionsIfAsked();
  void CloseAfterRun();
  void ReadFormatMarkers(const std::string& dataFolder);
  void AccountForRunError(std::exception_ptr error);
  // Before the engine connects, and the report of it (RunLockCheck.cpp).
  void LookBeforeConnecting(const std::string& dataFolder);
  void ReportLookBeforeConnecting();
  bool EndWithDataFolderInUse();
  // Keeping the old files for an undo (RunKeeping.cpp); the undo itself.
  void StartKeeping();
  void FinishKeeping() noexcept;
  bool RunUndo();
  // The verify-only run (RunVerify.cpp); true when damage was found.
  bool RunVerify();
  bool ReportLeftovers(const std::string& dataFolder);
  bool VerifyTables(const std::string& dataFolder, const TScratchRepair& scratch, repair::TFindingsReport& report);
  // Where the report goes: the file named for it, else the documents folder.
  std::string VerifyReportPath() const;
  // The JSON form: the report's path followed by ".json" when one was
  // given, else "Remdo verify.json" beside "Remdo verify.txt".
  std::string VerifyJsonPath() const;
  void SaveVerifyReport(const repair::TFindingsReport& report);
  // The run's table outcomes as JSON in its Rejected folder, when it made one.
  void WriteOutcomesJson(const std::string& dataFolder);
  // Logs the finding's lines and keeps it for the JSON report.
  void LogFinding(repair::TTableReport& table, repair::TFinding finding);
  void WriteUndoResult(const repair::TUndoOutcome& outcome);
  // WriteRunReport on the way out of the run or the window: a report that
  // cannot be written is shown, and the rest of the way is still gone.
  void WriteRunReportOnClose();

  void LayOut();
  void AppendLine(std::string_view text);

  const TCommandLine& commandLine_;
  TFormView& view_;
  TTableSequence tableSequence_;
  std::optional<bool> runResult_;
  // An error left the table sequence or the ending; the run is over,
  // although Running stays set until the window closes.
  bool runEndedByError_ = false;
  std::unique_ptr<repair::TRunKeeping> keeping_;
  std::optional<std::string> verifyReportFile_;
  // Found before the engine connected: the root-cause lines, the lines of
  // the stale lock files handled, and a lock file another program holds.
  std::vector<std::string> rootCauses_;
  std::vector<std::string> lockLines_;
  std::string heldLock_;
};

}  // namespace remdo::app

#endif  // REMDO_APP_MAINFORM_H_
