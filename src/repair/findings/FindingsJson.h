// The machine-readable form of a check's findings: one JSON document with
// an object per finding and one per table outcome, for scripts that watch a
// catalogue. The fields are listed in README ("The verify run's JSON
// report"); text fields are UTF-8.
#ifndef REMDO_REPAIR_FINDINGS_FINDINGSJSON_H_
#define REMDO_REPAIR_FINDINGS_FINDINGSJSON_H_

#include <string>
#include <vector>

#include "repair/findings/Finding.h"

namespace remdo::repair {

// One table's part of the report. table is empty for findings about the
// whole run (no data folder, a refused write).
struct TTableReport {
  std::string table;
  std::vector<TFinding> findings;
  // The table's outcome: "sound", "repairable", "loss" or "unreadable";
  // empty for the run's own findings.
  std::string verdict;
  // What a repair would do or did, in words ("rebuild it").
  std::string action;
};

struct TFindingsReport {
  std::string run;         // "verify" or "repair"
  std::string dataFolder;  // as the run saw it, with its separator
  std::string started;     // the run's start as the log shows it
  std::vector<TTableReport> tables;
};

// The whole document, ending in a line break.
std::string FindingsJson(const TFindingsReport& report);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_FINDINGS_FINDINGSJSON_H_
