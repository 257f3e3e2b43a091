// The check of one catalogue table: whether it is checked at all, its files
// present and writable, a fresh scratch table "temptbl1" of the table's
// built-in structure, the comparison of record layouts, and the repair
// chain: rebuild from the raw file, swap the rebuilt table in, restore from
// the saved copy when asked, pack. A failed table is counted and named in
// the run state; the run goes on with the next table.
//
// CheckTable is what the table sequence calls. TTableCheck holds one call's
// request, which its nested steps share and may change (the folder
// conversion changes the structure number, the tolerance and both flags),
// and the per-call flag RestoreRequested. The steps are public so that they
// can be driven one at a time.
//
// Errors: a step catches only what its design names (the raw reader's
// EReadError, which fails the table wherever in the check it comes; the
// engine's answer for a single record; failures to keep rejected records).
// Everything else (a file that cannot be opened, an engine error while
// creating or opening a table, a failed SQL statement) leaves CheckTable
// and reaches the run's caller. Each step closes the tables and readers it
// opened, also on failure.
#ifndef REMDO_REPAIR_TABLECHECK_H_
#define REMDO_REPAIR_TABLECHECK_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/components/Table.h"
#include "paradox/family/FamilyCommit.h"
#include "repair/FolderConversion.h"
#include "repair/RejectedFiles.h"
#include "repair/RepairContext.h"

namespace remdo::paradox {
class TPxObject;
}

namespace remdo::repair {

// The parameters of one check; passed by value, changed during the call.
struct TTableCheckRequest {
  std::string DisplayName;  // shown in "Checking ..."
  std::string TableName;    // base name of the table file ("Books", "Fldr0003")
  std::int32_t StructureNumber = 0;  // 0: the table is not checked
  std::int32_t MissingTolerance = 0;
  bool RestoreFromSave = false;
  bool VerifyMissing = false;
};

// Checks and repairs one table; true only when the rebuild, the swap, the
// restore step and the pack step all succeeded and the run was not stopped.
bool CheckTable(TRepairContext& context, std::string_view displayName, std::string_view tableName,
                std::int32_t structureNumber, std::int32_t missingTolerance, bool restoreFromSave,
                bool verifyMissing);


// Writes the memo type code (12) as the type of field n (counting from 1)
// into the header of the data file at dataPath: offset 118 + 2n. Throws
// EFOpenError when the file cannot be opened, EWriteError.
void WriteMemoTypeCode(std::string_view dataPath, int fieldNumber);

// The scratch table of a rebuild.
inline constexpr std::string_view kScratchBase = "temptbl1";
inline constexpr std::string_view kScratchTable = "temptbl1.db";
// The scratch table of the recovery from index files.
inline constexpr std::string_view kRecoveryTable = "RecTbl.db";

class TTableCheck {
 public:
  TTableCheck(TRepairContext& context, TTableCheckRequest request);
  TTableCheck(const TTableCheck&) = delete;
  TTableCheck& operator=(const TTableCheck&) = delete;

  // The whole check (CheckTable).
  bool Run();

  TTableCheckRequest& Request() { return request_; }
  const TTableCheckRequest& Request() const { return request_; }
  bool RestoreRequested() const { return restoreRequested_; }
  void SetRestoreRequested(bool requested) { restoreRequested_ = requested; }

  // --- Nested steps of the check ---
  // The table's field sizes equal those of the fresh temptbl1. Logs why not.
  bool CheckTableFormat();
  // Logs why the table's data file cannot be opened for reading.
  bool TableFileOpens();
  // Clears the read-only mark of every file of the table; always true.
  bool ResetReadOnlyFiles();
  // Moves a commit marker of the table that the engine refuses (it names
  // files outside the table's family, or is too large) into the run's
  // Rejected folder, with a line: left in place it would refuse every
  // write of the table. False, with a line, when it could not be moved.
  bool SetAsideRefusedMarker();
  void RecordFailedTable();
  // The TABLENAME filter lets this table through.
  bool TableSelected() const;

  // --- Rebuild (TableRebuild.cpp, FolderConversion.cpp) ---
  // Inserts every raw record of the table file into temptbl1 and compares
  // the count with the header's; starts the recovery or asks for the
  // restore when records are missing. Refused records are kept in the
  // run's Rejected folder.
  bool RebuildTable();

  // --- Whole-file steps (TableSwap.cpp, TablePack.cpp) ---
  // Makes the rebuilt temptbl1 the table through the engine's family commit.
  bool SwapInRebuiltTable();
  // Writes the memo type code into field n of temptbl1.db's header.
  bool MarkMemoField(int fieldNumber);
  // The restore step: RestoreFromSavedCopy when the rebuild asked for it.
  bool RestoreStep();
  bool PackWanted() const;
  bool PackTable();

