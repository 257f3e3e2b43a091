// Table creation follows the fixed order of the repair's own procedure:
// create, then level, block size, driver (each a restructure of its own),
// then the primary index. Doing the properties one at a time is slower than
// creating the table with them at once, but it keeps the order in which a
// refusal stops the creation.
#include "paradox/TableCreation.h"

#include <vector>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "paradox/DbiCalls.h"
#include "paradox/EngineCodes.h"
#include "paradox/EngineErrors.h"
#include "paradox/FieldSpec.h"
#include "paradox/Table.h"

namespace remdo::paradox {

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

TCrTblDesc OptionDescriptor(std::string_view tableName, std::string_view optionName, std::string_view value) {
  TCrTblDesc desc;
  desc.tableName = std::string(tableName);
  desc.tableType = std::string(kParadoxTableType);
  TFldDesc param;
  param.name = std::string(optionName);
  param.offset = 0;
  param.length = static_cast<std::uint16_t>(value.size() + 1);
  for (const char c : value) desc.optionalData.push_back(static_cast<std::byte>(c));
  desc.optionalData.push_back(std::byte{0});
  desc.optionalParams.push_back(param);
  return desc;
}

bool SetOptionOfPath(std::string_view path, std::string_view optionName, std::string_view value) {
  TTable table;
  table.SetDatabaseName(std::string(env::FolderPart(path)));
  table.SetTableName(std::string(env::NamePart(path)));
  return SetTableOption(table, optionName, value);
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

bool SetTableOption(TTable& table, std::string_view optionName, std::string_view value) {
  if (table.Active() && !table.Exclusive()) table.Close();
  table.SetExclusive(true);
  if (!table.Active()) table.Open();
  TDbHandle database = nullptr;
  CheckEngineResult(DbiGetObjFromObj(table.Handle(), TDbiObjType::kDatabase, database),
                    "Restructuring " + table.TableName());
  table.Close();
  const TCrTblDesc desc = OptionDescriptor(table.TableName(), optionName, value);
  const std::uint16_t code = DbiDoRestructure(database, 1, &desc, {}, {}, {}, false);
  table.Open();
  return code == kDbiErrNone;
}

bool SetTableLevel(std::string_view path, int level) { return SetOptionOfPath(path, "LEVEL", std::to_string(level)); }

bool SetTableBlockSize(std::string_view path, int blockSize) {
  return SetOptionOfPath(path, "BLOCK SIZE", std::to_string(blockSize));
}

bool SetTableLanguageDriver(std::string_view path, std::string_view driverName) {
  return SetOptionOfPath(path, "LANGDRIVER", driverName);
}

bool CopyFileContents(std::string_view source, std::string_view destination) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  auto from = fileSystem.Open(source, env::TOpenMode::kRead);
  auto to = fileSystem.Open(destination, env::TOpenMode::kCreate);
  std::vector<std::byte> buffer(1 << 20);
  std::uint64_t offset = 0;
  for (;;) {
    const std::size_t got = from->ReadAt(offset, buffer);
    if (got == 0) break;
    to->WriteAt(offset, std::span<const std::byte>(buffer.data(), got));
    offset += got;
  }
  to->Close();
  return true;
}

void ClearFileAttributes(std::string_view path) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const auto bits = fileSystem.Attributes(path);
  if (!bits || (*bits & env::attr::kDirectory) != 0 || (*bits & env::attr::kArchive) == 0) return;
  (void)fileSystem.SetAttributes(path, env::attr::kArchive);
}

}  // namespace remdo::paradox
