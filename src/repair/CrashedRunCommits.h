// The commits that a crash cut short inside a repair run, settled at the
// next start before the engine connects. The engine's own settlement would
// delete the aside files of a commit rolled forward; when the latest run
// never ended and such a file still holds what the data folder held at that
// run's start, it goes into the run's Before\ folder instead, with its line
// in the run's manifest, so that an undo of that run can put it back.
#ifndef REMDO_REPAIR_CRASHEDRUNCOMMITS_H_
#define REMDO_REPAIR_CRASHEDRUNCOMMITS_H_

#include <string>
#include <vector>

namespace remdo::repair {

// dataFolder has a trailing separator; folders (trailing separators) are
// the folders below it whose markers are settled (the data folder and its
// save folder). Markers of a run that ended, or of no run, are left to the
// engine; a refused marker stays as it is. Returns the lines for the log
// file. Never throws: what cannot be kept is left to the engine.
std::vector<std::string> SettleCrashedRunCommits(const std::string& dataFolder,
                                                 const std::vector<std::string>& folders);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_CRASHEDRUNCOMMITS_H_
