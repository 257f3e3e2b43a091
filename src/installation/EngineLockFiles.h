// The database engine's lock files in a data folder. The engine marks a
// folder it uses with PDOXUSRS.LCK and PARADOX.LCK and each table it has
// open with a per-table .LCK; its network control file PDOXUSRS.NET lies in
// the folder configured as "NET DIR". Whether a program holds one is the
// platform's lock probe (env/LockProbe.h).
#ifndef REMDO_INSTALLATION_ENGINELOCKFILES_H_
#define REMDO_INSTALLATION_ENGINELOCKFILES_H_

#include <string>
#include <string_view>
#include <vector>

#include "env/LockProbe.h"

namespace remdo::installation {

using TLockFile = env::TProbedFile;

// The lock files the engine keeps in a data folder it uses.
inline constexpr std::string_view kFolderLockFiles[] = {"PDOXUSRS.LCK", "PARADOX.LCK"};

// Every *.LCK file of folder (PDOXUSRS.LCK, PARADOX.LCK and the per-table
// ones), each probed, in the order the folder lists them. Never throws.
std::vector<TLockFile> FindLockFiles(std::string_view folder);

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_ENGINELOCKFILES_H_
