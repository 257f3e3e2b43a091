// Table creation follows the fixed order of the repair's own procedure:
// create, then level, block size, driver (each a restructure of its own),
// then the primary index and the secondary ones. Each of those steps writes
// the whole family anew, which made the creation of an empty table cost
// more than the rebuild of most tables; so the table is first made in one
// write with every property and index, and only a creation the engine
// refuses goes through the steps, which find where a refusal stops it.
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

TIdxDesc PrimaryIndex(int keyLength) {
  TIdxDesc primary;
  primary.primary = primary.unique = primary.maintained = true;
  for (int i = 1; i <= keyLength; ++i) primary.keyFields.push_back(static_cast<std::uint16_t>(i));
  return primary;
}

TIdxDesc SecondaryIndex(const TFieldSpec& spec, int number) {
  TIdxDesc secondary;
  secondary.name = spec.name;
  secondary.maintained = true;
  secondary.keyFields.push_back(static_cast<std::uint16_t>(number));
  return secondary;
}

// The table with its level, block size, driver and indexes in one write;
// false (and the steps to follow) when the engine refuses any of it.
bool CreateAtOnce(TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                  const TFieldSpecReading& reading, int level) {
  TCrTblDesc desc = CreationDescriptor(tableFileName, reading);
  AddOptionalParam(desc, "LEVEL", std::to_string(level));
  AddOptionalParam(desc, "BLOCK SIZE", std::to_string(kCreatedTableBlockSize));
  AddOptionalParam(desc, "LANGDRIVER", languageDriver);
  if (reading.keyLength > 0) {
    desc.indexes.push_back(PrimaryIndex(reading.keyLength));
    for (const int number : reading.IndexedFields()) {
      desc.indexes.push_back(SecondaryIndex(reading.fields[static_cast<std::size_t>(number - 1)], number));
    }
  }
  return DbiCreateTable(database, true, desc) == kDbiErrNone;
}

}  // namespace

bool CreateParadoxTableStepByStep(TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                                  const TFieldSpecReading& reading, int level) {
  const std::string context = "Creating " + std::string(tableFileName);
  CheckEngineResult(DbiCreateTable(database, true, CreationDescriptor(tableFileName, reading)), context);
  const std::string path = database->Folder() + std::string(tableFileName);
  if (!SetTableLevel(path, level)) return false;
  if (!SetTableBlockSize(path, kCreatedTableBlockSize)) return false;
  if (!SetTableLanguageDriver(path, languageDriver)) return false;
  if (reading.keyLength > 0) {
    const std::uint16_t code =
        DbiAddIndex(database, nullptr, tableFileName, kParadoxTableType, PrimaryIndex(reading.keyLength), {});
    if (code != kDbiErrNone) {
      EngineErrorText(code);
      throw EngineError(code, "Adding the primary index to " + std::string(tableFileName));
    }
    for (const int number : reading.IndexedFields()) {
      const TFieldSpec& spec = reading.fields[static_cast<std::size_t>(number - 1)];
      CheckEngineResult(
          DbiAddIndex(database, nullptr, tableFileName, kParadoxTableType, SecondaryIndex(spec, number), {}),
          "Adding the index " + spec.name + " to " + std::string(tableFileName));
    }
  }
  return true;
}

bool CreateParadoxTable(TDbHandle database, std::string_view tableFileName, std::string_view languageDriver,
                        TFieldSpecList fieldSpecs, int level) {
  const TFieldSpecList specs = std::move(fieldSpecs);
  if (specs.empty()) return false;
  if (database == nullptr) throw EngineError(kDbiErrInvalidHndl, "Creating " + std::string(tableFileName));
  const TFieldSpecReading reading = ReadFieldSpecs(specs);
  if (CreateAtOnce(database, tableFileName, languageDriver, reading, level)) return true;
  return CreateParadoxTableStepByStep(database, tableFileName, languageDriver, reading, level);
}

}  // namespace remdo::catalogue
