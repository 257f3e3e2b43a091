// The swap of a rebuilt table: the scratch table's data and index files
// become the table's through the engine's family commit, so that a failure
// rolls back and a crash leaves the old files or the new ones, never a
// mixture. The memo file is not part of the swap: the rebuilt records still
// refer to the values in it, unless it had to be salvaged: then the
// scratch table's new memo file replaces it with the others. When records are still missing, or the rebuild
// saw any sign of damage (a header count need not tell), the old files are
// first copied into the run's Rejected folder, so that nothing is deleted
// that the new table does not replace in full.
#include <array>
#include <cstddef>

#include "catalogue/TableCatalogue.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileHolds.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/FamilyCommit.h"
#include "paradox/format/PxFieldObject.h"
#include "repair/RejectedFiles.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {

// The type code of field n (counting from 1) is at 118 + 2n: the field
// descriptors start at 120 with a type and a size byte per field.
constexpr std::uint64_t kTypeCodeBase = 118;

// Data file, primary index and secondary index files take part in a swap.
bool TakesPartInSwap(std::string_view name) {
  std::string_view extension = env::ExtensionPart(name);
  if (extension.empty()) return false;
  const std::string upper = env::UpperCase(extension.substr(1));
  return upper == "DB" || upper == "PX" || (!upper.empty() && (upper[0] == 'X' || upper[0] == 'Y'));
}

// The table's memo file, whatever the case of its name.
bool IsMemoFileName(std::string_view name) { return env::UpperCase(env::ExtensionPart(name)) == ".MB"; }

}  // namespace

void WriteMemoTypeCode(std::string_view dataPath, int fieldNumber) {
  auto file = env::DefaultFileSystem().Open(dataPath, env::TOpenMode::kReadWrite);
  const std::array<std::byte, 1> code{std::byte{paradox::fieldtype::kMemo}};
  file->WriteAt(kTypeCodeBase + 2 * static_cast<std::uint64_t>(fieldNumber), code);
  file->Close();
}

bool TTableCheck::MarkMemoField(int fieldNumber) {
  WriteMemoTypeCode(DataPath(kScratchTable), fieldNumber);
  return true;
}

bool TTableCheck::SwapInRebuiltTable() {
  if (const auto memoField = catalogue::MemoFieldNumber(request_.StructureNumber)) MarkMemoField(*memoField);
  TRunReporter& run = Reporter();
  if (!SalvageMemoFile()) {
    run.SetMessage("");
    return false;
  }
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string folder = TRepairContext::DataFolder();
  const std::string& table = request_.TableName;
  paradox::TFamilyCommit commit(fileSystem, folder, table);
  bool adopted = false;
  for (const auto& entry : fileSystem.Find(folder + std::string(kScratchBase) + ".*", env::attr::kAnyFile)) {
    run.ProcessMessages();
    if (!TakesPartInSwap(entry.name)) continue;
    const std::string name = table + env::LowerCase(env::ExtensionPart(entry.name));
    // A file the table did not have (a new index file) is held as it arrives.
    (void)env::HoldWithoutSharing(folder + name);
    commit.Adopt(entry.name, name);
    adopted = true;
  }
  // Without a rebuilt table nothing of the old one is touched.
  if (!adopted) {
    run.SetMessage("");
    return false;
  }
  if (memoSalvaged_) commit.Adopt(std::string(kScratchBase) + ".mb", table + ".mb");
  for (const auto& entry : fileSystem.Find(folder + table + ".*", env::attr::kAnyFile)) {
    run.ProcessMessages();
    if (TakesPartInSwap(entry.name) || (memoSalvaged_ && IsMemoFileName(entry.name))) commit.Remove(entry.name);
  }
  if ((State().MissingRecords > 0 || damageSeen_) && !KeepOriginalFiles()) {
    run.SetMessage("");
    return false;
  }
  try {
    commit.Commit();
  } catch (const env::EDBEngineError& error) {
    ShowSwapFailure(commit.Failure(), error.what());
    run.SetMessage("");
    return false;
  }
  run.SetMessage("");
  return true;
}

bool TTableCheck::KeepOriginalFiles() {
  const std::string folder = TRepairContext::DataFolder();
  std::vector<std::string> names;
  for (const auto& entry : env::DefaultFileSystem().Find(folder + request_.TableName + ".*", env::attr::kAnyFile)) {
    if (IsTableFamilyFile(entry.name)) names.push_back(entry.name);
  }
  if (names.empty()) return true;
  try {
    const std::string where = repair::KeepOriginalFiles(context_, request_.TableName, names);
    Reporter().LogLine("~  -- kept the old table files in " + where);
    return true;
  } catch (const env::ERemdoError& error) {
    Reporter().LogLine("  -- the old table files could not be kept: " + std::string(error.what()));
    return false;
  }
}

void TTableCheck::ShowSwapFailure(const paradox::TFamilyCommit::TFailure& failure, const std::string& message) const {
  using TStep = paradox::TFamilyCommit::TFailedStep;
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string path = TRepairContext::DataFolder() + failure.name;
  if (failure.step == TStep::kAside) {
    const auto attributes = fileSystem.Attributes(path);
    std::string text = "Could not delete " + failure.name;
    if (!attributes) {
      text += " (file missing)";
    } else if ((*attributes & (env::attr::kReadOnly | env::attr::kSystem)) != 0) {
      text += " (file marked read-only)";
    }
    env::ShowErrorBox(text);
  } else if (failure.step == TStep::kRenameIn && !failure.source.empty()) {
    env::ShowErrorBox("Could not rename\r" + failure.source + "\r" + "to" + failure.name);
  } else {
    env::ShowErrorBox(message);
  }
}

bool TTableCheck::RestoreStep() {
  if (!restoreRequested_) return true;
  Reporter().LogLine("  -- restoring data");
  return RestoreFromSavedCopy();
}

}  // namespace remdo::repair
