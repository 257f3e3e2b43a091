// Small operations on the catalogue's tables that several repair steps and
// the table sequence share: opening a table of the data folder through the
// engine's table component, running one SQL statement, creating a table of
// a built-in structure and the structure probe of a folder table.
#ifndef REMDO_REPAIR_CATALOGTABLES_H_
#define REMDO_REPAIR_CATALOGTABLES_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "paradox/components/Table.h"

namespace remdo::repair {

class TRepairContext;

// Opens the Paradox table tableName in the data folder on the index
// indexName (empty: the primary index) and returns it open; the caller owns
// it. When the table does not become active it is freed and nothing is
// returned. An engine error while opening (no such table, a damaged or
// locked table, an unknown index) is not caught: EDBEngineError passes.
std::unique_ptr<paradox::TTable> OpenCatalogTable(std::string_view tableName, std::string_view indexName);

// TTable::FindKey, except that a value the key field cannot hold (a book
// number above 32767 for a short key field) finds nothing instead of
// raising the engine's out-of-range error: no record can have that key.
// Every other engine error passes.
bool FindKeyIfHeld(paradox::TTable& table, std::initializer_list<paradox::TValue> values);

// Runs one local SQL statement on the run's database, the connection on the
// data folder (see paradox/SqlStatement.h for the form); an empty text does
// nothing. Returns true. The engine's errors (a statement it cannot parse, a
// missing table or field, a value that does not fit, a connection that is
// not open) are not caught: EDBEngineError passes.
bool RunSqlStatement(TRepairContext& context, std::string_view statement);

// Creates the empty table fileName ("temptbl1.db") of the catalogue's
// structure number in the run's database, the data folder: its fields,
// key, secondary indexes, language driver and level as the table catalogue
// gives them. Returns what CreateParadoxTable returns.
bool CreateCatalogTable(TRepairContext& context, std::string_view fileName, std::int32_t structureNumber);

// Reads the field count (16-bit little-endian at offset 33) of the file
// fileName in the data folder: resultForB when it equals countB, else
// resultForA when it equals countA, else 0. A missing file, or one too short
// to hold the count, gives 0. The table sequence asks
// ProbeStructure(folder table file, 14, 0, 0, 5): 14 for a folder table of
// the earlier layout (5 fields), otherwise 0. A file that exists but cannot
// be opened gives 0 too: its check fails it with the reason.
std::int32_t ProbeStructure(std::string_view fileName, std::int32_t resultForB, std::int32_t resultForA,
                            std::int32_t countA, std::int32_t countB);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_CATALOGTABLES_H_
