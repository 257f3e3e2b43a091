// The table component: a state machine (browse, edit, insert) over a cursor,
// with a record buffer that fields read and write.
#include "paradox/Table.h"

#include <algorithm>
#include <cstring>

#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/EngineCodes.h"
#include "paradox/EngineErrors.h"
#include "paradox/TableFiles.h"

namespace remdo::paradox {

TTable::~TTable() {
  try {
    Close();
  } catch (const env::EDBEngineError&) {
  }
}

void TTable::CheckActive() const {
  if (!Active()) throw EngineError(kDbiErrInvalidHndl, "The table " + tableName_ + " is not open");
}

void TTable::Open() {
  if (Active()) return;
  TEngineSession& session = TEngineSession::Instance();
  if (!session.Started()) session.Start();
  if (!indexName_.empty()) {
    // TODO(engine II): opening on a secondary index.
    throw EngineError(kDbiErrNoSuchIndex, "The table " + tableName_ + " has no index " + indexName_ + " this engine can open");
  }
  TDbConnection& database = session.Connect(databaseName_);
  try {
    cursor_ = std::make_unique<TCursor>(database, TableDataPath(database.Folder(), tableName_), tableName_, exclusive_);
  } catch (...) {
    session.Disconnect(database);
    throw;
  }
  database_ = &database;
  fields_.clear();
  for (std::size_t i = 0; i < Data().Header().fields.size(); ++i) fields_.push_back(std::make_unique<TField>(*this, i));
  buffer_.assign(Data().RecordSize(), std::byte{0});
  state_ = TDataSetState::kBrowse;
  First();
}

void TTable::Close() {
  if (!Active()) return;
  state_ = TDataSetState::kInactive;
  fields_.clear();
  std::unique_ptr<TCursor> cursor = std::move(cursor_);
  TDbConnection* database = database_;
  database_ = nullptr;
  try {
    cursor->Close();
  } catch (...) {
    cursor.reset();
    TEngineSession::Instance().Disconnect(*database);
    throw;
  }
  cursor.reset();
  TEngineSession::Instance().Disconnect(*database);
}

void TTable::LoadBuffer() {
  if (cursor_->HasCurrent()) {
    const auto current = cursor_->Current();
    std::copy(current.begin(), current.end(), buffer_.begin());
  } else {
    std::fill(buffer_.begin(), buffer_.end(), std::byte{0});
  }
}

void TTable::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::kEdit || state_ == TDataSetState::kInsert) {
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  }
}

void TTable::First() {
  CheckBrowseMode();
  cursor_->First();
  LoadBuffer();
}

void TTable::Last() {
  CheckBrowseMode();
  cursor_->Last();
  LoadBuffer();
}

void TTable::Next() {
  CheckBrowseMode();
  if (cursor_->Next()) LoadBuffer();
}

void TTable::Prior() {
  CheckBrowseMode();
  if (cursor_->Prior()) LoadBuffer();
}

bool TTable::Eof() const { return !Active() || cursor_->Eof(); }
bool TTable::Bof() const { return !Active() || cursor_->Bof(); }

long TTable::RecordCount() const {
  CheckActive();
  return static_cast<long>(cursor_->RecordCount());
}

TField& TTable::Fields(int index) {
  CheckActive();
  if (index < 0 || index >= FieldCount()) {
    throw EngineError(kDbiErrOutOfRange, "The table " + tableName_ + " has no field " + std::to_string(index));
  }
  return *fields_[static_cast<std::size_t>(index)];
}

TField* TTable::FindField(std::string_view name) {
  for (auto& field : fields_) {
    if (env::SameText(field->FieldName(), name)) return field.get();
  }
  return nullptr;
}

TField& TTable::FieldByName(std::string_view name) {
  CheckActive();
  TField* field = FindField(name);
  if (field == nullptr) {
    throw EngineError(kDbiErrInvalidFieldName, "The table " + tableName_ + " has no field \"" + std::string(name) + "\"");
  }
  return *field;
}

const THeaderField& TTable::FieldDef(std::size_t index) const { return Data().Header().fields[index]; }

TFieldRef TTable::FieldRef(std::size_t index, bool forWriting) {
  CheckActive();
  if (forWriting && state_ != TDataSetState::kEdit && state_ != TDataSetState::kInsert) {
    throw EngineError(kDbiErrInvalidMode, "The table " + tableName_ + " is not in edit or insert mode");
  }
  if (forWriting) modified_ = true;
  return {FieldDef(index), buffer_.data() + Data().FieldOffset(index), Data().CodePage()};
}

std::span<std::byte> TTable::ActiveBuffer() {
  CheckActive();
  return buffer_;
}

