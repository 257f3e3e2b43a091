// Set-up of the host the program runs on. On Linux the program can work on
// data inside a Wine prefix: the prefix's registry files fill the
// registry store and its dosdevices fill the drive table, so that
// "C:\Data\" means the prefix's drive_c/Data. A registry file exported on
// Windows can fill the store as well. On Windows every call here refuses:
// the registry and the drives are the system's own.
#ifndef REMDO_ENV_HOST_H_
#define REMDO_ENV_HOST_H_

#include <string_view>

#include "env/FileSystem.h"

namespace remdo::env {

enum class THost { kWindows, kPosix };
THost CurrentHost();

// Loads the prefix's system.reg (machine keys) and user.reg (user keys) into
// the registry store, replaces the drive table with the prefix's drive
// letters, and starts Windows programs under Wine in that prefix from now
// on. The reason names the file and what is wrong with it. Call it before
// the data folder is first asked for: the system look-ups are asked afresh,
// a located data folder is kept.
TIoResult UseWinePrefix(std::string_view prefixFolder);
// True once UseWinePrefix has succeeded (never on Windows). Registry writes
// then go into the prefix's registry files (refused while Wine runs in it).
bool UsesWinePrefix();
// Fills the drive table from the prefix's dosdevices only (letters already
// mapped but absent from the prefix stay).
TIoResult LoadWineDrives(std::string_view prefixFolder);
// Merges a registry file (Wine's own format, or a regedit export of version
// 4 or 5) into the registry store.
TIoResult LoadRegistryFile(std::string_view path);

// Where deleted files go on Linux: the trash folder (holding files/ and
// info/). Empty restores the user's own ($XDG_DATA_HOME/Trash).
void SetTrashFolder(std::string_view hostFolder);
// The folder listing the processes on Linux; empty restores /proc.
void SetProcessFolder(std::string_view hostFolder);

// Back to the state at process start: an empty registry store, an empty
// drive table, no prefix, the user's own trash and /proc.
void ResetHost();

}  // namespace remdo::env

#endif  // REMDO_ENV_HOST_H_
