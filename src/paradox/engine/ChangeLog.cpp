#include "paradox/engine/ChangeLog.h"

namespace remdo::paradox {

void TChangeLog::Restart(env::TFileSystem& fileSystem, std::string journalPath, std::span<const std::byte> headerBytes,
                         std::uint16_t recordSize) {
  journal_ = std::make_unique<TJournal>(fileSystem, std::move(journalPath), JournalStamp(headerBytes), recordSize);
  ops_.clear();
  bytes_ = 0;
  overflowed_ = false;
}

void TChangeLog::Add(TJournalOp op) {
  if (overflowed_) return;
  bytes_ += op.Bytes();
  if (bytes_ > kMaxJournalChanges) {
    Overflow();
    return;
  }
  ops_.push_back(std::move(op));
}

void TChangeLog::Overflow() {
  overflowed_ = true;
  std::vector<TJournalOp>().swap(ops_);
}

void TChangeLog::Save() {
  if (ops_.empty()) return;
  journal_->Append(ops_);
  ops_.clear();
}

}  // namespace remdo::paradox
