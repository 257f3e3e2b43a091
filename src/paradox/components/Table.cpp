// The table component: a state machine (browse, edit, insert) over a cursor,
// with a record buffer that fields read and write.
#include "paradox/components/Table.h"

#include <algorithm>
#include <cstring>

#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/family/TableFiles.h"

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
  TConnectionLease lease = TEngineSession::Instance().Lease(databaseName_);
  cursor_ = std::make_unique<TCursor>(*lease, TableDataPath(lease->Folder(), tableName_), tableName_, exclusive_,
                                      indexName_);
  lease_ = std::move(lease);
  fields_.clear();
  for (std::size_t i = 0; i < Data().Header().fields.size(); ++i) fields_.push_back(std::make_unique<TField>(*this, i));
  buffer_.assign(Data().RecordSize(), std::byte{0});
  state_ = TDataSetState::kBrowse;
  First();
}

void TTable::Close() {
  if (!Active()) return;
  state_ = TDataSetState::kInactive;
  pendingBlobs_.clear();
  fields_.clear();
  // The cursor goes before the lease, on every path.
  const TConnectionLease lease = std::move(lease_);
  const std::unique_ptr<TCursor> cursor = std::move(cursor_);
  cursor->Close();
}

void TTable::ResetEdit() {
  state_ = TDataSetState::kBrowse;
  modified_ = false;
  pendingBlobs_.clear();
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

std::vector<std::byte> TTable::BlobValue(std::size_t index) {
  const TFieldRef ref = FieldRef(index, false);
  if (const auto pending = pendingBlobs_.find(index); pending != pendingBlobs_.end()) return pending->second;
  return Data().ReadBlob(std::span<const std::byte>(ref.bytes, static_cast<std::size_t>(ref.field.Width())));
}

void TTable::SetBlobValue(std::size_t index, std::vector<std::byte> value) {
  (void)FieldRef(index, true);
  pendingBlobs_[index] = std::move(value);
}

// Stores the values written to blob fields and puts their references into
// the record buffer; on a failure nothing stays stored and the buffer is as
// before (the caller's copy of it, taken when values wait).
std::vector<TBlobDescriptor> TTable::StorePendingBlobs(const std::vector<std::byte>& before) {
  std::vector<TBlobDescriptor> stored;
  if (pendingBlobs_.empty()) return stored;
  TOpenTable& table = Data();
  try {
    for (const auto& [index, value] : pendingBlobs_) {
      const THeaderField& field = FieldDef(index);
      const std::span<std::byte> bytes(buffer_.data() + table.FieldOffset(index), static_cast<std::size_t>(field.Width()));
      stored.push_back(table.StoreBlob(bytes, *BlobKindOf(static_cast<std::uint8_t>(field.type)), value));
    }
  } catch (const env::ERemdoError&) {
    DiscardStoredBlobs(stored, before);
    throw;
  }
  return stored;
}

void TTable::DiscardStoredBlobs(const std::vector<TBlobDescriptor>& stored, const std::vector<std::byte>& before) {
  for (const TBlobDescriptor& d : stored) Data().DiscardBlob(d);
  buffer_ = before;
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
  ResetEdit();
  state_ = TDataSetState::kEdit;
}

void TTable::Append() {
  CheckBrowseMode();
  std::fill(buffer_.begin(), buffer_.end(), std::byte{0});
  insertPosition_ = cursor_->RecordCount();
  ResetEdit();
  state_ = TDataSetState::kInsert;
}

void TTable::Insert() {
  CheckBrowseMode();
  insertPosition_ = cursor_->HasCurrent() ? cursor_->RecordPosition() : 0;
  std::fill(buffer_.begin(), buffer_.end(), std::byte{0});
  ResetEdit();
  state_ = TDataSetState::kInsert;
}

void TTable::Post() {
  CheckActive();
  if (state_ != TDataSetState::kEdit && state_ != TDataSetState::kInsert) return;
  TOpenTable& table = Data();
  const std::vector<std::byte> before = pendingBlobs_.empty() ? std::vector<std::byte>() : buffer_;
  const std::vector<TBlobDescriptor> stored = StorePendingBlobs(before);
  // The message is made only when the engine refuses the record, not for
  // every record of a long run of posts.
  auto check = [this](std::uint16_t code) {
    if (code != kDbiErrNone) CheckEngineResult(code, "Posting a record to " + tableName_);
  };
  try {
    if (state_ == TDataSetState::kEdit) {
      std::size_t moved = 0;
      check(table.Modify(cursor_->RecordPosition(), buffer_, &moved));
      cursor_->MoveToRecord(moved);
      ResetEdit();
      LoadBuffer();
      return;
    }
    const auto& fields = table.Header().fields;
    // Most tables have no autoincrement field: their posts skip the look.
    for (std::size_t i = 0; table.HasAutoIncrement() && i < fields.size(); ++i) {
      if (fields[i].type != TFieldType::kAutoIncrement) continue;
      TFieldRef ref{fields[i], buffer_.data() + table.FieldOffset(i), 0};
      if (FieldIsNull(ref)) SetFieldInteger(ref, table.TakeAutoIncrement());
    }
    check(table.Insert(buffer_, insertPosition_, nullptr));
  } catch (const env::EDBEngineError&) {
    if (!stored.empty()) DiscardStoredBlobs(stored, before);
    throw;
  }
  // The buffer already holds the new record; the cursor finds it when it
  // next moves, so a run of appends never sorts the table in between.
  cursor_->Follow(buffer_, insertPosition_);
  ResetEdit();
}

void TTable::Cancel() {
  CheckActive();
  if (state_ == TDataSetState::kBrowse) return;
  ResetEdit();
  LoadBuffer();
}

void TTable::Delete() {
  CheckActive();
  if (state_ == TDataSetState::kInsert) return Cancel();
  ResetEdit();
  if (!cursor_->HasCurrent()) throw EngineError(kDbiErrNoCurrRec, "The table " + tableName_ + " is empty");
  const std::size_t position = cursor_->Position();
  CheckEngineResult(Data().Delete(cursor_->RecordPosition()), "Deleting a record of " + tableName_);
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
  TSecondaryIndex* index = cursor_->Index();
  const std::size_t fieldsOfKey = index != nullptr ? keyFields + 1 : keyFields;
  if (values.empty() || values.size() > fieldsOfKey) {
    throw EngineError(kDbiErrInvalidParam, "Searching " + tableName_ + " with " + std::to_string(values.size()) + " values");
  }
  const std::optional<std::size_t> found = index != nullptr ? FindInIndex(*index, values) : FindInTable(values);
  if (!found) return false;
  cursor_->MoveTo(*found);
  LoadBuffer();
  return true;
}

// The first record whose leading key fields equal values, by table position.
std::optional<std::size_t> TTable::FindInTable(std::span<const TValue> values) {
  TOpenTable& table = Data();
  std::vector<std::byte> key(table.RecordSize());
  for (std::size_t i = 0; i < values.size(); ++i) {
    SetFieldValue({table.Header().fields[i], key.data() + table.FieldOffset(i), table.CodePage()}, values[i]);
  }
  const std::size_t width = values.size() < table.Header().fields.size() ? table.FieldOffset(values.size()) : key.size();
  TRecordStore& records = table.Records();
  if (values.size() == static_cast<std::size_t>(table.Header().keyFieldCount)) {
    return records.Find(std::span<const std::byte>(key).first(width));
  }
  if (!table.CanOrderKeys()) {
    throw EngineError(kDbiErrNotSupported, "The key order of " + tableName_ + "'s language driver is not known");
  }
  const std::size_t at = records.LowerBound(std::span<const std::byte>(key).first(width));
  if (at < records.Count() && std::memcmp(records.At(at).data(), key.data(), width) == 0) return at;
  return std::nullopt;
}

// The first entry of a secondary index whose indexed field (and primary key
// fields, when more values are given) equal values, by index position.
std::optional<std::size_t> TTable::FindInIndex(TSecondaryIndex& index, std::span<const TValue> values) {
  TOpenTable& table = Data();
  const auto& fields = table.Header().fields;
  std::vector<std::byte> key(index.EntryKeyWidth());
  SetFieldValue({fields[index.Field()], key.data(), table.CodePage()}, values[0]);
  std::size_t width = index.FieldWidth();
  for (std::size_t i = 1; i < values.size(); ++i) {
    SetFieldValue({fields[i - 1], key.data() + index.FieldWidth() + table.FieldOffset(i - 1), table.CodePage()}, values[i]);
    width = index.FieldWidth() + (i < fields.size() ? table.FieldOffset(i) : table.RecordSize());
  }
  const TSecondaryIndex& ordered = table.OrderedIndex(index);
  TRecordStore& records = table.Records();
  const std::size_t at = ordered.LowerBound(records, key.data(), width);
  if (at >= ordered.Count()) return std::nullopt;
  std::vector<std::byte> entry(index.EntryKeyWidth());
  index.EntryKeyOf(records.RecordOfSlot(ordered.SlotAt(at)).data(), entry.data());
  if (std::memcmp(entry.data(), key.data(), width) != 0) return std::nullopt;
  return at;
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
