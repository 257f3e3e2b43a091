// What the relocation out of Program Files copies, and the copy itself: a
// folder's tables, memo and index files, the catalogue's companion programs
// that exist there and this program, each copy followed by the cover
// pictures of its source folder.
#ifndef REMDO_INSTALLATION_RELOCATIONLIST_H_
#define REMDO_INSTALLATION_RELOCATIONLIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace remdo::installation {

// The files of folder (with a trailing separator) to copy, in this order:
// the patterns "*.db", "*.mb", "*.px", "*.x0?", "*.y0?"; those of "FENRO
// notes.txt", "FenroRemdo.exe", "UpdateWatcher.exe", "FeJumper.exe" and
// "FENROreinstaller.exe" that exist there; last the running program file.
std::vector<std::string> BuildRelocationList(std::string_view folder);

// Copies the list into target (a folder with a trailing separator) through
// the shell without replacing first, and then the "CoverPix" folder beside
// the list's first entry, when there is one, into target's "CoverPix\". A
// list whose first entry matches no plain file copies nothing and succeeds.
// The result is the first copy's: true when every file arrived; a failed
// picture copy does not count.
bool CopyWithPictures(const std::vector<std::string>& entries, std::string_view target);

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_RELOCATIONLIST_H_
