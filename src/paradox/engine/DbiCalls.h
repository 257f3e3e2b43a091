// The engine's direct calls, with the published argument order, and the
// descriptors they take. Every call answers with a result code (0 success)
// and never throws for an engine condition; handles of nothing give
// kDbiErrInvalidHndl, calls before DbiInit kDbiErrNotInitialized.
//
// Record buffers are physical record images: the bytes of one record exactly
// as the data file stores them.
#ifndef REMDO_PARADOX_ENGINE_DBICALLS_H_
#define REMDO_PARADOX_ENGINE_DBICALLS_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/engine/Cursor.h"
#include "paradox/engine/Engine.h"

namespace remdo::paradox {

inline constexpr std::string_view kParadoxTableType = "PARADOX";

enum class TDbiLock { kNoLock, kReadLock, kWriteLock };
enum class TDbiObjType { kSession, kDatabase, kCursor };

// Field descriptor. For creation: number, name, type (engine code 257-273)
// and units1 (the size). As an optional parameter of a restructure: name
// is the option, offset and length locate its NUL-terminated value in the
// table descriptor's optional data.
struct TFldDesc {
  std::uint16_t number = 0;
  std::string name;
  std::uint16_t type = 0;
  std::uint16_t subType = 0;
  std::int16_t units1 = 0;
  std::int16_t units2 = 0;
  std::uint16_t offset = 0;
  std::uint16_t length = 0;
};

// Index descriptor.
struct TIdxDesc {
  std::string name;
  bool primary = false;
  bool unique = false;
  bool descending = false;
  bool maintained = false;
  bool subset = false;
  bool expression = false;
  bool caseInsensitive = false;
  std::vector<std::uint16_t> keyFields;  // 1-based field numbers
};

// Table descriptor for creation and restructure.
struct TCrTblDesc {
  std::string tableName;  // file name, extension optional (".db" then)
  std::string tableType;  // "PARADOX"
  std::vector<TFldDesc> fields;
  std::vector<TIdxDesc> indexes;
  std::vector<TFldDesc> optionalParams;
  std::vector<std::byte> optionalData;
  bool pack = false;
};

// Appends one optional parameter (LEVEL, BLOCK SIZE, LANGDRIVER ...) with
// its value as a zero-ended text after those already there.
void AddOptionalParam(TCrTblDesc& desc, std::string_view name, std::string_view value);

// What DbiGetCursorProps tells.
struct TCursorProps {
  std::string tableName;
  std::string tableType;
  std::uint16_t fieldCount = 0;
  std::uint16_t keyFieldCount = 0;
  std::uint16_t recordSize = 0;
  std::uint16_t keySize = 0;
  std::uint32_t recordCount = 0;
  std::uint16_t blockSize = 0;
  std::uint16_t tableLevel = 0;
  std::string languageDriver;
  bool exclusive = false;
};

// Creates a Paradox table in the database's folder from the descriptor
// (fields, and an optional primary index). With overwrite the whole family
// of an existing table of that name is replaced (data, indexes, memo and
// validity files); without, an existing table answers kDbiErrTableExists.
// The table gets the engine's defaults unless optional parameters say
// otherwise: level 4, or higher when a field type needs it; block size 2048,
// or larger when a record needs it; driver "ascii". Optional parameters:
// "LEVEL", "BLOCK SIZE", "LANGDRIVER" as for a restructure, and, to make a
// table whose records are copied as they stand, "SORT ORDER" (0 to 255) and
// "CODE PAGE" (0 to 65535): the header bytes of the driver, kept as given.
// With both, "LANGDRIVER" may name a driver the engine does not know (its
// name is written as given); without, such a name is kDbiErrInvalidLangDrv.
[[nodiscard]] std::uint16_t DbiCreateTable(TDbHandle database, bool overwrite, const TCrTblDesc& desc);

// Adds an index to the closed table tableName of the database's folder.
// The primary index sorts the records and builds the .PX; a key present
// twice answers kDbiErrKeyViol and changes nothing. A secondary index is a
// maintained single-field index of a keyed table (a table without primary
// key answers kDbiErrNotSupported; one already there kDbiErrIndexExists).
[[nodiscard]] std::uint16_t DbiAddIndex(TDbHandle database, TCursorHandle cursor, std::string_view tableName,
                                        std::string_view driverType, const TIdxDesc& index,
                                        std::string_view keyViolationTable);

// Restructures the closed table desc->tableName: the optional parameters
// "LEVEL" (4, 5 or 7), "BLOCK SIZE" (1024 to 32768 in steps of 1024) and
// "LANGDRIVER" (a driver name), and packing. Every restructure writes the
// table anew, so it is also packed. Field changes are not supported.
[[nodiscard]] std::uint16_t DbiDoRestructure(TDbHandle database, std::uint16_t descCount, const TCrTblDesc* desc,
                                             std::string_view saveAs, std::string_view keyViolationTable,
                                             std::string_view problemTable, bool analyzeOnly);

[[nodiscard]] std::uint16_t DbiGetObjFromObj(TCursorHandle cursor, TDbiObjType type, TDbHandle& object);
[[nodiscard]] std::uint16_t DbiGetCursorProps(TCursorHandle cursor, TCursorProps& props);

// Inserts a record image: 0, or kDbiErrKeyViol when its key is present
// (the table is unchanged). An autoincrement value in the image is kept.
[[nodiscard]] std::uint16_t DbiInsertRecord(TCursorHandle cursor, TDbiLock lock, std::span<const std::byte> record);

// Looks a key up on the primary index. key is record-shaped: the key fields
// at their record offsets. fieldCount 0 uses every key field, otherwise the
// first fieldCount. Found: 0, the cursor is on the record and record (when
// not empty) receives it. Not found: kDbiErrRecNotFound.
[[nodiscard]] std::uint16_t DbiGetRecordForKey(TCursorHandle cursor, bool directKey, std::uint16_t fieldCount,
                                               std::uint16_t length, std::span<const std::byte> key,
                                               std::span<std::byte> record);

// Replaces the cursor's current record: 0; kDbiErrNoCurrRec on an empty
// table; kDbiErrKeyViol when a changed key belongs to another record.
[[nodiscard]] std::uint16_t DbiModifyRecord(TCursorHandle cursor, std::span<const std::byte> record, bool freeLock);

// Makes the table's changes since its last save durable (see TOpenTable).
[[nodiscard]] std::uint16_t DbiSaveChanges(TCursorHandle cursor);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_DBICALLS_H_
