// Creation of an empty table of a built-in structure, and the table
// properties set by restructuring a table: level, block size and language
// driver. Beside them two file helpers that other steps use.
#ifndef REMDO_PARADOX_TABLECREATION_H_
#define REMDO_PARADOX_TABLECREATION_H_

#include <string>
#include <string_view>

#include "paradox/Engine.h"
#include "paradox/TableCatalogue.h"

namespace remdo::paradox {

class TTable;

// The block size every created table gets.
inline constexpr int kCreatedTableBlockSize = 8192;

// Creates tableFileName ("temptbl1.db") in the folder of the database
// handle from a field spec list (taken over and released), then sets its
// level, block size 8192 and language driver one by one, then adds the
// primary index on the fields up to the last one marked "*" and, in field
// order, a maintained secondary index named after each field marked "+".
// Returns false for an empty list (nothing is created) and when a property
// is refused (the table stays with the properties set so far and no index).
// Throws EDBEngineError when the engine refuses to create the table or to
// open it for a property, or refuses an index; when it refuses the primary
// index, the code is shown with EngineErrorText first (the indexes added
// before a refused secondary index stay).
bool CreateParadoxTable(TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                        TFieldSpecList fieldSpecs, int level);

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

// Copies every byte of source to destination (created, replacing a file of
// that name). Returns true; throws EFOpenError when the source cannot be
// opened, EFCreateError when the destination cannot be created, and the
// stream errors of a failing read or write.
bool CopyFileContents(std::string_view source, std::string_view destination);

// When path is an existing file (not a folder) with the archive attribute,
// its attributes become the archive attribute alone; otherwise nothing
// changes.
void ClearFileAttributes(std::string_view path);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_TABLECREATION_H_
