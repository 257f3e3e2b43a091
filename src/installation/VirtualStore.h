// The per-user VirtualStore twin of a folder under Program Files. On Vista
// and later a write by an older program into Program Files is diverted to
// the Local AppData folder followed by "VirtualStore\" and the path without
// its drive root, so the catalogue's newest tables may lie there rather
// than in its own folder.
#ifndef REMDO_INSTALLATION_VIRTUALSTORE_H_
#define REMDO_INSTALLATION_VIRTUALSTORE_H_

#include <string>
#include <string_view>

namespace remdo::installation {

// The twin of folder itself (the folder the data set was found in), with a
// trailing separator; empty when folder is not under Program Files, does
// not start with a drive root such as "C:\", or the Local AppData folder is
// unknown. Whether the twin exists is not asked.
std::string VirtualStoreTwinOf(std::string_view folder);

// The twin of the catalogue's own install folder: the Program Files folder
// followed by "FENRO\FENRO\" when that folder exists, else followed by
// "FENRO\" when that one exists; empty when neither exists. It says where an
// older catalogue started from Program Files would read its tables, whatever
// the data folder; the relocation asks VirtualStoreTwinOf instead. Worked out
// on the first call and kept for the life of the process.
std::string GetVirtualStoreFolder();

// Forgets the kept answer, as at process start (tests).
void ForgetVirtualStoreFolder();

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_VIRTUALSTORE_H_
