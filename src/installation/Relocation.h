// The move of a data set out of the protected Program Files folder, offered
// when the catalogue's installer or updater starts this program on Vista or
// later. Locating the data folder calls it once, before the folder is final.
//
// The move asks first (unless the preferred data folder is empty of
// tables), copies the old folder's files and then those of its VirtualStore
// twin (the twin of the folder found, never of another) over them, with the
// cover pictures of both, into a staging folder beside the preferred one,
// which starts as a copy of what the preferred folder holds. Lock files never
// travel, and a retired table ("*.db1") already there is not replaced. Only
// when staging holds the complete data set and every copied file arrived
// whole is it renamed into the preferred folder's place; otherwise it is
// removed, so that no partial data set is left where locating would find it.
// Then the old tables are retired (Books.db becomes Books.db1, in the old
// folder and in the twin) and "DataDir" in section "FENRO" names the
// preferred data folder in the old folder's "FENRO4.ini", in the catalogue
// settings file and in the preferred data folder's "FENRO4.ini".
#ifndef REMDO_INSTALLATION_RELOCATION_H_
#define REMDO_INSTALLATION_RELOCATION_H_

#include <string>
#include <string_view>

namespace remdo::installation {

// Given the located data folder, returns the data folder to use from now
// on, with a trailing separator: the old one, or the preferred data folder
// once the data set has moved there. Nothing moves when the old folder's
// twin cannot be worked out (the user's newest tables might lie there).
// Shows "FENRO files could not be relocated." and calls SetRelocationFailed
// when the preferred or the staging folder cannot be created; shows the same
// box, and keeps the old folder, when the copy is incomplete or cannot be
// renamed into place. A failed copy keeps the old folder silently. It runs
// inside the first data folder query, so it must not call GetDataFolder or
// GetCatalogueProgramPath. Nothing is thrown for a table that cannot be
// renamed or a settings file that cannot be written: what the move could not
// do, and a file that did not arrive whole, become start-up notes for the
// run log (installation/StartUpNotes.h).
std::string RelocateFromProgramFiles(std::string_view oldFolder);

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_RELOCATION_H_