  // --- Recovery (IndexRecovery.cpp, SavedCopyMerge.cpp) ---
  bool RecoverFromIndexes();
  bool AdaptRecoveredTitles();
  bool ImportRecoveredRecords();
  bool RestoreFromSavedCopy();
  // Adds every record of saved whose key current lacks; true after the walk.
  bool MergeSavedCopy(paradox::TTable& current, paradox::TTable& saved);

 private:
  struct TWalkCounts {
    std::int64_t transferred = 0;
    std::int64_t read = 0;
    // Records recovered from index files and converted with the table.
    std::int64_t recovered = 0;
    std::int32_t headerCount = 0;
  };
  // How a record walk ended.
  enum class TRebuildStop { kWalked, kWrongRecordSize, kEncrypted };

  TRunReporter& Reporter() const { return context_.Run(); }
  TRunState& State() const { return context_.State(); }
  std::string DataPath(std::string_view name) const;
  std::string TablePath() const;
  void ReadToleranceFiles();
  bool CreateScratchTable(std::string_view fileName);
  bool FailureEnding();
  bool RunRepairChain();
  // The check itself; Run adds its outcome to the run state.
  bool RunChecks();
  void RecordOutcome(bool result);

  // Rebuild parts (TableRebuild.cpp, FolderConversion.cpp).
  void FillCurrentLayout(paradox::TPxObject& reader);
  TRebuildStop WalkRecords(paradox::TPxObject& reader, TWalkCounts& counts);
  void InsertRecord(std::span<const std::byte> record, TWalkCounts& counts);
  void NoteFolderConversion(paradox::TPxObject& reader);
  bool ReportRebuild(TWalkCounts& counts, std::unique_ptr<paradox::TPxObject>& reader);
  bool RefuseEncryptedTable(std::int32_t headerCount);
  bool KeepRefusedRecords();
  // Keeps records in the run's Rejected folder with a line in the log
  // file; false, with a line, when they could not be kept.
  bool KeepRecords(const TRejectedRecords& records, const std::string& memoSource);
  bool ConvertFolderTable(std::int32_t firstHeaderCount);
  // The first rebuild of a folder table of the earlier layout is thrown
  // away by the conversion that follows it.
  bool ConversionDue() const;
  // Inserts RecTbl's records, converted, into the open scratch table;
  // returns how many went in.
  std::int64_t ConvertRecoveredRecords();

  // Recovery parts (IndexRecovery.cpp, SavedCopyMerge.cpp).
  void ReadIndexFile(const std::string& fileName, int& phase);
  void ApplyIndexRecord(paradox::TPxObject& index, std::size_t keyLength, std::vector<std::byte>& keyBuffer,
                        std::vector<std::byte>& recordBuffer);
  void AppendSavedRecord(paradox::TTable& current, paradox::TTable& saved);
  void CopyMemoValue(paradox::TTable& current, paradox::TTable& saved, int fieldIndex);

  // Swap parts (TableSwap.cpp, TableMemoSalvage.cpp).
  bool KeepOriginalFiles();
  // Checks the table's memo file against the scratch records and writes
  // the scratch table's new one when it has findings; false, with a line,
  // when that failed.
  bool SalvageMemoFile();
  void ShowSwapFailure(const paradox::TFamilyCommit::TFailure& failure, const std::string& message) const;

  TRepairContext& context_;
  TTableCheckRequest request_;
  bool restoreRequested_ = false;
  // The rebuild refused records whose size is not the scratch table's.
  bool layoutRefused_ = false;
  // A rebuild of this check passed over a block, met a read error, read
  // another number of records than the header gives, or had records
  // refused: the old files may hold more than the rebuilt table, so the
  // swap keeps them.
  bool damageSeen_ = false;
  // The scratch table has a memo file of its own, salvaged from the
  // table's: the swap replaces the table's memo file with it.
  bool memoSalvaged_ = false;
  // The second rebuild of a folder conversion: records are carried field
  // by field from the earlier folder layout into the new one.
  bool converting_ = false;
  // The recovery found records for a table due for conversion: they wait
  // in RecTbl for the conversion's rebuild, which claims them when they
  // reach the converted table.
  bool recoveredToConvert_ = false;
  // The check wrote its "Checking" line; only such checks have an outcome.
  bool checkStarted_ = false;
  // What the recovery steps of this check did, for its outcome.
  bool indexRecoveryRan_ = false;
  std::int64_t recoveredFromIndexes_ = 0;
  bool savedCopyMerged_ = false;
  std::int64_t recoveredConverted_ = 0;
  std::size_t scratchRecordSize_ = 0;
  TRejectedRecords rejected_;
  // Saved records the merge could not add.
  TRejectedRecords mergeRefused_;
  // The merge's memo column: the last blob field of the current table.
  std::optional<int> memoIndex_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_TABLECHECK_H_
