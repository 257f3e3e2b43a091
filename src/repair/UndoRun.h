// The undo of the latest repair run that has a manifest: the data folder
// (the save folder included) and the settings files the run wrote are put
// back as they were before it. Table by table (a table's family of files,
// in the data folder or the save folder), each through a family commit:
// the files the run created go, the kept ones come back (first renamed
// beside their place as "<name>.undo", then adopted by the commit), their
// attributes and times are restored, and the table's line "undone" goes
// into the manifest. A crash thus leaves each table old or new, and the
// next undo carries on with the tables not yet marked. When every table is
// back the run's folder is renamed "<run>-undone".
//
// Before anything changes, every file the run wrote is compared with the
// state the run left (size and time): when the catalogue was used since,
// the undo asks whether the later changes to those tables may be lost, and
// on No changes nothing.
#ifndef REMDO_REPAIR_UNDORUN_H_
#define REMDO_REPAIR_UNDORUN_H_

#include <optional>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "repair/RunReporter.h"

namespace remdo::repair {

inline constexpr std::string_view kUndoneSuffix = "-undone";
inline constexpr std::string_view kStagedSuffix = ".undo";

// kRefused: the user would not lose the later changes (answered No).
enum class TUndoResult { kNothingToUndo, kRefused, kDone, kFailed };

struct TUndoOutcome {
  TUndoResult result = TUndoResult::kNothingToUndo;
  std::string run;                  // the run's folder name ("20240131-154502")
  std::vector<std::string> failed;  // tables that could not be put back
};

// The latest run folder below rejected (a trailing separator) with a
// manifest that is not undone yet.
std::optional<std::string> LatestRun(env::TFileSystem& fs, const std::string& rejected);

// dataFolder has a trailing separator. Logs one line per table put back.
TUndoOutcome UndoLatestRun(TRunReporter& run, const std::string& dataFolder);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_UNDORUN_H_
