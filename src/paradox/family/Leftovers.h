// The files of ours that only an interrupted run leaves in a table folder:
// commit markers, journals (and journals set aside), table files written
// under a temporary name or moved aside, sorting runs and file copies in
// progress. One list, read by the repair's root causes and the verify run.
#ifndef REMDO_PARADOX_FAMILY_LEFTOVERS_H_
#define REMDO_PARADOX_FAMILY_LEFTOVERS_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::paradox {

struct TLeftover {
  std::string name;       // as on disk, without folder
  std::string_view what;  // "commit marker", "journal", "file of a commit", "temporary file"
};

// The leftovers in folder (with a trailing separator), each once, in the
// order of their kinds. scratchPatterns name the caller's own scratch files
// ("temptbl1.*"), found as temporary files after the engine's own kinds.
// Other programs' files are not listed, though their names end alike
// ("notes.txt.new"). A folder that cannot be searched has none.
std::vector<TLeftover> FindLeftovers(env::TFileSystem& fileSystem, const std::string& folder,
                                     std::span<const std::string_view> scratchPatterns = {});

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FAMILY_LEFTOVERS_H_
