// The Win32 file system's side of the holds (env/FileHolds.h): the calls
// it hands over when they concern a held file or name. Each answers
// nothing when the path is none of the holds' business, so that the caller
// goes the ordinary way; otherwise the call is done, and a failure leaves
// its error in GetLastError. Private to the Win32 backend.
#ifndef REMDO_ENV_WIN32_WIN32FILEHOLDS_H_
#define REMDO_ENV_WIN32_WIN32FILEHOLDS_H_

#include <windows.h>

#include <optional>
#include <string_view>

#include "env/FileSystem.h"

namespace remdo::env::win32 {

// A handle of its own (to be closed by the caller) on the held file, with
// the access the mode asks for; INVALID_HANDLE_VALUE on failure.
std::optional<HANDLE> OpenHeld(std::string_view path, TOpenMode mode);
// A rename of a held file, or onto a held name, made through the handle
// that holds the file, which then holds it under its new name.
std::optional<bool> RenameHeld(std::string_view from, std::string_view to, bool replace);
// A deletion of a held file through its hold.
std::optional<bool> RemoveHeld(std::string_view path);

}  // namespace remdo::env::win32

#endif  // REMDO_ENV_WIN32_WIN32FILEHOLDS_H_
