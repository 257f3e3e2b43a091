// Whether a folder holds the whole data set, and whether a copied data set
// arrived whole. The relocation out of Program Files retires the old tables
// only when both answers are yes, so that no table is left behind in a
// folder that is no longer searched.
#ifndef REMDO_ENV_COMPLETEDATASET_H_
#define REMDO_ENV_COMPLETEDATASET_H_

#include <string>
#include <string_view>
#include <vector>

namespace remdo::env {

// The 26 files a complete data set holds.
extern const std::vector<std::string_view> kCompleteDataSetFiles;

// True when folder exists and holds every file of kCompleteDataSetFiles as
// a plain file (names compared without regard to case; hidden and
// read-only files count).
bool HasCompleteDataSet(std::string_view folder);

// The tables ("*.db") of the source folders that did not arrive whole in
// target: missing there, or of another size than their source. A table in
// more than one source folder comes from the last of them (the copy that
// overwrote the others). Each entry is the table's path in target. Empty
// source folders are skipped.
std::vector<std::string> TablesNotCopiedWhole(const std::vector<std::string>& sourceFolders, std::string_view target);

}  // namespace remdo::env

#endif  // REMDO_ENV_COMPLETEDATASET_H_
