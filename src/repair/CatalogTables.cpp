// Opening and creating catalogue tables, running SQL statements and probing
// a table file's field count.
#include "repair/CatalogTables.h"

#include <array>
#include <cstddef>
#include <memory>

#include "catalogue/TableCatalogue.h"
#include "catalogue/TableCreation.h"
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/SqlStatement.h"
#include "paradox/format/PxObject.h"
#include "repair/RepairContext.h"

namespace remdo::repair {

std::unique_ptr<paradox::TTable> OpenCatalogTable(std::string_view tableName, std::string_view indexName) {
  auto table = std::make_unique<paradox::TTable>();
  table->SetDatabaseName(TRepairContext::DataFolder());
  table->SetTableName(std::string(tableName));
  table->SetIndexName(std::string(indexName));
  table->Open();
  if (!table->Active()) return nullptr;
  return table;
}

bool FindKeyIfHeld(paradox::TTable& table, std::initializer_list<paradox::TValue> values) {
  try {
    return table.FindKey(values);
  } catch (const env::EDBEngineError& error) {
    if (error.Code() == paradox::kDbiErrOutOfRange) return false;
    throw;
  }
}

bool RunSqlStatement(TRepairContext& context, std::string_view statement) {
  if (statement.empty()) return true;
  paradox::TDbHandle database = context.Database().Handle();
  if (database == nullptr) {
    throw paradox::EngineError(paradox::kDbiErrInvalidHndl,
                               "Running \"" + std::string(statement) + "\": the data folder is not connected");
  }
  (void)paradox::RunSqlUpdate(*database, paradox::ParseSqlStatement(statement));
  return true;
}

bool CreateCatalogTable(TRepairContext& context, std::string_view fileName, std::int32_t structureNumber) {
  return catalogue::CreateParadoxTable(context.Database().Handle(), fileName,
                                     catalogue::SchemaLanguageDriver(structureNumber),
                                     catalogue::GetTableSchema(structureNumber), catalogue::SchemaLevel(structureNumber));
}

std::int32_t ProbeStructure(std::string_view fileName, std::int32_t resultForB, std::int32_t resultForA,
                            std::int32_t countA, std::int32_t countB) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string path = TRepairContext::DataFolder() + std::string(fileName);
  if (!fileSystem.FileExists(path)) return 0;
  std::unique_ptr<env::TFile> file;
  try {
    file = fileSystem.Open(path, env::TOpenMode::kRead);
  } catch (const env::EFOpenError&) {
    return 0;  // the table's own check says why it cannot be opened
  }
  std::array<std::byte, 2> count{};
  if (file->ReadAt(paradox::pxheader::kFieldCount, count) != count.size()) return 0;
  const std::int32_t fields = paradox::GetS16(count.data());
  if (fields == countB) return resultForB;
  if (fields == countA) return resultForA;
  return 0;
}

}  // namespace remdo::repair
