// The verify-only run (the run option VERIFY): the heading and environment
// report of a run, the leftovers of interrupted runs, then every table of
// the run's sequence with what the raw walk finds and what a repair would
// do, and a summary. Nothing in the data folder is written and the engine
// never connects to it: the predictions come from a repair run on a
// scratch copy (ScratchRepair.h). The report goes to a file instead of
// Remdo.log.
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "app/MainForm.h"
#include "app/RunReport.h"
#include "app/ScratchRepair.h"
#include "catalogue/TableCatalogue.h"
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "env/WriteConfinement.h"
#include "installation/DataFolder.h"
#include "paradox/family/Leftovers.h"
#include "repair/RootCauses.h"
#include "repair/ScratchFiles.h"
#include "repair/TableSequence.h"
#include "repair/findings/FindingsJson.h"
#include "repair/verify/Prediction.h"
#include "repair/verify/TableFindings.h"

namespace remdo::app {

namespace {

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

struct TVerifyTable {
  std::string displayName;
  std::string tableName;
  std::int32_t structureNumber = 0;
};

// The tables of the run's sequence, then the folder tables in the data
// folder, then those only the scratch repair met (recreated ones).
std::vector<TVerifyTable> TablesToVerify(const std::string& dataFolder, const TScratchRepair& scratch) {
  const bool current = catalogue::IsCurrentLayout();
  auto& fileSystem = env::DefaultFileSystem();
  std::vector<TVerifyTable> tables;
  for (const auto& row : repair::SequenceRows(current)) {
    if (row.tableName == "Auth0001" && !fileSystem.FileExists(dataFolder + "Auth0001.db")) continue;
    tables.push_back({std::string(row.displayName), std::string(row.tableName), row.structureNumber});
  }
  std::vector<std::pair<int, std::string>> folders;
  for (const auto& entry : fileSystem.Find(dataFolder + "Fldr*.db", env::attr::kAnyFile)) {
    if (const auto number = catalogue::FolderTableNumber(entry.name)) {
      folders.emplace_back(*number, entry.name.substr(0, entry.name.size() - 3));
    }
  }
  for (const auto& outcome : scratch.outcomes) {
    if (const auto number = catalogue::FolderTableNumber(outcome.table + ".db"))
      folders.emplace_back(*number, outcome.table);
  }
  std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  folders.erase(
      std::unique(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
      folders.end());
  for (const auto& [number, name] : folders) {
    tables.push_back({name, name, repair::StructureOfTable(name, current)});
  }
  return tables;
}

// The last outcome the scratch repair recorded for the table (a folder
// table's retries each record one).
std::optional<repair::TTableOutcome> OutcomeOf(const TScratchRepair& scratch, const std::string& table) {
  for (auto it = scratch.outcomes.rbegin(); it != scratch.outcomes.rend(); ++it) {
    if (env::SameText(it->table, table)) return *it;
  }
  return std::nullopt;
}

}  // namespace

bool TMainForm::RunVerify() {
  const std::string dataFolder = installation::GetDataFolder();
  // Whatever the run does, nothing but the scratch copy and the report is
  // written: any other write is refused, and listed at the end.
  const env::TWriteConfinement confinement({ScratchFolderStem(), VerifyReportPath(), VerifyJsonPath()});
  SetRunning(true);
  RunState.RunStartTime = Now();
  RunState.RunStartText = DateTimeText(RunState.RunStartTime);
  SetChoicesForRun();
  WriteHeading();
  LogLine("VERIFY ONLY: nothing is changed");
  LogLine("");
  WriteEnvironmentReport(dataFolder);
  // The first entry holds the findings about the whole run.
  repair::TFindingsReport report{"verify", dataFolder, RunState.RunStartText, {{}}};
  bool damaged = false;
  if (dataFolder.empty() || !env::DefaultFileSystem().FolderExists(dataFolder)) {
    LogFinding(report.tables.front(), repair::MakeFinding(repair::TFindingCode::kNoDataFolder));
    damaged = true;
  } else {
    // The root causes are shown here, and lock files only reported: this
    // run deletes none of them.
    const auto causes = repair::FindRootCauses(dataFolder);
    for (const std::string& line : causes) LogLine(line);
    if (!causes.empty()) LogLine("");
    damaged = ReportLeftovers(dataFolder);
    SetMessage("Repairing a copy of the data folder...");
    const TScratchRepair scratch = RunScratchRepair(commandLine_, view_, tableSequence_, dataFolder);
    SetMessage("");
    if (!scratch.made) LogLine("Predictions left out: " + scratch.reason + ".");
    if (!scratch.runError.empty()) {
      LogFinding(report.tables.front(), repair::MakeFinding(repair::TFindingCode::kRepairRunWouldFail, {scratch.runError}));
    }
    damaged = VerifyTables(dataFolder, scratch, report) || damaged || !scratch.runError.empty();
  }
  for (const std::string& refused : confinement.Refused()) {
    LogFinding(report.tables.front(), repair::MakeFinding(repair::TFindingCode::kWriteRefused, {refused}));
  }
  if (!KeepGoing()) {
    LogLine("...program stopped.");
    RunState.Interrupted = true;
  }
  ShowEndOfRun();
  Panel2.enabled = true;
  SaveVerifyReport(report);
  SetRunning(false);
  view_.Update();
  return damaged;
}

bool TMainForm::ReportLeftovers(const std::string& dataFolder) {
  const auto leftovers = paradox::FindLeftovers(env::DefaultFileSystem(), dataFolder, repair::kScratchTablePatterns);
  if (leftovers.empty()) return false;
  LogLine("Left by an interrupted run (a repair run settles them first):");
  for (const auto& leftover : leftovers) LogLine("    " + leftover.name + " (" + std::string(leftover.what) + ")");
  LogLine("");
  return true;
}

void TMainForm::LogFinding(repair::TTableReport& table, repair::TFinding finding) {
  for (const std::string& line : repair::FindingLines(finding)) LogLine(line);
  table.findings.push_back(std::move(finding));
}

bool TMainForm::VerifyTables(const std::string& dataFolder, const TScratchRepair& scratch,
                             repair::TFindingsReport& report) {
  std::vector<repair::TVerdict> verdicts;
  const bool selecting = RunOption("TABLENAME");
  for (const TVerifyTable& table : TablesToVerify(dataFolder, scratch)) {
    if (!KeepGoing()) break;
    if (selecting && !RunOption(env::UpperCase(table.tableName))) continue;
    LogLine("Checking " + table.displayName + "...");
    repair::TTableReport& entry = report.tables.emplace_back();
    entry.table = table.tableName;
    std::optional<repair::TTableFindings> findings;
    if (env::DefaultFileSystem().FileExists(dataFolder + table.tableName + ".db")) {
      findings = repair::FindTableDamage(dataFolder + table.tableName + ".db", table.structureNumber);
      for (const auto& finding : findings->findings) LogFinding(entry, finding);
    } else {
      LogFinding(entry, repair::MakeFinding(repair::TFindingCode::kTableNotFound, {table.tableName}));
    }
    const auto outcome = OutcomeOf(scratch, table.tableName);
    // A table the data folder lacks and the repair checked was taken back
    // from the save folder first.
    if (!findings && outcome && !outcome->recreated) {
      LogFinding(entry, repair::MakeFinding(repair::TFindingCode::kRepairWouldTakeSavedCopy));
    }
    if (outcome) {
      auto predicted = repair::PredictionFindings(*outcome, findings && findings->damaged);
      entry.action = predicted.front().args.front();
      for (auto& finding : predicted) LogFinding(entry, std::move(finding));
    } else if (scratch.made) {
      LogFinding(entry, repair::MakeFinding(repair::TFindingCode::kRepairWouldNotCheck));
    }
    verdicts.push_back(repair::JudgeTable(findings, outcome));
    entry.verdict = std::string(repair::VerdictName(verdicts.back()));
  }
  LogLine("");
  LogLine("Tables: " + repair::SummaryLine(verdicts));
  LogLine("");
  return std::any_of(verdicts.begin(), verdicts.end(),
                     [](repair::TVerdict v) { return v != repair::TVerdict::kSound; });
}

std::string TMainForm::VerifyReportPath() const {
  if (verifyReportFile_) return *verifyReportFile_;
  const std::string documents = env::GetPersonalFolder();
  return documents.empty() ? std::string() : documents + "Remdo verify.txt";
}

std::string TMainForm::VerifyJsonPath() const {
  if (verifyReportFile_) return *verifyReportFile_ + ".json";
  const std::string documents = env::GetPersonalFolder();
  return documents.empty() ? std::string() : documents + "Remdo verify.json";
}

void TMainForm::SaveVerifyReport(const repair::TFindingsReport& report) {
  const std::string path = VerifyReportPath();
  if (path.empty()) return;
  LogLine("Report saved as " + path);
  try {
    SaveLines(env::DefaultFileSystem(), path, LogFileMemo.lines);
    SaveText(env::DefaultFileSystem(), VerifyJsonPath(), repair::FindingsJson(report));
  } catch (const env::ERemdoError& error) {
    LogLine("  -- the report could not be saved: " + std::string(error.what()));
  }
}

}  // namespace remdo::app
