// Cursor movement. Relocation after a change costs one key search; raw
// inserts leave the cursor alone until it is next moved, so a bulk insert
// never sorts the table record by record.
#include "paradox/Cursor.h"

#include <algorithm>

#include "env/Errors.h"

namespace remdo::paradox {

TCursor::TCursor(TDbConnection& database, std::string_view dataPath, std::string tableName, bool exclusive)
    : database_(database),
      table_(&TEngineSession::Instance().AcquireTable(dataPath, exclusive)),
      tableName_(std::move(tableName)),
      exclusive_(exclusive),
      version_(table_->Version()) {
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

void TCursor::RememberKey() {
  TRecordStore& records = table_->Records();
  if (records.IsKeyed() && position_ < records.Count()) {
    const auto record = records.At(position_);
    key_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(records.KeyWidth()));
  }
  version_ = table_->Version();
}

void TCursor::Relocate() {
  if (table_->Version() == version_) return;
  TRecordStore& records = table_->Records();
  const std::size_t count = records.Count();
  if (records.IsKeyed() && !key_.empty() && count > 0) {
    if (table_->CanOrderKeys()) {
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

void TCursor::Follow(std::span<const std::byte> record, std::size_t position) {
  bof_ = eof_ = false;
  if (table_->IsKeyed()) {
    key_.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(table_->KeyWidth()));
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

std::span<const std::byte> TCursor::Current() {
  Relocate();
  return table_->Records().At(position_);
}

}  // namespace remdo::paradox