void TTable::Edit() {
  CheckActive();
  if (state_ == TDataSetState::kEdit || state_ == TDataSetState::kInsert) return;
  if (!cursor_->HasCurrent()) return Insert();
  LoadBuffer();
  state_ = TDataSetState::kEdit;
  modified_ = false;
}

void TTable::Append() {
  CheckBrowseMode();
  std::fill(buffer_.begin(), buffer_.end(), std::byte{0});
  insertPosition_ = cursor_->RecordCount();
  state_ = TDataSetState::kInsert;
  modified_ = false;
}

void TTable::Insert() {
  CheckBrowseMode();
  insertPosition_ = cursor_->HasCurrent() ? cursor_->Position() : 0;
  std::fill(buffer_.begin(), buffer_.end(), std::byte{0});
  state_ = TDataSetState::kInsert;
  modified_ = false;
}

void TTable::Post() {
  CheckActive();
  TOpenTable& table = Data();
  if (state_ == TDataSetState::kEdit) {
    std::size_t moved = 0;
    CheckEngineResult(table.Modify(cursor_->Position(), buffer_, &moved), "Posting a record to " + tableName_);
    cursor_->MoveTo(moved);
  } else if (state_ == TDataSetState::kInsert) {
    const auto& fields = table.Header().fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      TFieldRef ref{fields[i], buffer_.data() + table.FieldOffset(i), 0};
      if (fields[i].type == TFieldType::kAutoIncrement && FieldIsNull(ref)) {
        SetFieldInteger(ref, table.TakeAutoIncrement());
      }
    }
    CheckEngineResult(table.Insert(buffer_, insertPosition_, nullptr), "Posting a record to " + tableName_);
    // The buffer already holds the new record; the cursor finds it when it
    // next moves, so a run of appends never sorts the table in between.
    cursor_->Follow(buffer_, insertPosition_);
    state_ = TDataSetState::kBrowse;
    modified_ = false;
    return;
  } else {
    return;
  }
  state_ = TDataSetState::kBrowse;
  modified_ = false;
  LoadBuffer();
}

void TTable::Cancel() {
  CheckActive();
  if (state_ == TDataSetState::kBrowse) return;
  state_ = TDataSetState::kBrowse;
  modified_ = false;
  LoadBuffer();
}

void TTable::Delete() {
  CheckActive();
  if (state_ == TDataSetState::kInsert) return Cancel();
  state_ = TDataSetState::kBrowse;
  if (!cursor_->HasCurrent()) throw EngineError(kDbiErrNoCurrRec, "The table " + tableName_ + " is empty");
  const std::size_t position = cursor_->Position();
  CheckEngineResult(Data().Delete(position), "Deleting a record of " + tableName_);
  if (cursor_->HasCurrent()) cursor_->MoveTo(std::min(position, cursor_->RecordCount() - 1));
  LoadBuffer();
}

bool TTable::FindKey(std::initializer_list<TValue> values) {
  return FindKey(std::span<const TValue>(values.begin(), values.size()));
}

bool TTable::FindKey(std::span<const TValue> values) {
  CheckBrowseMode();
  TOpenTable& table = Data();
  const auto keyFields = static_cast<std::size_t>(table.Header().keyFieldCount);
  if (keyFields == 0) throw EngineError(kDbiErrNotIndexed, "The table " + tableName_ + " has no primary key");
  if (values.empty() || values.size() > keyFields) {
    throw EngineError(kDbiErrInvalidParam, "Searching " + tableName_ + " with " + std::to_string(values.size()) + " values");
  }
  std::vector<std::byte> key(table.RecordSize());
  for (std::size_t i = 0; i < values.size(); ++i) {
    SetFieldValue({table.Header().fields[i], key.data() + table.FieldOffset(i), table.CodePage()}, values[i]);
  }
  const std::size_t width = values.size() < table.Header().fields.size() ? table.FieldOffset(values.size()) : key.size();
  TRecordStore& records = table.Records();
  std::optional<std::size_t> found;
  if (values.size() == keyFields) {
    found = records.Find(std::span<const std::byte>(key).first(width));
  } else {
    if (!table.CanOrderKeys()) {
      throw EngineError(kDbiErrNotSupported, "The key order of " + tableName_ + "'s language driver is not known");
    }
    const std::size_t at = records.LowerBound(std::span<const std::byte>(key).first(width));
    if (at < records.Count() && std::memcmp(records.At(at).data(), key.data(), width) == 0) found = at;
  }
  if (!found) return false;
  cursor_->MoveTo(*found);
  LoadBuffer();
  return true;
}

void TTable::AppendRecord(std::initializer_list<TValue> values) {
  Append();
  std::size_t i = 0;
  for (const TValue& value : values) {
    if (i >= fields_.size()) break;
    fields_[i++]->SetValue(value);
  }
  Post();
}

}  // namespace remdo::paradox
