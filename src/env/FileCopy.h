// Copies through the file-system interface, for the places that copy
// without the shell: a settings file started from another, and the Linux
// counterpart of the shell's multi-file copy. A copy is written under a
// temporary name beside the target, flushed, and then renamed over it, so a
// failed copy never leaves a half-written target.
#ifndef REMDO_ENV_FILECOPY_H_
#define REMDO_ENV_FILECOPY_H_

#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::env {

// The last-write time a copy gets: the source's, or the time of copying
// (what the backup's age rule reads).
enum class TCopyTime { kSourceTime, kTimeOfCopy };

// Copies one file byte for byte, replacing an existing target. Throws
// EFOpenError when the source cannot be opened, EFCreateError when the
// target cannot be created, EReadError or EWriteError when a read, write,
// flush or the final rename fails; every message names the file. The target
// stays as it was on every failure.
void CopyWholeFile(TFileSystem& fileSystem, std::string_view from, std::string_view to,
                   TCopyTime time = TCopyTime::kSourceTime);

// Creates a folder and its missing parents; true when it exists afterwards.
bool MakeFolders(TFileSystem& fileSystem, std::string_view folder);

// Removes a folder with everything below it, read-only files included;
// false when anything stayed.
bool RemoveFolderTree(TFileSystem& fileSystem, std::string_view folder);

// Copies a folder with everything in it into target (created when
// missing), overwriting files there. Throws as CopyWholeFile.
void CopyFolderTree(TFileSystem& fileSystem, std::string_view from, std::string_view to);

// The shell's multi-file copy done with the above (see TShell::CopyFiles for
// the rules). False when any file did not arrive; the errors are not thrown.
bool CopyFilesPlainly(TFileSystem& fileSystem, const std::vector<std::string>& sources, std::string_view target);

}  // namespace remdo::env

#endif  // REMDO_ENV_FILECOPY_H_
