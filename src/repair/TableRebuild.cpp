// The rebuild: every record image the raw reader finds in the table file,
// inserted byte for byte into the fresh scratch table, which builds its
// indexes as the records go in. Records the engine refuses are kept aside
// in the run's Rejected folder; their count still shows as missing.
#include "repair/FolderConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "catalogue/TableCatalogue.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/PxObject.h"
#include "repair/AutomaticBackup.h"
#include "repair/Helpers.h"
#include "repair/StepTable.h"
#include "repair/TableCheck.h"
#include "repair/findings/Finding.h"

namespace remdo::repair {

namespace {

constexpr int kMessageInterval = 50;
// A folder table of the earlier layout whose first field holds a whole
// number from 1 to this limit (exclusive) is due for conversion.
constexpr std::int64_t kConversionBookLimit = 200000;

std::unique_ptr<paradox::TPxObject> OpenReader(const std::string& path) {
  return std::make_unique<paradox::TPxObject>(
      env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
}

std::size_t RecordSizeOf(paradox::TTable& table) {
  paradox::TCursorProps props;
  if (paradox::DbiGetCursorProps(table.Handle(), props) != 0) return 0;
  return props.recordSize;
}

}  // namespace

void TTableCheck::FillCurrentLayout(paradox::TPxObject& reader) {
  TTableLayout& layout = State().CurrentLayout;
  layout = TTableLayout{};
  layout.recordSize = static_cast<std::uint16_t>(reader.RecordSize());
  layout.headerCount = reader.RecordCount();
  layout.fieldCount = static_cast<std::uint16_t>(reader.FieldCount());
  layout.keyFieldCount = static_cast<std::uint16_t>(reader.KeyFieldCount());
  // A damaged field list leaves the layout without fields; the walk still
  // reads records, and the recovery finds nothing to place.
  for (const paradox::TPxFieldObject* field = reader.FirstField(); field != nullptr; field = field->Next()) {
    layout.fields.push_back({static_cast<std::uint32_t>(field->Offset()), static_cast<std::uint32_t>(field->Width())});
  }
}

bool TTableCheck::RebuildTable() {
  TRunReporter& run = Reporter();
  run.SetMessage("Rebuilding table \"" + request_.TableName + "\"...");
  std::unique_ptr<paradox::TPxObject> reader = OpenReader(TablePath());
  FillCurrentLayout(*reader);
  TWalkCounts counts;
  counts.headerCount = reader->RecordCount();
  {
    TStepTable scratch(context_.Table1, TRepairContext::DataFolder(), std::string(kScratchTable));
    scratchRecordSize_ = RecordSizeOf(*scratch);
    rejected_.Reset(scratchRecordSize_);
    const TRebuildStop stop = WalkRecords(*reader, counts);
    if (stop == TRebuildStop::kWalked && converting_ && recoveredToConvert_) {
      counts.recovered = recoveredConverted_ = ConvertRecoveredRecords();
    }
    scratch.Close();
    if (stop == TRebuildStop::kWrongRecordSize) {
      run.LogLine(FindingLine(TFindingCode::kIncorrectTableFormat));
      layoutRefused_ = true;
      run.SetMessage("");
      return false;
    }
    if (stop == TRebuildStop::kEncrypted) return RefuseEncryptedTable(counts.headerCount);
  }
  if (reader->PassedOverBlocks() > 0 || counts.read != counts.headerCount || counts.transferred < counts.read) {
    damageSeen_ = true;
  }
  bool result = ReportRebuild(counts, reader);
  reader.reset();
  const std::int32_t structure = request_.StructureNumber;
  if (counts.headerCount == 0 && catalogue::IsCurrentLayout() && structure == catalogue::kEarlierFolderStructure) {
    State().ConvertFolderTables = true;
  }
  if (State().ConvertFolderTables && request_.StructureNumber == catalogue::kEarlierFolderStructure) {
    result = ConvertFolderTable(counts.headerCount);
  }
  run.SetMessage("");
  return result;
}

TTableCheck::TRebuildStop TTableCheck::WalkRecords(paradox::TPxObject& reader, TWalkCounts& counts) {
  TRunReporter& run = Reporter();
  if (reader.IsEncrypted()) {
    if (!reader.DataBlocksReadPlain()) {
      env::ShowInfoBox("File marked as encrypted: " + request_.TableName, "Error");
      return TRebuildStop::kEncrypted;
    }
    // The catalogue never enciphers its tables: a mark over plain blocks is
    // a damaged header word, and the records are rebuilt as from any header.
    run.LogLine(FindingLine(TFindingCode::kEncryptionMarkOverPlainBlocks));
    damageSeen_ = true;
  }
  const bool testConversion = catalogue::IsCurrentLayout() && request_.StructureNumber == catalogue::kEarlierFolderStructure &&
                              reader.HasFields() && reader.FirstField()->TypeCode() == paradox::fieldtype::kNumber;
  std::unique_ptr<TFolderRecordConverter> converter;
  int shown = -1;
  try {
    if (!reader.FirstRecord()) return TRebuildStop::kWalked;
    if (converting_) {
      converter = std::make_unique<TFolderRecordConverter>(context_.Table1, reader, request_.StructureNumber);
    } else if (static_cast<std::size_t>(reader.RecordSize()) != scratchRecordSize_) {
      return TRebuildStop::kWrongRecordSize;
    }
    do {
      if (testConversion) NoteFolderConversion(reader);
      if (converter) {
        InsertRecord(converter->Convert(reader), counts);
      } else {
        InsertRecord(reader.RecordData(), counts);
      }
      ++counts.read;
      // The bar moves only when the whole percentage changes; a million
      // records would otherwise repaint it a million times.
      if (counts.headerCount > 0) {
        const int percent = ProgressPercent(counts.read, counts.headerCount);
        if (percent != shown) run.SetProgress(shown = percent);
      }
      if (counts.read % kMessageInterval == 0) run.ProcessMessages();
    } while (run.KeepGoing() && reader.NextRecord());
  } catch (const env::EReadError&) {
    run.LogLine("  -- read error");
    damageSeen_ = true;
  }
  return TRebuildStop::kWalked;
}

// Nothing of an encrypted table can be read, so nothing may replace it,
// whatever its header count says and whatever the index files or the saved
// copy could give: the table fails and its files stay as they are.
bool TTableCheck::RefuseEncryptedTable(std::int32_t headerCount) {
  TRunReporter& run = Reporter();
  State().MissingRecords = std::max(headerCount, 0);
  if (run.KeepGoing()) {
    if (headerCount > 0) {
      run.LogLine("  -- transfer missing " + std::to_string(headerCount) + " record" +
                  std::string(PluralSuffix(headerCount)));
    } else {
      run.LogLine(FindingLine(TFindingCode::kMarkedEncrypted));
    }
  }
  run.SetMessage("");
  return false;
}

void TTableCheck::InsertRecord(std::span<const std::byte> record, TWalkCounts& counts) {
  const std::uint16_t code = paradox::DbiInsertRecord(context_.Table1.Handle(), paradox::TDbiLock::kNoLock, record);
  if (code == 0) {
    ++counts.transferred;
  } else {
    rejected_.Add(record);
  }
}

void TTableCheck::NoteFolderConversion(paradox::TPxObject& reader) {
  const paradox::TPxFieldObject& book = reader.FieldByNumber(0);
  const double value = book.AsFloat();
  if (value - std::trunc(value) != 0) {
    State().ConvertFolderTables = true;
    return;
  }
  const std::int64_t whole = book.AsInteger();
  if (whole > 0 && whole < kConversionBookLimit) State().ConvertFolderTables = true;
}

bool TTableCheck::ReportRebuild(TWalkCounts& counts, std::unique_ptr<paradox::TPxObject>& reader) {
  TRunReporter& run = Reporter();
  // A negative header count, or 0 over records found, is damage: what the
  // walk read stands in for it, and the steps that look for lost records
  // run, since how many were lost is unknown.
  const bool countUnknown = counts.headerCount < 0 || (counts.headerCount == 0 && counts.read > 0);
  State().RecordCountUnknown = countUnknown;
  const std::int64_t header = countUnknown ? counts.read : counts.headerCount;
  if (countUnknown && run.KeepGoing()) {
    run.LogLine("  -- record count " + std::to_string(counts.headerCount) + " in the header; " +
                std::to_string(counts.read) + " record" + std::string(PluralSuffix(counts.read)) + " found");
  }
  std::int64_t transferred = counts.transferred + counts.recovered;
  if (transferred > header) transferred = header;
  State().MissingRecords = static_cast<std::int32_t>(header - transferred);
  const std::int32_t tolerance = request_.MissingTolerance;
  if (tolerance > 0 && transferred < header && transferred + tolerance >= header) transferred = header;
  const bool complete = transferred == header;
  bool result = complete;
  if (!run.KeepGoing()) return result;
  const std::int64_t missing = header - transferred;
  const std::string count = std::to_string(missing) + " record" + std::string(PluralSuffix(missing));
  if (complete) {
    run.LogLine("~  -- transferred data [" + std::to_string(transferred) + "]");
  } else if (request_.VerifyMissing) {
    run.LogLine("~  -- verifying " + count);
  } else {
    run.LogLine("  -- transfer missing " + count);
  }
  const bool kept = KeepRefusedRecords();
  if (!complete && request_.VerifyMissing && kept) {
    reader.reset();
    result = RecoverFromIndexes();
  }
  if (!complete && request_.RestoreFromSave) {
    const std::string saveFolder = SaveFolder();
    env::TFileSystem& fileSystem = env::DefaultFileSystem();
    result = !saveFolder.empty() && fileSystem.FolderExists(saveFolder) &&
             fileSystem.FileExists(saveFolder + request_.TableName + ".db");
    restoreRequested_ = true;
  }
  return result && kept;
}

bool TTableCheck::KeepRefusedRecords() {
  // The first rebuild of a folder table about to be converted is thrown
  // away; the conversion's own rebuild keeps what it refuses.
  if (rejected_.Empty() || ConversionDue()) return true;
  return KeepRecords(rejected_, DataPath(request_.TableName + ".mb"));
}

bool TTableCheck::KeepRecords(const TRejectedRecords& records, const std::string& memoSource) {
  if (records.Empty()) return true;
  TRunReporter& run = Reporter();
  const std::size_t count = records.Count();
  try {
    const std::string where = records.Keep(context_, request_.TableName, request_.StructureNumber, memoSource);
    run.LogLine("~  -- kept " + std::to_string(count) + " refused record" + std::string(PluralSuffix(count)) + " in " +
                where);
    return true;
  } catch (const env::ERemdoError& error) {
    run.LogLine("  -- " + std::to_string(count) + " refused record" + std::string(PluralSuffix(count)) +
                " could not be kept: " + error.what());
    return false;
  }
}

}  // namespace remdo::repair
