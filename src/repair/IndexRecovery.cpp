// Recovery of lost records from the table's single-field secondary index
// files. Every record of such a file holds one field value of a main-table
// record and that record's primary key; walking all of them gives, for each
// key the rebuilt table lacks, a partial record: its key and every indexed
// field. The partial records gather in the scratch table RecTbl and then go
// into the rebuilt table.
//
// The index files are as damaged as the table may be: a file whose header
// does not fit the table is skipped with a line in the log file, a file that
// cannot be read to its end yields what was read before, and every copy is
// kept inside the index record and inside the record buffer, whatever sizes
// and field numbers the index file declares.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Text.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/PxObject.h"
#include "repair/Helpers.h"
#include "repair/StepTable.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {

// File types of single-field secondary index data files.
constexpr int kIndexData = 3;
constexpr int kMaintainedIndexData = 5;
constexpr int kAdaptedStructure = 2;
constexpr std::size_t kSortTitleCut = 18;

// Copies up to count bytes from source[from...] to target[to...], only as
// far as both spans reach.
void CopyInside(std::span<const std::byte> source, std::size_t from, std::span<std::byte> target, std::size_t to,
                std::size_t count) {
  if (from >= source.size() || to >= target.size()) return;
  const std::size_t n = std::min({count, source.size() - from, target.size() - to});
  std::memcpy(target.data() + to, source.data() + from, n);
}

bool IsIndexData(const paradox::TPxObject& index) {
  return index.FileType() == kIndexData || index.FileType() == kMaintainedIndexData;
}

// Why a single-field index file cannot serve the table: empty when it can.
// A record size other than the sum of the file's field widths, a key other
// than the table's or an indexed field that is not the table's field of that
// number means a damaged header: every record would be read out of step or
// put in the wrong place, and what came back would be rubbish. Throws
// env::EReadError for a file without readable fields.
std::string IndexMismatch(const paradox::TPxObject& index, const TTableLayout& layout, std::size_t keyLength) {
  std::size_t width = 0;
  for (const paradox::TPxFieldObject* field = index.FirstField(); field != nullptr; field = field->Next()) {
    width += static_cast<std::size_t>(field->Width());
  }
  if (static_cast<std::size_t>(index.RecordSize()) != width) {
    return "record size " + std::to_string(index.RecordSize()) + " in the header, " + std::to_string(width) +
           " bytes of fields";
  }
  std::size_t tableKey = 0;
  for (std::size_t i = 0; i < layout.keyFieldCount && i < layout.fields.size(); ++i) tableKey += layout.fields[i].size;
  if (layout.keyFieldCount == 0 || keyLength != tableKey) return "its key does not match the table's";
  const auto header = index.HeaderBytes();
  const std::size_t n = header.size() > paradox::pxheader::kIndexFieldNumber
                            ? std::to_integer<std::size_t>(header[paradox::pxheader::kIndexFieldNumber])
                            : 0;
  if (n < 1 || n > layout.fields.size() ||
      layout.fields[n - 1].size != static_cast<std::size_t>(index.FieldByNumber(0).Width())) {
    return "its indexed field " + std::to_string(n) + " does not match the table's";
  }
  return {};
}

}  // namespace

bool TTableCheck::RecoverFromIndexes() {
  indexRecoveryRan_ = true;
  if (!CreateScratchTable(kRecoveryTable)) return false;
  TRunReporter& run = Reporter();
  const std::string folder = TRepairContext::DataFolder();
  {
    TStepTable recovered(context_.Table1, folder, std::string(kRecoveryTable));
    TStepTable rebuilt(context_.Table2, folder, std::string(kScratchTable));
    int phase = 0;
    for (const auto& entry : env::DefaultFileSystem().Find(folder + request_.TableName + ".x??", env::attr::kAnyFile)) {
      if (!run.KeepGoing()) break;
      ReadIndexFile(entry.name, phase);
    }
    rebuilt.Close();
    recovered.Close();
  }
  if (!run.KeepGoing()) return false;
  const bool adapted = AdaptRecoveredTitles();
  const bool imported = ImportRecoveredRecords();
  return adapted && imported;
}

void TTableCheck::ReadIndexFile(const std::string& fileName, int& phase) {
  TRunReporter& run = Reporter();
  ++phase;
  run.SetMessage("Recovery phase " + std::to_string(phase) + "...");
  run.SetProgress(0);
  const TTableLayout& layout = State().CurrentLayout;
  std::vector<std::byte> keyBuffer(layout.recordSize);
  std::vector<std::byte> recordBuffer(layout.recordSize);
  // Built inside the try: a file too short for a header (a crash leaves
  // index files of zero bytes) is a read error like any other.
  std::unique_ptr<paradox::TPxObject> reader;
  try {
    reader = std::make_unique<paradox::TPxObject>(
        env::TFileStream(env::DefaultFileSystem(), TRepairContext::DataFolder() + fileName, env::TOpenMode::kRead));
    paradox::TPxObject& index = *reader;
    if (index.IsEncrypted()) {
      env::ShowInfoBox("File marked as encrypted: " + fileName, "Error");
      return;
    }
    // The primary key as the index record stores it: fields 2 to k + 1.
    std::size_t keyLength = 0;
    if (IsIndexData(index)) {
      for (int field = 1; field <= layout.keyFieldCount; ++field) {
        keyLength += static_cast<std::size_t>(index.FieldByNumber(field).Width());
      }
      const std::string mismatch = IndexMismatch(index, layout, keyLength);
      if (!mismatch.empty()) {
        run.LogLine("~     index file " + fileName + " skipped: " + mismatch);
        return;
      }
    }
    std::int64_t count = 0;
    int shown = 0;
    const std::int32_t headerCount = index.RecordCount();
    if (!index.FirstRecord()) return;
    do {
      std::fill(keyBuffer.begin(), keyBuffer.end(), std::byte{0});
      std::fill(recordBuffer.begin(), recordBuffer.end(), std::byte{0});
      ApplyIndexRecord(index, keyLength, keyBuffer, recordBuffer);
      ++count;
      if (headerCount > 0) {
        const int percent = ProgressPercent(count, headerCount);
        if (percent != shown) run.SetProgress(shown = percent);
      }
    } while (run.KeepGoing() && index.NextRecord());
  } catch (const env::EReadError& error) {
    // A damaged index file ends its phase; what was gathered stays.
    if (!reader || IsIndexData(*reader)) {
      run.LogLine("~     index file " + fileName + " could not be read to its end: " + error.what());
    }
  }
}

