// The per-user VirtualStore twin of the catalogue's folder under Program
// Files. On Vista and later a write by an older program into Program Files
// is diverted to the Local AppData folder followed by "VirtualStore\" and
// the path without its drive root, so the catalogue's newest tables may lie
// there rather than in its own folder.
#ifndef REMDO_ENV_VIRTUALSTORE_H_
#define REMDO_ENV_VIRTUALSTORE_H_

#include <string>

namespace remdo::env {

// The twin of the Program Files folder followed by "FENRO\FENRO\" when that
// folder exists, else of the Program Files folder followed by "FENRO\" when
// that one exists, with a trailing separator; empty when neither exists or
// the Program Files or Local AppData folder is unknown. Worked out on the
// first call and kept for the life of the process; whether the twin itself
// exists is not asked.
std::string GetVirtualStoreFolder();

// Forgets the kept answer, as at process start (tests).
void ForgetVirtualStoreFolder();

}  // namespace remdo::env

#endif  // REMDO_ENV_VIRTUALSTORE_H_
