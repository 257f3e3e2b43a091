// One table as the engine holds it while it is open: its header, all its
// records in table order (TRecordStore), its files, and the changes made
// since its files were last written. Every cursor on the table shares this
// object. Changes reach disk in two ways: SaveChanges appends them to the
// table's journal; WriteFamily writes the whole family anew through a family
// commit (at close, and when a save finds more changes than it logged).
//
// Bulk load: records inserted into an empty table in key order (at its end,
// for a table without key) go straight into the new data file of a pending
// family write instead of into memory; once a key arrives out of order the
// load goes on as a sorting load (SortingLoad.h). The family is finished at
// close (or by a save). Anything else done to the table meanwhile first
// reads the records loaded so far into memory and drops the pending write,
// then proceeds as usual; nothing is committed before the close.
#ifndef REMDO_PARADOX_OPENTABLE_H_
#define REMDO_PARADOX_OPENTABLE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/Journal.h"
#include "paradox/LanguageDriver.h"
#include "paradox/RecordStore.h"
#include "paradox/SortingLoad.h"
#include "paradox/TableFiles.h"
#include "paradox/TableHeader.h"

namespace remdo::paradox {

enum class TWriteMode {
  kRewrite,  // the same table: its memo and validity files stay
  kCreate,   // a new table: the whole old family goes
};

class TOpenTable {
 public:
  // A table that is not on disk yet (creation); WriteFamily(kCreate) writes
  // it. header describes it completely; its counts are ignored.
  TOpenTable(env::TFileSystem& fileSystem, TTableFiles files, TTableHeader header);
  ~TOpenTable();

  // Loads the family of the data file at dataPath: header, every record of
  // the data chain, and the saved changes of its journal. Throws
  // EDBEngineError: no such table, header corrupt, table encrypted, not a
  // data table, file corrupt (a damaged chain, keys out of order), read
  // error (with the OS's reason).
  static std::unique_ptr<TOpenTable> Load(env::TFileSystem& fileSystem, std::string_view dataPath);

  const TTableHeader& Header() const { return header_; }
  const TTableFiles& Files() const { return files_; }
  // The records in table order; finishes a bulk load first (which may throw
  // EDBEngineError for the write or the read back).
  TRecordStore& Records();
  // Record count, key and change counter without finishing a bulk load.
  std::size_t RecordCount() const;
  bool IsKeyed() const { return keyWidth_ > 0; }
  std::uint64_t Version() const;
  std::size_t RecordSize() const { return header_.recordSize; }
  std::size_t KeyWidth() const { return keyWidth_; }
  std::size_t FieldOffset(std::size_t index) const { return offsets_[index]; }
  // The code page of the table's text; 0 when its text is not translated.
  std::uint16_t CodePage() const;
  const TLanguageDriver* Driver() const { return driver_; }
  // False when the key holds alpha fields of a driver whose order is unknown.
  bool CanOrderKeys() const { return canOrderKeys_; }
  // The code that refuses every change to this table, or 0 when it can be
  // changed (levels 3 and 3.5 are read only; so is an encrypted table).
  std::uint16_t ChangeRefusal() const;

  // Changes; each answers with a result code and is logged for the next
  // save. Insert: keyed tables place the record by key (position ignored),
  // others put it at position; *at receives its position.
  [[nodiscard]] std::uint16_t Insert(std::span<const std::byte> record, std::size_t position, std::size_t* at);
  [[nodiscard]] std::uint16_t Modify(std::size_t position, std::span<const std::byte> record, std::size_t* moved);
  [[nodiscard]] std::uint16_t Delete(std::size_t position);
  // The next value an autoincrement field takes, counted as handed out.
  std::uint32_t TakeAutoIncrement();

  // True while the files do not hold every change.
  bool IsDirty() const { return dirty_; }
  // Makes the changes since the last save durable in the journal, or writes
  // the family when more changes were made than are kept for the journal.
  // Throws EDBEngineError (write error).
  void SaveChanges();
  // Writes the whole family and folds the journal. Throws EDBEngineError
  // (write error, table full), leaving the old family in place.
  void WriteFamily(TWriteMode mode);

  // Cursors sharing the table.
  int users = 0;
  bool exclusive = false;

 private:
  struct TFamilyWrite;
  std::unique_ptr<TFamilyWrite> BeginWrite();
  void EndWrite(TFamilyWrite& write, TWriteMode mode);
  bool CanBulkLoad(std::size_t position) const;
  std::optional<std::uint16_t> BulkInsert(std::span<const std::byte> record, std::size_t position);
  void StartSorting();
  void Materialize();
  void Reload();
  void Prepare();
  void Log(TJournalOp op);
  void Replay(std::vector<TJournalOp> ops);
  bool ApplyOp(const TJournalOp& op);
  void NoteAutoIncrement(std::span<const std::byte> record);
  TTableHeader DataHeaderForWrite() const;
  TTableHeader IndexHeaderFor(const TTableHeader& data) const;
  void ResetJournal(std::span<const std::byte> headerBytes);

  env::TFileSystem& fileSystem_;
  TTableFiles files_;
  TTableHeader header_;
  const TLanguageDriver* driver_ = nullptr;
  std::vector<std::size_t> offsets_;
  std::size_t keyWidth_ = 0;
  bool canOrderKeys_ = true;
  std::optional<std::size_t> autoIncrementField_;
  std::unique_ptr<TRecordStore> records_;
  std::unique_ptr<TJournal> journal_;
  std::unique_ptr<TFamilyWrite> stream_;    // a bulk load in key order
  std::unique_ptr<TSortingLoad> sorting_;   // a bulk load in any order
  std::vector<std::byte> lastKey_;
  std::uint64_t streamVersion_ = 0;
  bool reloadNeeded_ = false;  // the records are on disk only
  std::vector<TJournalOp> log_;
  std::size_t logBytes_ = 0;
  bool logOverflow_ = false;
  bool dirty_ = false;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_OPENTABLE_H_
