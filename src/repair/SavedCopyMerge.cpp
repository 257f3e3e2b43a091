// The restore from the saved copy: every record of the table's copy in the
// save folder whose primary key the rebuilt table lacks is added to it,
// field by field and memo included. Records whose key is present are never
// touched. The key is searched with each key field's own type, so a number
// key of the earlier layout is matched exactly, fraction and all.
#include <optional>
#include <vector>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/components/BlobStream.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/FieldValue.h"
#include "repair/AutomaticBackup.h"
#include "repair/Helpers.h"
#include "repair/StepTable.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {

using paradox::TFieldType;

bool IsIntegerType(TFieldType type) {
  return type == TFieldType::kShort || type == TFieldType::kLong || type == TFieldType::kAutoIncrement;
}
bool IsFloatType(TFieldType type) {
  return type == TFieldType::kNumber || type == TFieldType::kMoney || type == TFieldType::kBcd;
}
bool IsDateTimeType(TFieldType type) {
  return type == TFieldType::kDate || type == TFieldType::kTime || type == TFieldType::kTimestamp;
}

// The saved record's key field as a search value of the key field's type.
paradox::TValue KeyValue(paradox::TField& saved, TFieldType type) {
  if (saved.IsNull()) return {};
  if (IsIntegerType(type)) return paradox::TValue(static_cast<long long>(saved.AsInteger()));
  if (IsFloatType(type)) return paradox::TValue(saved.AsFloat());
  if (type == TFieldType::kLogical) return paradox::TValue(saved.AsBoolean());
  return paradox::TValue(saved.AsString());
}

std::size_t KeyFieldCount(paradox::TTable& table) {
  paradox::TCursorProps props;
  if (paradox::DbiGetCursorProps(table.Handle(), props) != 0) return 0;
  return props.keyFieldCount;
}

// Copies one plain field value; blank values stay blank.
void CopyValue(paradox::TField& from, paradox::TField& to) {
  const TFieldType type = to.DataType();
  if (from.IsNull()) return;
  if (type == TFieldType::kAlpha) {
    to.SetAsString(from.AsString());
  } else if (IsIntegerType(type)) {
    to.SetAsInteger(from.AsInteger());
  } else if (type == TFieldType::kLogical) {
    to.SetAsBoolean(from.AsBoolean());
  } else if (IsFloatType(type)) {
    to.SetAsFloat(from.AsFloat());
  } else if (IsDateTimeType(type)) {
    to.SetAsDateTime(from.AsDateTime());
  }
}

}  // namespace

bool TTableCheck::RestoreFromSavedCopy() {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string saveFolder = SaveFolder();
  if (saveFolder.empty() || !fileSystem.FolderExists(saveFolder) ||
      !fileSystem.FileExists(saveFolder + request_.TableName + ".db")) {
    return false;
  }
  TRunReporter& run = Reporter();
  bool result = false;
  {
    TStepTable current(context_.Table1, TRepairContext::DataFolder(), request_.TableName);
    std::optional<TStepTable> saved;
    try {
      saved.emplace(context_.Table2, saveFolder, request_.TableName);
    } catch (const env::EDBEngineError& error) {
      // The engine reads no encrypted table: that saved copy restores
      // nothing, and the table fails as without a saved copy.
      if (error.Code() != paradox::kDbiErrTblEncrypted) throw;
      run.LogLine("  -- saved copy marked as encrypted: " + request_.TableName);
      return false;
    }
    savedCopyMerged_ = true;
    mergeRefused_.Reset(current->ActiveBuffer().size());
    // A rebuilt table that came out empty is filled from the saved copy too.
    if ((*saved)->RecordCount() > 0) {
      result = MergeSavedCopy(*current, **saved) && run.KeepGoing();
    } else {
      result = run.KeepGoing();
    }
    saved->Close();
    current.Close();
  }
  // The saved records the engine refused are kept as the rebuild keeps its
  // own, their memo values read from the saved copy's memo file.
  return KeepRecords(mergeRefused_, saveFolder + request_.TableName + ".mb") && result;
}

bool TTableCheck::MergeSavedCopy(paradox::TTable& current, paradox::TTable& saved) {
  const std::size_t keyFields = KeyFieldCount(current);
  // A table without a primary key has no way to tell which records it
  // lacks; nothing is merged.
  if (keyFields == 0) return true;
  TRunReporter& run = Reporter();
  run.SetMessage("Merging recovered records...");
  run.SetProgress(0);
  std::int64_t done = 0;
  memoIndex_.reset();
  saved.First();
  while (run.KeepGoing() && !saved.Eof()) {
    std::vector<paradox::TValue> key;
    for (std::size_t i = 0; i < keyFields && i < static_cast<std::size_t>(saved.FieldCount()); ++i) {
      const int at = static_cast<int>(i);
      key.push_back(KeyValue(saved.Fields(at), current.Fields(at).DataType()));
    }
    if (!current.FindKey(key)) AppendSavedRecord(current, saved);
    ++done;
    if (current.RecordCount() > 0) run.SetProgress(ProgressPercent(done, current.RecordCount()));
    saved.Next();
  }
  run.SetMessage("");
  return true;
}

void TTableCheck::AppendSavedRecord(paradox::TTable& current, paradox::TTable& saved) {
  const int fields = std::min(current.FieldCount(), saved.FieldCount());
  try {
    current.Append();
    for (int i = 0; i < fields; ++i) {
      paradox::TField& to = current.Fields(i);
      if (paradox::IsBlobType(to.DataType())) {
        memoIndex_ = i;
      } else {
        CopyValue(saved.Fields(i), to);
      }
    }
    current.Post();
  } catch (const env::EDBEngineError&) {
    // A record the engine refuses is kept aside; the merge goes on. The
    // saved image itself when it has the table's layout (its memo reference
    // then still points into the saved memo file), else the values as far
    // as they were copied.
    const auto image =
        saved.ActiveBuffer().size() == current.ActiveBuffer().size() ? saved.ActiveBuffer() : current.ActiveBuffer();
    mergeRefused_.Add(image);
    current.Cancel();
    return;
  }
  if (memoIndex_ && *memoIndex_ < fields) CopyMemoValue(current, saved, *memoIndex_);
}

void TTableCheck::CopyMemoValue(paradox::TTable& current, paradox::TTable& saved, int fieldIndex) {
  std::vector<std::byte> value;
  try {
    const paradox::TBlobStream source(saved.Fields(fieldIndex), paradox::TBlobStreamMode::kRead);
    value = source.Bytes();
  } catch (const env::EDBEngineError& error) {
    // A saved column that is no blob field at all is a copy of another
    // structure: that ends the check.
    if (error.Code() == paradox::kDbiErrNotABlob) throw;
    // The saved copy's memo file has lost this value: the record stays
    // without its memo, as when the engine refuses it below.
    return;
  }
  if (value.empty()) return;
  try {
    current.Edit();
    {
      paradox::TBlobStream target(current.Fields(fieldIndex), paradox::TBlobStreamMode::kWrite);
      target.Write(value);
    }
    current.Post();
  } catch (const env::EDBEngineError&) {
    // The record stays without its memo; the merge goes on.
    current.Cancel();
  }
}

}  // namespace remdo::repair
