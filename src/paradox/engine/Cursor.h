// A cursor: one view of an open table with a current position, as the
// engine's cursor handle stands for it. Positions follow the cursor's order:
// the table order (primary index), or the order of the secondary index the
// cursor was opened on. When the table changes under it (through this
// cursor or another), the cursor finds its record again by key on its next
// move, or keeps its place in a table without key.
//
// The position model is the class library's: on a non-empty table there is
// always a current record; Eof is set by moving past the last record (the
// last stays current), Bof by moving before the first.
#ifndef REMDO_PARADOX_ENGINE_CURSOR_H_
#define REMDO_PARADOX_ENGINE_CURSOR_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "paradox/engine/Engine.h"
#include "paradox/engine/OpenTable.h"

namespace remdo::paradox {

class TCursor {
 public:
  // Opens the table at dataPath through the session (see AcquireTable for
  // what is thrown). tableName is the name the cursor was opened by;
  // indexName, when not empty, names the secondary index whose order the
  // cursor follows (EDBEngineError NOSUCHINDEX when the table has none of
  // that name, NOTSUPPORTED when its order is not known).
  TCursor(TDbConnection& database, std::string_view dataPath, std::string tableName, bool exclusive,
          std::string_view indexName = {});
  // Releases the table; the last cursor's release writes a changed table.
  // Close() reports that write's failure; the destructor swallows it.
  ~TCursor();
  TCursor(const TCursor&) = delete;
  TCursor& operator=(const TCursor&) = delete;
  void Close();

  TDbConnection& Database() const { return database_; }
  TOpenTable& Table() const { return *table_; }
  const std::string& TableName() const { return tableName_; }
  bool Exclusive() const { return exclusive_; }
  // The secondary index the cursor follows; nullptr: the primary index.
  TSecondaryIndex* Index() const { return index_; }

  std::size_t RecordCount() const { return table_->RecordCount(); }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool HasCurrent() const { return RecordCount() > 0; }

  void First();
  void Last();
  // False when there was no next (prior) record: Eof (Bof) is set instead.
  bool Next();
  bool Prior();
  // Makes the record at position (in the cursor's order) current.
  void MoveTo(std::size_t position);
  // Makes the record at position in table order current.
  void MoveToRecord(std::size_t tablePosition);
  // After an insert through this cursor: the record with this key (keyed
  // table) or at this position (otherwise) becomes current once the cursor
  // is next used.
  void Follow(std::span<const std::byte> record, std::size_t position);

  // The current position in the cursor's order, and in table order.
  std::size_t Position();
  std::size_t RecordPosition();
  // The current record; HasCurrent() must hold.
  std::span<const std::byte> Current();

 private:
  void Relocate();
  void RememberKey();
  std::span<const std::byte> RecordAt(std::size_t position);
  TSecondaryIndex& Ordered() const { return table_->OrderedIndex(*index_); }

  TDbConnection& database_;
  TOpenTable* table_;
  const std::string tableName_;
  const bool exclusive_;
  TSecondaryIndex* index_ = nullptr;
  std::size_t position_ = 0;
  bool bof_ = true;
  bool eof_ = false;
  std::vector<std::byte> key_;
  std::uint64_t version_ = 0;
};

using TCursorHandle = TCursor*;

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_CURSOR_H_
