// The state that one repair run shares between its steps: counters, the
// lists of failed and recovered tables, and the flags the steps set for one
// another. The progress window owns it for the life of the process; the
// steps read and write it through the run reporter.
#ifndef REMDO_REPAIR_RUNSTATE_H_
#define REMDO_REPAIR_RUNSTATE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace remdo::repair {

// One field of a table's record layout: its byte offset within the record
// (the sum of the sizes before it) and its byte size.
struct TFieldLayout {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// The record layout of the table a rebuild opened last, as its header gives
// it. The recovery steps read it to place key and field bytes.
struct TTableLayout {
  std::uint16_t recordSize = 0;
  std::int32_t headerCount = 0;  // record count stored in the header
  std::uint16_t fieldCount = 0;
  std::uint16_t keyFieldCount = 0;
  std::vector<TFieldLayout> fields;  // field n at index n - 1
};

// Where the window's start of the run stands: created, painted once, run
// started. The timer starts the run only in kPainted.
enum class TStartState { kCreated = 0, kPainted = 1, kStarted = 2 };

// What one table's check came to, as the run's own steps decided it. A
// verify-only run reads these from its repair run on a scratch copy.
struct TTableOutcome {
  std::string table;
  // The check's result, and whether it counted a failure.
  bool ok = false;
  bool failed = false;
  // The rebuild passed over blocks, met a read error, or read another
  // number of records than the header gives.
  bool damageSeen = false;
  // Records the engine refused while rebuilding (kept as rejected).
  std::int64_t refused = 0;
  // The recovery from the secondary index files ran, and how many records
  // it gave back.
  bool indexRecovery = false;
  std::int64_t fromIndexes = 0;
  // The saved copy's records were merged back.
  bool merged = false;
  // Records the rebuild could not transfer (MissingRecords at the end).
  std::int32_t missing = 0;
  // A missing folder table was created anew and refilled from the folder
  // index (no check ran).
  bool recreated = false;

  bool operator==(const TTableOutcome&) const = default;
};

struct TRunState {
  // True while the run may go on; cleared by Cancel, by the application
  // ending and at the end of the run.
  bool Running = false;
  TStartState StartState = TStartState::kCreated;
  // The start of the run in the system's short date and long time format.
  std::string RunStartText;
  // The start of the run in seconds since 1970-01-01 UTC; 0 before a run.
  // It names the run's folder of rejected records.
  std::int64_t RunStartTime = 0;
  // Tables that failed; a retry that repairs a folder table takes one back.
  std::int32_t FailureCount = 0;
  // Names of failed tables, joined by ",".
  std::string FailedTables;
  // Names of tables into which lost records were recovered, joined by ",".
  std::string RecoveredTables;
  // The table whose check is under way, or ran last; an error that ends
  // the run is counted against it.
  std::string TableUnderWay;
  // Books whose title was recovered while Genre or Reissues could not be
  // opened: their genre tokens or reissue date are filled once that
  // table's own check has run.
  std::vector<std::int32_t> BooksAwaitingGenres;
  std::vector<std::int32_t> BooksAwaitingReissueDates;
  // Records the last rebuild could not transfer.
  std::int32_t MissingRecords = 0;
  // The last rebuild's header count was negative, or 0 over records found:
  // how many records the table lost is unknown.
  bool RecordCountUnknown = false;
  // Whether the recovery steps after a table's check have anything to look for.
  bool RecordsMayBeMissing() const { return MissingRecords > 0 || RecordCountUnknown; }
  bool ExpandedTitlesOk = false;
  bool BooksOk = false;
  // Once set, every later rebuild of an earlier-format folder table in the
  // run converts it to the current folder layout.
  bool ConvertFolderTables = false;
  // The run folder name of a repair run this run undid; empty otherwise.
  std::string UndoneRun;
  // The run ended because it was stopped.
  bool Interrupted = false;
  TTableLayout CurrentLayout;
  // One entry per table whose check got as far as its "Checking" line, and
  // per folder table created anew, in the order of the run.
  std::vector<TTableOutcome> TableOutcomes;
  // Start-up installed the program file into the data folder, or the data
  // folder asks for the catalogue application to be started after the run.
  bool InstalledMark = false;
};

// Appends name to a list of names joined by "," (FailedTables,
// RecoveredTables).
void AppendToNameList(std::string& list, const std::string& name);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_RUNSTATE_H_