void TTableCheck::ApplyIndexRecord(paradox::TPxObject& index, std::size_t keyLength, std::vector<std::byte>& keyBuffer,
                                   std::vector<std::byte>& recordBuffer) {
  if (!IsIndexData(index)) return;
  const std::span<const std::byte> record = index.RecordData();
  const std::size_t keyAt = static_cast<std::size_t>(index.FieldByNumber(1).Offset());
  CopyInside(record, keyAt, keyBuffer, 0, keyLength);
  // Transferred by the rebuild: nothing to recover.
  if (paradox::DbiGetRecordForKey(context_.Table2.Handle(), false, 0, 0, keyBuffer, {}) == 0) return;
  const bool found = paradox::DbiGetRecordForKey(context_.Table1.Handle(), false, 0, 0, keyBuffer, recordBuffer) == 0;
  if (!found) {
    std::fill(recordBuffer.begin(), recordBuffer.end(), std::byte{0});
    CopyInside(keyBuffer, 0, recordBuffer, 0, keyLength);
  }
  // The indexed value (the index record's first field) goes where field n
  // of the table lies, n being the field number the index file names.
  const TTableLayout& layout = State().CurrentLayout;
  const auto header = index.HeaderBytes();
  const std::size_t n = header.size() > paradox::pxheader::kIndexFieldNumber
                            ? std::to_integer<std::size_t>(header[paradox::pxheader::kIndexFieldNumber])
                            : 0;
  if (n >= 1 && n <= layout.fields.size()) {
    const paradox::TPxFieldObject& value = index.FieldByNumber(0);
    const TFieldLayout& target = layout.fields[n - 1];
    const std::size_t size = std::min<std::size_t>(target.size, static_cast<std::size_t>(value.Width()));
    CopyInside(record, static_cast<std::size_t>(value.Offset()), recordBuffer, target.offset, size);
  }
  // Refused insertions and changes leave RecTbl as it was.
  if (!found) {
    (void)paradox::DbiInsertRecord(context_.Table1.Handle(), paradox::TDbiLock::kNoLock, recordBuffer);
  } else {
    (void)paradox::DbiModifyRecord(context_.Table1.Handle(), recordBuffer, true);
  }
}

bool TTableCheck::AdaptRecoveredTitles() {
  if (request_.StructureNumber != kAdaptedStructure) return true;
  TRunReporter& run = Reporter();
  run.SetMessage("Adapting recovered records...");
  run.SetProgress(0);
  TStepTable table(context_.Table1, TRepairContext::DataFolder(), std::string(kRecoveryTable));
  const long count = std::max(table->RecordCount(), 1L);
  long done = 0;
  table->First();
  while (run.KeepGoing() && !table->Eof()) {
    std::string title = table->FieldByName("Sort Title").AsString();
    if (title.size() > kSortTitleCut) title.resize(kSortTitleCut);
    const std::string newTitle = "lost title: " + std::string(env::Trim(title));
    table->Edit();
    table->FieldByName("Sort Title").SetAsString("");
    table->FieldByName("Title").SetAsString(newTitle);
    table->Post();
    run.SetProgress(ProgressPercent(++done, count));
    table->Next();
  }
  table.Close();
  return true;
}

bool TTableCheck::ImportRecoveredRecords() {
  // The scratch table is about to be made again in the new folder layout;
  // the conversion's rebuild takes the recovered records from RecTbl.
  if (ConversionDue()) {
    recoveredToConvert_ = true;
    return true;
  }
  TRunReporter& run = Reporter();
  run.SetMessage("Importing recovered records...");
  run.SetProgress(0);
  const std::string folder = TRepairContext::DataFolder();
  std::int64_t inserted = 0;
  {
    TStepTable rebuilt(context_.Table1, folder, std::string(kScratchTable));
    TStepTable recovered(context_.Table2, folder, std::string(kRecoveryTable));
    const long count = std::max(recovered->RecordCount(), 1L);
    long done = 0;
    recovered->First();
    while (run.KeepGoing() && !recovered->Eof()) {
      const auto code =
          paradox::DbiInsertRecord(rebuilt->Handle(), paradox::TDbiLock::kNoLock, recovered->ActiveBuffer());
      if (code == 0) ++inserted;
      run.SetProgress(ProgressPercent(++done, count));
      recovered->Next();
    }
    recovered.Close();
    rebuilt.Close();
  }
  recoveredFromIndexes_ += inserted;
  if (inserted > 0) {
    run.LogLine("  -- fields recovered");
    AppendToNameList(State().RecoveredTables, request_.TableName);
  }
  return true;
}

}  // namespace remdo::repair
