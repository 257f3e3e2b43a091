// The table check driver: which tables are checked, the checks before the
// repair chain (the file is there and writable, no refused commit marker in
// the way, a fresh scratch table, the same record layout), and the chain
// itself.
#include "repair/TableCheck.h"

#include <new>

#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/engine/Engine.h"
#include "paradox/family/FamilyCommit.h"
#include "paradox/format/PxObject.h"
#include "repair/CatalogTables.h"
#include "repair/TableHold.h"
#include "repair/findings/Finding.h"

namespace remdo::repair {

namespace {

constexpr std::int32_t kTolerancePlain = 5000;
constexpr std::int32_t kToleranceExtra = 10000;

struct TSignature {
  std::string text;
  bool readError = false;
  int fieldCount = 0;
};

// "|" and the width of each field in order ("|4|30|20"); empty after the
// raw reader's read error.
TSignature FieldSizeSignature(const std::string& path) {
  TSignature signature;
  try {
    paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
    signature.fieldCount = reader.FieldCount();
    for (int i = 0; i < reader.FieldCount(); ++i) {
      signature.text += "|" + std::to_string(reader.FieldByNumber(i).Width());
    }
  } catch (const env::EReadError&) {
    signature.text.clear();
    signature.readError = true;
  }
  return signature;
}

}  // namespace

bool CheckTable(TRepairContext& context, std::string_view displayName, std::string_view tableName,
                std::int32_t structureNumber, std::int32_t missingTolerance, bool restoreFromSave,
                bool verifyMissing) {
  TTableCheckRequest request{std::string(displayName), std::string(tableName), structureNumber, missingTolerance,
                             restoreFromSave, verifyMissing};
  TTableCheck check(context, std::move(request));
  return check.Run();
}

TTableCheck::TTableCheck(TRepairContext& context, TTableCheckRequest request)
    : context_(context), request_(std::move(request)) {}

std::string TTableCheck::DataPath(std::string_view name) const {
  return TRepairContext::DataFolder() + std::string(name);
}

std::string TTableCheck::TablePath() const { return DataPath(request_.TableName + ".db"); }

bool TTableCheck::Run() {
  const std::int32_t failuresBefore = State().FailureCount;
  const bool result = RunChecks();
  if (checkStarted_) RecordOutcome(result && State().FailureCount == failuresBefore);
  return result;
}

void TTableCheck::RecordOutcome(bool result) {
  TTableOutcome outcome;
  outcome.table = request_.TableName;
  outcome.ok = result;
  outcome.failed = !result && Reporter().KeepGoing();
  outcome.damageSeen = damageSeen_;
  outcome.refused = static_cast<std::int64_t>(rejected_.Count());
  outcome.indexRecovery = indexRecoveryRan_;
  outcome.fromIndexes = recoveredFromIndexes_;
  outcome.merged = savedCopyMerged_;
  outcome.missing = State().MissingRecords;
  State().TableOutcomes.push_back(std::move(outcome));
}

bool TTableCheck::RunChecks() {
  TRunReporter& run = Reporter();
  if (run.RunOption("STRICT")) {
    request_.VerifyMissing = false;
    request_.RestoreFromSave = false;
    request_.MissingTolerance = 0;
  }
  State().MissingRecords = 0;
  State().RecordCountUnknown = false;
  ReadToleranceFiles();
  if (request_.StructureNumber == 0) return false;
  if (!run.KeepGoing()) return false;
  if (!TableSelected()) return false;
  run.LogLine("Checking " + request_.DisplayName + "...");
  checkStarted_ = true;
  State().TableUnderWay = request_.TableName;
  if (!env::DefaultFileSystem().FileExists(TablePath())) {
    run.LogLine(FindingLine(TFindingCode::kTableNotFound, {request_.TableName}));
    return FailureEnding();
  }
  // Until the check ends the catalogue cannot open the table.
  const TTableHold hold(TRepairContext::DataFolder(), request_.TableName);
  if (!hold.Refusal().empty()) {
    run.LogLine(hold.Refusal());
    return FailureEnding();
  }
  if (!SetAsideRefusedMarker()) return FailureEnding();
  if (!TableFileOpens()) return FailureEnding();
  ResetReadOnlyFiles();
  if (!CreateScratchTable(kScratchTable)) return FailureEnding();
  const bool skipFormat = request_.StructureNumber == 40 || request_.StructureNumber == 41;
  try {
    if (!skipFormat && !CheckTableFormat()) return FailureEnding();
    if (RunRepairChain()) return true;
  } catch (const env::EReadError& error) {
    // A file that cannot be read (an empty table file when the format
    // check is skipped) fails this table, never the run.
    run.LogLine("~     " + std::string(error.what()));
    run.LogLine(FindingLine(TFindingCode::kUnreadableTableFormat));
    return FailureEnding();
  } catch (const env::EFOpenError& error) {
    // Another program took the file (or one of its family) with no sharing
    // after the first open.
    run.LogLine("  -- table cannot be opened: " + std::string(error.what()));
    return FailureEnding();
  } catch (const std::bad_alloc&) {
    // A table too large for the address space (a 32-bit program) fails on
    // its own; the old table stays in place.
    run.LogLine("  -- not enough memory to rebuild " + request_.TableName);
    return FailureEnding();
  } catch (const env::EDBEngineError& error) {
    // Block numbers are 16 bits: a rebuilt table that would need more
    // blocks is never written, and the old one stays in place.
    if (error.Code() != paradox::kDbiErrTableFull) throw;
    run.LogLine("  -- table full: " + request_.TableName + " would need more than 65535 blocks");
    return FailureEnding();
  }
  // A rebuild that refused records of the wrong size fails as a layout
  // mismatch does.
  if (layoutRefused_) return FailureEnding();
  if (run.KeepGoing()) {
    ++State().FailureCount;
    RecordFailedTable();
  }
  return false;
}

void TTableCheck::ReadToleranceFiles() {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string plain = DataPath("tp" + request_.TableName + ".chk");
  if (fileSystem.FileExists(plain)) {
    request_.MissingTolerance = kTolerancePlain;
    (void)fileSystem.Remove(plain);
  }
  const std::string extra = DataPath("tx" + request_.TableName + ".chk");
  if (fileSystem.FileExists(extra)) {
    request_.MissingTolerance = kToleranceExtra;
    (void)fileSystem.Remove(extra);
  }
}

bool TTableCheck::RunRepairChain() {
  restoreRequested_ = false;
  layoutRefused_ = false;
  damageSeen_ = false;
  memoSalvaged_ = false;
  recoveredToConvert_ = false;
  recoveredConverted_ = 0;
  TRunReporter& run = Reporter();
  if (!RebuildTable() || !run.KeepGoing()) return false;
  if (!SwapInRebuiltTable() || !run.KeepGoing()) return false;
  if (!RestoreStep() || !run.KeepGoing()) return false;
  return PackTable();
}

bool TTableCheck::FailureEnding() {
  ++State().FailureCount;
  RecordFailedTable();
  Reporter().LogLine("  -- error");
  return false;
}

// Scratch tables are written without flushes; the swap makes the adopted
// files durable.
bool TTableCheck::CreateScratchTable(std::string_view fileName) {
  const paradox::TDbHandle database = context_.Database().Handle();
  if (database != nullptr) {
    paradox::TEngineSession::Instance().MarkScratchTable(database->Folder() + std::string(fileName));
  }
  return CreateCatalogTable(context_, fileName, request_.StructureNumber);
}

bool TTableCheck::CheckTableFormat() {
  TRunReporter& run = Reporter();
  const TSignature table = FieldSizeSignature(TablePath());
  if (table.readError) run.LogLine("     fields       : " + std::to_string(table.fieldCount));
  TSignature scratch = FieldSizeSignature(DataPath(kScratchTable));
  if (scratch.readError) scratch.text = "error";
  if (!table.text.empty() && table.text == scratch.text) return true;
  if (!table.text.empty()) {
    run.LogLine(FindingLine(TFindingCode::kIncorrectTableFormat));
    run.LogLine("  -- please check for upgrade");
  } else {
    run.LogLine(FindingLine(TFindingCode::kUnreadableTableFormat));
  }
  return false;
}

// A table file that is there but cannot be opened (held with no sharing
// by another program, or denied to this user) fails this table only.
bool TTableCheck::TableFileOpens() {
  try {
    (void)env::DefaultFileSystem().Open(TablePath(), env::TOpenMode::kRead);
    return true;
  } catch (const env::EFOpenError& error) {
    Reporter().LogLine("  -- table cannot be opened: " + request_.TableName + ".db (" + error.what() + ")");
    return false;
  }
}

bool TTableCheck::ResetReadOnlyFiles() {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  TRunReporter& run = Reporter();
  for (const auto& entry : fileSystem.Find(DataPath(request_.TableName + ".*"), env::attr::kAnyFile)) {
    if ((entry.attributes & env::attr::kReadOnly) == 0) continue;
    run.LogLine("  -- file " + entry.name + " marked read-only");
    if (!fileSystem.SetAttributes(DataPath(entry.name), env::attr::kArchive)) {
      run.LogLine("     read-only status could not be reset");
    }
  }
  return true;
}

bool TTableCheck::SetAsideRefusedMarker() {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string marker = DataPath(request_.TableName + std::string(paradox::kMarkerExtension));
  if (!fileSystem.FileExists(marker)) return true;
  std::vector<std::string> refusal;
  const auto outcome =
      paradox::SettleFamilyCommit(fileSystem, TRepairContext::DataFolder(), request_.TableName, refusal);
  if (outcome != paradox::TSettleOutcome::kRefused) return true;
  for (const auto& reason : refusal) Reporter().LogLine("~     " + reason);
  try {
    const std::string folder = RejectedFolder(context_);
    const std::string target = folder + FreeTableName(folder, request_.TableName) + std::string(paradox::kMarkerExtension);
    const env::TIoResult moved = fileSystem.Rename(marker, target, false);
    if (!moved) throw env::EWriteError("Cannot move " + marker + " to " + target + ": " + moved.reason);
    Reporter().LogLine("  -- refused commit marker moved to " + target.substr(TRepairContext::DataFolder().size()));
    return true;
  } catch (const env::ERemdoError& error) {
    Reporter().LogLine("  -- the refused commit marker could not be moved: " + std::string(error.what()));
    return false;
  }
}

void TTableCheck::RecordFailedTable() { AppendToNameList(State().FailedTables, request_.TableName); }

bool TTableCheck::TableSelected() const {
  TRunReporter& run = Reporter();
  if (!run.RunOption("TABLENAME")) return true;
  return run.RunOption(env::UpperCase(request_.TableName));
}

}  // namespace remdo::repair
