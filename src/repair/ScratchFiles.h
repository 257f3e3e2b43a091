// The repair's own scratch files: the check's scratch table (temptbl1.*),
// the sorting runs of a table being loaded (*.runs.new) and file copies in
// progress (*.~cp). None of them is kept on purpose (the recovery table
// RecTbl and the rejected records' temp-*.db tables are), so they go when
// a run ends, and a run that was ended by force leaves them for the next
// run to remove.
#ifndef REMDO_REPAIR_SCRATCHFILES_H_
#define REMDO_REPAIR_SCRATCHFILES_H_

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "repair/RunReporter.h"

namespace remdo::repair {

// The check's scratch table, by its files: the repair's own leftover beside
// the engine's (paradox/family/Leftovers.h).
inline constexpr std::array<std::string_view, 1> kScratchTablePatterns = {"temptbl1.*"};

// Removes the scratch files from the data folder and the save folder and
// returns the names of those removed. A file that cannot be removed is
// left; nothing is thrown.
std::vector<std::string> RemoveScratchFiles();

// At the start of a run: removes what an earlier run left behind and, when
// there was something, names it in one line of the log file.
void RemoveLeftoverScratchFiles(TRunReporter& run);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_SCRATCHFILES_H_
