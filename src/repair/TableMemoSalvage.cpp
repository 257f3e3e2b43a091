// The memo step of the swap: the table's memo file checked against the
// rebuilt records and, when it has findings, salvaged into the scratch
// table's own memo file, with lines that say what was found, what was
// linked again and which records lost the rest of a value.
#include <algorithm>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "paradox/format/FieldType.h"
#include "paradox/index/LanguageDriver.h"
#include "repair/RejectedFiles.h"
#include "repair/MemoSalvage.h"
#include "repair/TableCheck.h"
#include "repair/findings/Finding.h"

namespace remdo::repair {

namespace {

// Whether a structure has a blob field (declared so, or an alpha field
// that holds a memo).
bool HasBlobField(std::int32_t structureNumber) {
  if (catalogue::MemoFieldNumber(structureNumber)) return true;
  const auto specs = catalogue::ReadFieldSpecs(catalogue::GetTableSchema(structureNumber));
  return std::any_of(specs.fields.begin(), specs.fields.end(), [](const catalogue::TFieldSpec& spec) {
    const auto type = paradox::FieldTypeFromEngineCode(spec.engineType);
    return type && paradox::IsBlobType(*type);
  });
}

}  // namespace

bool TTableCheck::SalvageMemoFile() {
  if (!HasBlobField(request_.StructureNumber)) return true;
  TRunReporter& run = Reporter();
  const std::string memoName = request_.TableName + ".mb";
  TMemoSalvage salvage;
  try {
    const std::string driverName = catalogue::SchemaLanguageDriver(request_.StructureNumber);
    const auto* driver = paradox::FindLanguageDriver(driverName);
    TMemoSalvageRequest salvageRequest{DataPath(kScratchTable), DataPath(memoName),
                                       DataPath(std::string(kScratchBase) + ".mb"),
                                       static_cast<std::uint16_t>(driver == nullptr ? 0 : driver->codePage),
                                       driverName, {}};
    salvageRequest.unlinkedPath = [&] {
      const std::string folder = RejectedFolder(context_);
      return folder + FreeTableName(folder, request_.TableName + "_memo");
    };
    salvage = repair::SalvageMemoFile(salvageRequest);
  } catch (const env::ERemdoError& error) {
    const std::string text = "The memo file " + memoName + " could not be salvaged: " + error.what();
    run.LogLine("  -- " + text);
    env::ShowErrorBox(text);
    return false;
  }
  if (!salvage.written) return true;
  memoSalvaged_ = true;
  // The old files, memo file included, are kept in the Rejected folder.
  damageSeen_ = true;
  run.LogLine(FindingLine(TFindingCode::kMemoFileRewritten,
                          {memoName, std::to_string(salvage.intact), std::to_string(salvage.relinked),
                           std::to_string(salvage.cut), std::to_string(salvage.unlinked)}));
  for (const std::string& finding : salvage.findings) run.LogLine("~     " + finding);
  LogCutRecords(run, salvage.cutRecords, "");
  if (!salvage.unlinkedFile.empty()) {
    const std::size_t dataFolder = TRepairContext::DataFolder().size();
    run.LogLine("  -- " + CountOf(static_cast<std::int64_t>(salvage.unlinked), "value") +
                " no record refers to, with their places in the old memo file: " +
                salvage.unlinkedTable.substr(dataFolder) + " (as text: " + salvage.unlinkedFile.substr(dataFolder) +
                ")");
  }
  return true;
}

}  // namespace remdo::repair
