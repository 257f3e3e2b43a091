// Creation of an empty table of a built-in structure: its fields from a
// field spec list of the catalogue, then the table properties one by one and
// its indexes, all through the engine's components.
#ifndef REMDO_PARADOX_COMPONENTS_TABLECREATION_H_
#define REMDO_PARADOX_COMPONENTS_TABLECREATION_H_

#include <string>
#include <string_view>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "paradox/engine/Engine.h"

namespace remdo::catalogue {

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
// before a refused secondary index stay). A table the engine accepts with
// all of that at once is written once, with the same contents (but for the
// header's change counters); only a refused one goes step by step, so that
// a refusal ends the creation where it always did.
bool CreateParadoxTable(paradox::TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                        TFieldSpecList fieldSpecs, int level);

// The creation as the steps above, one write each: what CreateParadoxTable
// falls back to when the engine refuses the table in one write. Its result
// and errors are CreateParadoxTable's.
bool CreateParadoxTableStepByStep(paradox::TDbHandle database, std::string_view tableFileName,
                                  std::string_view languageDriver, const TFieldSpecReading& reading, int level);

}  // namespace remdo::catalogue

#endif  // REMDO_PARADOX_COMPONENTS_TABLECREATION_H_
