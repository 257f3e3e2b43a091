// Where the catalogue's data folder is. The folder is located once per
// process, on the first query, from the catalogue's settings file, the
// program's own folder, and a fixed list of candidate folders, and then kept.
// A query never moves anything: moving the data set out of Program Files is
// a step of its own, taken by an installer start before anything else asks.
// A folder qualifies when it holds "BookInx.db"; a folder from the settings
// or the program folder is taken without searching only when it also holds
// "LOCNAMES.DB". Locating also derives the path of the catalogue program and
// notes whether a second data set sits under the Program Files folder.
//
// All file tests go through DefaultFileSystem(); the folders come from
// env/SystemInfo.h. Nothing here shows a message: callers report an empty
// data folder themselves.
#ifndef REMDO_INSTALLATION_DATAFOLDER_H_
#define REMDO_INSTALLATION_DATAFOLDER_H_

#include <string>
#include <string_view>

namespace remdo::installation {

// The data folder with a trailing separator, or empty when none was found
// (and always empty after a failed relocation). The first call locates it.
std::string GetDataFolder();
// Locates the data folder as GetDataFolder does, except that on Vista and
// later a data set found under Program Files is first moved to the preferred
// folder (RelocateFromProgramFiles, with its questions). Only a start by the
// catalogue's installer or updater calls it, before any other query; when
// the folder is already known it only returns it.
std::string LocateDataFolderAtInstallerStart();
// Fixes the data folder before the first query (the installer's "main"
// start); the search then never runs. A trailing separator is added.
void SetDataFolder(std::string_view folder);

// The catalogue program file to start after a run: the "ProgDir" setting
// (a folder gets "FENRO.exe" appended), else the data folder followed by
// "FENRO.exe", else the bare name "FENRO.exe".
std::string GetCatalogueProgramPath();

// True when locating saw a qualifying data folder under Program Files.
bool ProgramFilesCopyFound();

// Set by the relocation out of Program Files when it cannot create its
// target; from then on every query returns an empty data folder.
bool RelocationFailed();
void SetRelocationFailed();

// The drive letter of the Program Files folder (or C) followed by
// ":\FENRO\": the preferred place of the data set.
std::string PreferredDataFolder();

// The catalogue settings file: "FENRO1.ini" in the program folder when it
// exists, else "FENRO.ini" in the temporary folder when it exists (or, for
// writing, in any case), else for reading "FENRO.ini" in the Windows folder.
// Empty when the chosen folder is unknown.
std::string SelectCatalogueIni(bool forWriting);

// Forgets the located folder, every flag and what the relocation kept, as
// at process start (tests).
void ForgetDataFolder();

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_DATAFOLDER_H_
