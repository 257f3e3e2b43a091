// Each property is changed by a restructure of its own, as the engine's
// table options are; the table is reopened exclusively whatever the outcome.
#include "paradox/components/TableOptions.h"

#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"

namespace remdo::paradox {

namespace {

TCrTblDesc OptionDescriptor(std::string_view tableName, std::string_view optionName, std::string_view value) {
  TCrTblDesc desc;
  desc.tableName = std::string(tableName);
  desc.tableType = std::string(kParadoxTableType);
  AddOptionalParam(desc, optionName, value);
  return desc;
}

bool SetOptionOfPath(std::string_view path, std::string_view optionName, std::string_view value) {
  TTable table;
  table.SetDatabaseName(std::string(env::FolderPart(path)));
  table.SetTableName(std::string(env::NamePart(path)));
  return SetTableOption(table, optionName, value);
}

}  // namespace

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
  try {
    env::CopyWholeFile(env::DefaultFileSystem(), source, destination);
  } catch (const env::EReadError&) {
    return false;
  } catch (const env::EWriteError&) {
    return false;
  }
  return true;
}

void ClearFileAttributes(std::string_view path) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const auto bits = fileSystem.Attributes(path);
  if (!bits || (*bits & env::attr::kDirectory) != 0 || (*bits & env::attr::kArchive) == 0) return;
  (void)fileSystem.SetAttributes(path, env::attr::kArchive);
}

}  // namespace remdo::paradox
