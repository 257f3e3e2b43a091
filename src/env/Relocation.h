// The move of a data set out of the protected Program Files folder, offered
// when the catalogue's installer or updater starts this program on Vista or
// later. Locating the data folder calls it once, before the folder is final.
#ifndef REMDO_ENV_RELOCATION_H_
#define REMDO_ENV_RELOCATION_H_

#include <string>
#include <string_view>

namespace remdo::env {

// Given the located data folder (with a trailing separator), returns the
// data folder to use from now on: the old one, or the preferred data folder
// once the data set has moved there. Calls SetRelocationFailed when the
// preferred folder cannot be created. It runs inside the first data folder
// query, so it must not call GetDataFolder or GetCatalogueProgramPath.
std::string RelocateFromProgramFiles(std::string_view oldFolder);

}  // namespace remdo::env

#endif  // REMDO_ENV_RELOCATION_H_
