// Table properties changed by restructuring a table (level, block size,
// language driver), and two file helpers that the repair's steps use.
#ifndef REMDO_PARADOX_COMPONENTS_TABLEOPTIONS_H_
#define REMDO_PARADOX_COMPONENTS_TABLEOPTIONS_H_

#include <string>
#include <string_view>

namespace remdo::paradox {

class TTable;

// Changes one optional table parameter of the table object's table by
// restructuring it: the table is opened exclusively for its database
// handle, closed, restructured, and opened again (exclusively) whatever the
// outcome. True exactly when the restructure answered 0; a refused
// restructure is not thrown. Failing to open the table or to get its
// database handle throws EDBEngineError.
bool SetTableOption(TTable& table, std::string_view optionName, std::string_view value);

// SetTableOption with "LEVEL", "BLOCK SIZE" or "LANGDRIVER" on a temporary
// table object for path (folder and file name).
bool SetTableLevel(std::string_view path, int level);
bool SetTableBlockSize(std::string_view path, int blockSize);
bool SetTableLanguageDriver(std::string_view path, std::string_view driverName);

// Copies every byte of source to destination, replacing a file of that
// name, through a temporary file that is flushed and then renamed into
// place: a failed copy never leaves part of a file under destination's name.
// True when the copy is complete; false when a read, write or the rename
// failed (destination then stays as it was). Throws EFOpenError when the
// source cannot be opened and EFCreateError when the destination cannot be
// created.
[[nodiscard]] bool CopyFileContents(std::string_view source, std::string_view destination);

// When path is an existing file (not a folder) with the archive attribute,
// its attributes become the archive attribute alone; otherwise nothing
// changes.
void ClearFileAttributes(std::string_view path);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_COMPONENTS_TABLEOPTIONS_H_
