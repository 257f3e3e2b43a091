// The one local SQL statement form the repair runs, on a table of a
// database's folder:
//
//   Update 'table' as D set D."Field" = <literal>
//
// Keywords in any case; the table name in single or double quotes (or bare),
// with or without ".db"; the alias optional (with or without "as"); the
// field name bare or in double quotes, qualified by the alias or not; the
// literal a string in double or single quotes (a doubled quote stands for
// one) or a whole number with an optional sign; an optional closing ";".
// Every record of the table gets the value.
//
// Failures are engine errors with the engine's codes: QRYEMPTY (nothing to
// run), QRYNIY (any other kind of statement), QRYSYNTERR (a malformed
// UPDATE, naming what was expected where), NOSUCHRELORALIAS (a qualifier
// that is not the alias), INVALIDTABLENAME (a name with a folder),
// NOSUCHTABLE, QXFLDSYMNOTFOUND (no such field), INVALIDFLDXFORM or
// OUTOFRANGE (a value the field cannot hold), KEYVIOL (a key field set so
// that two records would share a key; nothing is changed), and the errors of
// opening and writing the table.
#ifndef REMDO_PARADOX_ENGINE_SQLSTATEMENT_H_
#define REMDO_PARADOX_ENGINE_SQLSTATEMENT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/engine/Engine.h"
#include "paradox/format/FieldValue.h"

namespace remdo::paradox {

struct TSqlUpdate {
  std::string tableName;  // as written
  std::string alias;      // empty when none was given
  std::string fieldName;
  TValue value;  // text or integer
};

// Reads a statement. Throws EDBEngineError as described above.
TSqlUpdate ParseSqlStatement(std::string_view text);

// Runs a parsed statement on the table of database's folder and returns the
// number of records changed. Throws EDBEngineError.
std::size_t RunSqlUpdate(TDbConnection& database, const TSqlUpdate& statement);

// The engine's direct call for a statement: 0, or the code of the failure;
// *rows (when given) receives the number of records changed.
[[nodiscard]] std::uint16_t DbiQExecDirect(TDbHandle database, std::string_view text, std::uint32_t* rows);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_SQLSTATEMENT_H_
