// Creation of an empty table of a built-in structure: its fields from a
// field spec list of the catalogue, then the table properties one by one and
// its indexes, all through the engine's components.
#ifndef REMDO_PARADOX_COMPONENTS_TABLECREATION_H_
#define REMDO_PARADOX_COMPONENTS_TABLECREATION_H_

#include <string>
#include <string_view>

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
// before a refused secondary index stay).
bool CreateParadoxTable(paradox::TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                        TFieldSpecList fieldSpecs, int level);

}  // namespace remdo::catalogue

#endif  // REMDO_PARADOX_COMPONENTS_TABLECREATION_H_
