// Keeping other programs out of files for a while: a held file is open in
// this program with no sharing, so that no other program, on this computer
// or on another one using the same network folder, can open it until the
// hold is released. This program's own calls on a held file go through the
// held handle, which the file system backend keeps: an open gets a copy of
// it, and a rename or a deletion is made through it, so the hold never lets
// go of a file the program itself works on. A held name is held again as
// soon as a file arrives there (renamed in or created).
//
// Windows holds; the posix backend has no sharing modes to hold with, and
// every call there is a no-op that reports success.
#ifndef REMDO_ENV_FILEHOLDS_H_
#define REMDO_ENV_FILEHOLDS_H_

#include <functional>
#include <string_view>

#include "env/FileSystem.h"

namespace remdo::env {

// Holds the file at path, or its name when no file is there yet. Fails
// with the OS's error when the file exists and cannot be held: a sharing
// (or lock) violation means another program has it open.
TIoResult HoldFile(std::string_view path);
// Lets go of every held file and name.
void ReleaseHeldFiles();

// The OS's error numbers that say another program has a file open.
bool IsHeldByAnother(const TIoResult& result);

// HoldFile unless a test installed another holder (one that sees a
// redirected drive as the test's file system does). An empty function
// restores HoldFile.
using TFileHolder = std::function<TIoResult(std::string_view path)>;
TIoResult HoldWithoutSharing(std::string_view path);
void InstallFileHolder(TFileHolder holder);

}  // namespace remdo::env

#endif  // REMDO_ENV_FILEHOLDS_H_
