// The table component of the class library over the engine: a table opened
// by folder (the database name) and table name, exclusively or shared, on
// its primary index, with a current record, navigation, fields, editing and
// key search. Its cursor handle and database handle serve the engine's
// direct calls.
//
// Failures that stop a step are thrown as EDBEngineError with the engine's
// code: opening a missing or damaged table, posting a record the engine
// refuses (a key violation), writing the table's files on close, editing a
// closed table, reading a memo value whose memo file is missing or damaged
// (the other fields read on). FindKey answers whether it found the key.
//
// Blob fields (memo, BLOB, formatted memo, OLE, graphic) hold their values
// in the table's memo file. A value written to such a field while editing
// waits in the table component until Post, which stores it in the memo file
// and puts its reference into the record; Cancel forgets it.
#ifndef REMDO_PARADOX_COMPONENTS_TABLE_H_
#define REMDO_PARADOX_COMPONENTS_TABLE_H_

#include <cstddef>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paradox/components/Field.h"
#include "paradox/engine/Cursor.h"
#include "paradox/engine/Engine.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/FieldValue.h"

namespace remdo::paradox {

enum class TDataSetState { kInactive, kBrowse, kEdit, kInsert };

class TTable {
 public:
  TTable() = default;
  // Closes the table if it is open; a failure to write it is swallowed here
  // (call Close() to see it).
  ~TTable();
  TTable(const TTable&) = delete;
  TTable& operator=(const TTable&) = delete;

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string folder) { databaseName_ = std::move(folder); }
  const std::string& TableName() const { return tableName_; }
  void SetTableName(std::string name) { tableName_ = std::move(name); }
  // Empty: the primary index; otherwise the name of a single-field
  // secondary index (the indexed field's name), whose order navigation and
  // FindKey follow.
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(std::string name) { indexName_ = std::move(name); }
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive) { exclusive_ = exclusive; }

  // Opens the table (starting the engine when nobody has) and makes its first
  // record current. Throws EDBEngineError: invalid folder, no such table,
  // table locked, damaged or encrypted table, unknown index name.
  void Open();
  // Cancels an unposted edit and closes; the last cursor on a changed table
  // writes its files, and a failure to do so is thrown after the table is
  // closed.
  void Close();
  bool Active() const { return cursor_ != nullptr; }
  void SetActive(bool active) { active ? Open() : Close(); }

  void First();
  void Last();
  void Next();
  void Prior();
  bool Eof() const;
  bool Bof() const;
  long RecordCount() const;
  bool IsEmpty() const { return RecordCount() == 0; }

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // Fields by 0-based position; EDBEngineError when out of range.
  TField& Fields(int index);
  // Fields by name without regard to case; EDBEngineError when not found.
  TField& FieldByName(std::string_view name);
  TField* FindField(std::string_view name);

  TDataSetState State() const { return state_; }
  // Edit the current record (an empty table: insert instead).
  void Edit();
  // A new record at the end (Append) or at the current record (Insert): in a
  // keyed table both take their place by key when posted.
  void Append();
  void Insert();
  // Writes the edited or inserted record. EDBEngineError (key violation and
  // the like) leaves the table in its editing state, so that Cancel works.
  void Post();
  void Cancel();
  void Delete();

  // Searches the active index for the record whose first values.size() key
  // fields equal the values; found: it becomes current (the first of them
  // for a secondary index). Not found: false, the cursor stays where it
  // was. The key fields of a secondary index are the indexed field, then
  // the primary key fields.
  bool FindKey(std::initializer_list<TValue> values);
  bool FindKey(std::span<const TValue> values);
  // Append, fill the fields in order from the values, Post.
  void AppendRecord(std::initializer_list<TValue> values);

  // The record buffer: the current record while browsing, the record being
  // edited or inserted otherwise.
  std::span<std::byte> ActiveBuffer();

  TCursorHandle Handle() const { return cursor_.get(); }
  TDbHandle DBHandle() const { return lease_.Get(); }

  // For TField and TBlobStream.
  TFieldRef FieldRef(std::size_t index, bool forWriting);
  const THeaderField& FieldDef(std::size_t index) const;
  // The value of a blob field in the active record: a value written since
  // Edit/Insert, or the stored one. Throws the memo file's EDBEngineError.
  std::vector<std::byte> BlobValue(std::size_t index);
  // Sets the value of a blob field of the record being edited or inserted;
  // stored in the memo file by Post.
  void SetBlobValue(std::size_t index, std::vector<std::byte> value);

 private:
  void CheckActive() const;
  void CheckBrowseMode();
  void LoadBuffer();
  void ResetEdit();
  std::vector<TBlobDescriptor> StorePendingBlobs(const std::vector<std::byte>& before);
  void DiscardStoredBlobs(const std::vector<TBlobDescriptor>& stored, const std::vector<std::byte>& before);
  std::optional<std::size_t> FindInTable(std::span<const TValue> values);
  std::optional<std::size_t> FindInIndex(TSecondaryIndex& index, std::span<const TValue> values);
  TOpenTable& Data() const { return cursor_->Table(); }

  std::string databaseName_;
  std::string tableName_;
  std::string indexName_;
  bool exclusive_ = false;
  TConnectionLease lease_;
  std::unique_ptr<TCursor> cursor_;
  std::vector<std::unique_ptr<TField>> fields_;
  TDataSetState state_ = TDataSetState::kInactive;
  std::vector<std::byte> buffer_;
  std::size_t insertPosition_ = 0;
  bool modified_ = false;
  std::map<std::size_t, std::vector<std::byte>> pendingBlobs_;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_COMPONENTS_TABLE_H_
