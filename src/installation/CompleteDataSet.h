// Whether a folder holds the whole data set, and whether a copied data set
// arrived whole. The relocation out of Program Files retires the old tables
// only when both answers are yes, so that no table is left behind in a
// folder that is no longer searched.
#ifndef REMDO_INSTALLATION_COMPLETEDATASET_H_
#define REMDO_INSTALLATION_COMPLETEDATASET_H_

#include <string>
#include <string_view>
#include <vector>

namespace remdo::installation {

// The 26 files a complete data set holds.
extern const std::vector<std::string_view> kCompleteDataSetFiles;

// True when folder exists and holds every file of kCompleteDataSetFiles as
// a plain file (names compared without regard to case; hidden and
// read-only files count).
bool HasCompleteDataSet(std::string_view folder);

// The files that did not arrive whole in target: every plain file the
// entries (full paths or patterns) match, missing there or of another size
// than its source. A name matched by more than one entry comes from the
// last of them (the copy that overwrote the others). Each entry of the
// answer is the file's name as its source lists it.
std::vector<std::string> FilesNotCopiedWhole(const std::vector<std::string>& entries, std::string_view target);

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_COMPLETEDATASET_H_
