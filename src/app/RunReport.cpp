// The run report and its two files.
#include "app/RunReport.h"

#include <cstddef>
#include <memory>
#include <span>

#include "app/ErrorHandler.h"
#include "app/MainForm.h"
#include "app/Version.h"
#include "env/Errors.h"
#include "installation/DataFolder.h"
#include "repair/Helpers.h"
#include "repair/verify/Prediction.h"

namespace remdo::app {

namespace {

std::span<const std::byte> AsBytes(std::string_view text) {
  return std::as_bytes(std::span<const char>(text.data(), text.size()));
}

}  // namespace

std::string HistoryLine(const repair::TRunState& state) {
  std::string line = "Remdo " + std::string(kProgramVersion) + " " + state.RunStartText + ", ";
  if (state.Interrupted) line += "tests interrupted, ";
  const std::string repaired = "errors repaired [" + state.RecoveredTables + "]";
  if (state.FailureCount == 0 && !state.UndoneRun.empty()) return line + "undone " + state.UndoneRun;
  if (state.FailureCount == 0) {
    line += state.RecoveredTables.empty() ? std::string("no errors") : repaired;
    return line;
  }
  if (!state.RecoveredTables.empty()) line += repaired + ", ";
  line += std::to_string(state.FailureCount) + " failure" + std::string(repair::PluralSuffix(state.FailureCount)) +
          " [" + state.FailedTables + "]";
  return line;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void SaveText(env::TFileSystem& fileSystem, std::string_view path, std::string_view text) {
  auto file = fileSystem.Open(path, env::TOpenMode::kCreate);
  file->WriteAt(0, AsBytes(text));
  file->Close();
}

void SaveLines(env::TFileSystem& fileSystem, std::string_view path, const std::vector<std::string>& lines) {
  SaveText(fileSystem, path, JoinLines(lines));
}

void AppendTextLine(env::TFileSystem& fileSystem, std::string_view path, std::string_view line) {
  std::unique_ptr<env::TFile> file;
  try {
    file = fileSystem.Open(path, env::TOpenMode::kReadWrite);
  } catch (const env::EFOpenError&) {
    // Only a missing history is started anew; an existing one that cannot
    // be opened is not cut to nothing.
    if (fileSystem.FileExists(path)) throw;
    file = fileSystem.Open(path, env::TOpenMode::kCreate);
  }
  const std::string text = std::string(line) + "\r\n";
  file->WriteAt(file->Size(), AsBytes(text));
  file->Close();
}

void TMainForm::WriteRunReport() {
  const std::string folder = installation::GetDataFolder();
  auto& fileSystem = env::DefaultFileSystem();
  const bool runStarted = RunState.RunStartTime != 0;
  // A verify-only run saves its own report, never in the data folder.
  if (RunOption("VERIFY")) return;
  if (!runStarted || folder.empty() || !fileSystem.FolderExists(folder) || ReportWritten) return;
  WriteOutcomesJson(folder);
  SaveLines(fileSystem, folder + std::string(kRunLogName), LogFileMemo.lines);
  if (ClipboardChk.checked) view_.SetClipboardText(JoinLines(LogFileMemo.lines));
  AppendTextLine(fileSystem, folder + std::string(kHistoryName), HistoryLine(RunState));
  ReportWritten = true;
}

void TMainForm::WriteOutcomesJson(const std::string& dataFolder) {
  // Only beside what the run set aside: a run that changed nothing leaves
  // no Rejected folder behind.
  const std::string rejected = dataFolder + Repair.RejectedFolderName();
  auto& fileSystem = env::DefaultFileSystem();
  if (!fileSystem.FolderExists(rejected)) return;
  repair::TFindingsReport report{"repair", dataFolder, RunState.RunStartText, {}};
  for (const repair::TTableOutcome& outcome : RunState.TableOutcomes) {
    repair::TTableReport& table = report.tables.emplace_back();
    table.table = outcome.table;
    table.verdict = std::string(repair::VerdictName(repair::JudgeTable(repair::TTableFindings{}, outcome)));
    table.action = repair::PredictionFindings(outcome).front().args.front();
  }
  try {
    SaveText(fileSystem, rejected + std::string(kOutcomesName), repair::FindingsJson(report));
  } catch (const env::ERemdoError& error) {
    LogLine("~  -- the table outcomes could not be saved: " + std::string(error.what()));
  }
}

void TMainForm::WriteRunReportOnClose() {
  try {
    WriteRunReport();
  } catch (const env::ERemdoError&) {
    ShowUncaughtError(std::current_exception());
  }
}

}  // namespace remdo::app
