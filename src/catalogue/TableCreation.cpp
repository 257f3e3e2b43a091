// Table creation follows the fixed order of the repair's own procedure:
// create, then level, block size, driver (each a restructure of its own),
// then the primary index. Doing the properties one at a time is slower than
// creating the table with them at once, but it keeps the order in which a
// refusal stops the creation.
#include "catalogue/TableCreation.h"
#include "paradox/components/TableOptions.h"

#include <vector>

#include "catalogue/FieldSpec.h"
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"

namespace remdo::catalogue {

using namespace paradox;

namespace {

TCrTblDesc CreationDescriptor(std::string_view tableFileName, const TFieldSpecReading& reading) {
  TCrTblDesc desc;
  desc.tableName = std::string(tableFileName);
  desc.tableType = std::string(kParadoxTableType);
  for (const TFieldSpec& spec : reading.fields) {
    TFldDesc field;
    field.number = static_cast<std::uint16_t>(spec.number);
    field.name = spec.name;
    field.type = spec.engineType;
    field.units1 = static_cast<std::int16_t>(spec.size);
    desc.fields.push_back(field);
  }
  return desc;
}

}  // namespace

bool CreateParadoxTable(TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                        TFieldSpecList fieldSpecs, int level) {
  const TFieldSpecList specs = std::move(fieldSpecs);
  if (specs.empty()) return false;
  if (database == nullptr) throw EngineError(kDbiErrInvalidHndl, "Creating " + std::string(tableFileName));
  const TFieldSpecReading reading = ReadFieldSpecs(specs);
  const std::string context = "Creating " + std::string(tableFileName);
  CheckEngineResult(DbiCreateTable(database, true, CreationDescriptor(tableFileName, reading)), context);
  const std::string path = database->Folder() + std::string(tableFileName);
  if (!SetTableLevel(path, level)) return false;
  if (!SetTableBlockSize(path, kCreatedTableBlockSize)) return false;
  if (!SetTableLanguageDriver(path, languageDriver)) return false;
  if (reading.keyLength > 0) {
    TIdxDesc primary;
    primary.primary = primary.unique = primary.maintained = true;
    for (int i = 1; i <= reading.keyLength; ++i) primary.keyFields.push_back(static_cast<std::uint16_t>(i));
    const std::uint16_t code = DbiAddIndex(database, nullptr, tableFileName, kParadoxTableType, primary, {});
    if (code != kDbiErrNone) {
      EngineErrorText(code);
      throw EngineError(code, "Adding the primary index to " + std::string(tableFileName));
    }
    for (const int number : reading.IndexedFields()) {
      const TFieldSpec& spec = reading.fields[static_cast<std::size_t>(number - 1)];
      TIdxDesc secondary;
      secondary.name = spec.name;
      secondary.maintained = true;
      secondary.keyFields.push_back(static_cast<std::uint16_t>(number));
      CheckEngineResult(DbiAddIndex(database, nullptr, tableFileName, kParadoxTableType, secondary, {}),
                        "Adding the index " + spec.name + " to " + std::string(tableFileName));
    }
  }
  return true;
}

}  // namespace remdo::catalogue
