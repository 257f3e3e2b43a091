// What commonly damages the catalogue's tables, or makes the catalogue see
// other data than the repair does, as found in the data folder and the
// machine's set-up before anything is changed: the engine's lock files and
// network control files (PDOXUSRS.NET) and the "NET DIR" configured for the
// installed engine, VirtualStore twins of the tables, a data folder under
// Program Files on a later Windows, read-only table files, and files left
// by an interrupted run. A repair run writes these lines to its log file
// only; a verify-only run shows them.
#ifndef REMDO_REPAIR_ROOTCAUSES_H_
#define REMDO_REPAIR_ROOTCAUSES_H_

#include <string>
#include <vector>

namespace remdo::repair {

// The report's lines for dataFolder (with a trailing separator), without a
// "~": a heading line, then one line per finding, each starting with four
// blanks. The lock files and "NET DIR" are always reported, present or not;
// the other causes only when found. Reads only: it writes, creates and
// deletes nothing, the engine's configuration included. Never throws; a
// look-up that fails counts as nothing found.
std::vector<std::string> FindRootCauses(const std::string& dataFolder);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_ROOTCAUSES_H_
