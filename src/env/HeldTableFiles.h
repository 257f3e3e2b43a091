// Table files that another program has open: where the lock files do not
// tell (an engine elsewhere that keeps its lock files in another folder, a
// program on another computer of a network folder), a table the catalogue
// has open is still open. On Windows the same open without sharing that
// probes a lock file tells it, over a network drive too: the file server
// answers for every computer. Linux cannot see a program on another
// computer, and would scan every process for each file: it asks nothing.
#ifndef REMDO_ENV_HELDTABLEFILES_H_
#define REMDO_ENV_HELDTABLEFILES_H_

#include <functional>
#include <string_view>
#include <vector>

#include "env/LockProbe.h"

namespace remdo::env {

// Whether the platform's probe tells a table file that another program
// has open (Windows), so that the table files are worth asking about.
bool ProbeSeesTableHolders();

// The files of folder that isTableFile names (by name, without folder) and
// that another program holds, each probed as a lock file is; none where
// ProbeSeesTableHolders is false. A file found held is asked again a few
// times, so that a scanner's moment on it does not count. Never throws.
std::vector<TProbedFile> FindHeldTableFiles(std::string_view folder,
                                            const std::function<bool(std::string_view name)>& isTableFile);

}  // namespace remdo::env

#endif  // REMDO_ENV_HELDTABLEFILES_H_
