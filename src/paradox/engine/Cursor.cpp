// Cursor movement. Relocation after a change costs one key search; raw
// inserts leave the cursor alone until it is next moved, so a bulk insert
// never sorts the table record by record. A cursor on a secondary index
// remembers its record by the index's entry key (indexed field, then
// primary key), which is unique.
#include "paradox/engine/Cursor.h"

#include <algorithm>

#include "env/Errors.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {

TCursor::TCursor(TDbConnection& database, std::string_view dataPath, std::string tableName, bool exclusive,
                 std::string_view indexName)
    : database_(database),
      table_(&TEngineSession::Instance().AcquireTable(dataPath, exclusive)),
      tableName_(std::move(tableName)),
      exclusive_(exclusive),
      version_(table_->Version()) {
  if (!indexName.empty()) {
    try {
      index_ = table_->FindSecondaryIndex(indexName);
      if (index_ == nullptr) {
        throw EngineError(kDbiErrNoSuchIndex, "The table " + tableName_ + " has no index " + std::string(indexName));
      }
      (void)Ordered();
    } catch (...) {
      Close();
      throw;
    }
  }
  eof_ = RecordCount() == 0;
}

TCursor::~TCursor() {
  try {
    Close();
  } catch (const env::EDBEngineError&) {
  }
}

void TCursor::Close() {
  if (table_ == nullptr) return;
  TOpenTable* table = table_;
  table_ = nullptr;
  TEngineSession::Instance().ReleaseTable(*table);
}

std::span<const std::byte> TCursor::RecordAt(std::size_t position) {
  TRecordStore& records = table_->Records();
  if (index_ == nullptr) return records.At(position);
  return records.RecordOfSlot(Ordered().SlotAt(position));
}

void TCursor::RememberKey() {
  TRecordStore& records = table_->Records();
  if (records.IsKeyed() && position_ < records.Count()) {
    const auto record = RecordAt(position_);
    if (index_ == nullptr) {
      key_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(records.KeyWidth()));
    } else {
      key_.resize(index_->EntryKeyWidth());
      index_->EntryKeyOf(record.data(), key_.data());
    }
  }
  version_ = table_->Version();
}

void TCursor::Relocate() {
  if (table_->Version() == version_) return;
  TRecordStore& records = table_->Records();
  const std::size_t count = records.Count();
  if (records.IsKeyed() && !key_.empty() && count > 0) {
    if (index_ != nullptr) {
      const TSecondaryIndex& index = Ordered();
      position_ = index.LowerBound(records, key_.data(), key_.size());
    } else if (table_->CanOrderKeys()) {
      position_ = records.LowerBound(key_);
    } else if (const auto found = records.Find(key_)) {
      position_ = *found;
    }
  }
  if (count == 0) {
    position_ = 0;
    eof_ = bof_ = true;
  } else if (position_ >= count) {
    position_ = count - 1;
  }
  RememberKey();
}

void TCursor::First() {
  Relocate();
  position_ = 0;
  bof_ = true;
  eof_ = RecordCount() == 0;
  RememberKey();
}

void TCursor::Last() {
  Relocate();
  position_ = RecordCount() == 0 ? 0 : RecordCount() - 1;
  eof_ = true;
  bof_ = RecordCount() == 0;
  RememberKey();
}

bool TCursor::Next() {
  Relocate();
  if (RecordCount() == 0 || position_ + 1 >= RecordCount()) {
    eof_ = true;
    return false;
  }
  ++position_;
  bof_ = eof_ = false;
  RememberKey();
  return true;
}

bool TCursor::Prior() {
  Relocate();
  if (RecordCount() == 0 || position_ == 0) {
    bof_ = true;
    return false;
  }
  --position_;
  bof_ = eof_ = false;
  RememberKey();
  return true;
}

void TCursor::MoveTo(std::size_t position) {
  Relocate();
  position_ = std::min(position, RecordCount() == 0 ? 0 : RecordCount() - 1);
  bof_ = eof_ = false;
  RememberKey();
}

void TCursor::MoveToRecord(std::size_t tablePosition) {
  if (index_ == nullptr) return MoveTo(tablePosition);
  Relocate();
  TRecordStore& records = table_->Records();
  const TSecondaryIndex& index = Ordered();
  MoveTo(tablePosition < records.Count() ? index.PositionOf(records, records.SlotAt(tablePosition)) : RecordCount());
}

void TCursor::Follow(std::span<const std::byte> record, std::size_t position) {
  bof_ = eof_ = false;
  if (table_->IsKeyed()) {
    if (index_ == nullptr) {
      key_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(table_->KeyWidth()));
    } else {
      key_.resize(index_->EntryKeyWidth());
      index_->EntryKeyOf(record.data(), key_.data());
    }
    version_ = ~table_->Version();  // relocate by key on next use
  } else {
    position_ = std::min(position, RecordCount() == 0 ? 0 : RecordCount() - 1);
    version_ = ~table_->Version();  // the table may still change under a bulk load
  }
}

std::size_t TCursor::Position() {
  Relocate();
  return position_;
}

std::size_t TCursor::RecordPosition() {
  Relocate();
  if (index_ == nullptr) return position_;
  TRecordStore& records = table_->Records();
  return records.PositionOfSlot(Ordered().SlotAt(position_));
}

std::span<const std::byte> TCursor::Current() {
  Relocate();
  return RecordAt(position_);
}

}  // namespace remdo::paradox
