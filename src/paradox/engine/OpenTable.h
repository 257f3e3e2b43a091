// One table as the engine holds it while it is open: its header, all its
// records in table order (TRecordStore), its maintained secondary indexes,
// its memo file, its files, and the changes made since its files were last
// written. Every cursor on the table shares this object. Changes reach disk
// in two ways: SaveChanges appends them to the table's journal; WriteFamily
// writes the whole family anew through a family commit (at close, and when
// a save finds more changes than it logged): the data file, the primary
// index, and the .Xnn/.Ynn files of every maintained secondary index, all
// built in bulk from the records in order. Memo values are the exception:
// they are written into the memo file in place as records are posted (see
// TableMemo.h).
//
// Records inserted into an empty table go through a bulk load (BulkLoad.h)
// finished at close (or by a save); anything else done to the table first
// reads the load back into memory. Unsaved changes sit in the change log
// (ChangeLog.h).
//
// Keys are ordered by their key order (KeyOrder.h): alpha fields in the
// collation of the table's language driver. A table whose driver's order is
// not known, or whose records were found out of our order for a weighted
// collation, keeps the order it was read in and refuses every change that
// needs the order (NOTSUPPORTED).
#ifndef REMDO_PARADOX_ENGINE_OPENTABLE_H_
#define REMDO_PARADOX_ENGINE_OPENTABLE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/engine/ChangeLog.h"
#include "paradox/engine/RecordStore.h"
#include "paradox/engine/SecondaryIndex.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/TableHeader.h"
#include "paradox/index/KeyOrder.h"
#include "paradox/index/LanguageDriver.h"
#include "paradox/memo/TableMemo.h"

namespace remdo::paradox {

class TBulkLoad;
struct TFamilyWrite;

enum class TWriteMode {
  kRewrite,  // the same table: its memo and validity files stay
  kCreate,   // a new table: the whole old family goes
};

// How a load reads the data file's records.
enum class TRecordLoading {
  kInMemory,  // all at once, into the record store
  kOnDisk,    // not until something needs them: a table read once from
              // start to end (ForEachRecordBlock) holds a block at a time
};

class TOpenTable {
 public:
  // A table that is not on disk yet (creation); WriteFamily(kCreate) writes
  // it. header describes it completely; its counts are ignored.
  TOpenTable(env::TFileSystem& fileSystem, TTableFiles files, TTableHeader header);
  ~TOpenTable();

  // Loads the family of the data file at dataPath: header, every record of
  // the data chain, the maintained secondary indexes its .Xnn files name,
  // and the saved changes of its journal. Throws EDBEngineError: no such
  // table, header corrupt, table encrypted, not a data table, file corrupt
  // (a damaged chain, keys out of byte order), read error (with the OS's
  // reason). kOnDisk leaves the records in the file (the chain and its key
  // order are then checked as they are read), unless the journal holds
  // saved changes, which need them in memory.
  static std::unique_ptr<TOpenTable> Load(env::TFileSystem& fileSystem, std::string_view dataPath,
                                          TRecordLoading loading = TRecordLoading::kInMemory);

  const TTableHeader& Header() const { return header_; }
  const TTableFiles& Files() const { return files_; }
  // The records in table order; finishes a bulk load first (which may throw
  // EDBEngineError for the write or the read back).
  TRecordStore& Records();
  // Calls visit(records, count) with every record in table order, count
  // records of RecordSize() bytes at a time (valid during the call). Records
  // still on disk are read block by block from the data file and never held
  // in memory; they throw like Load (a damaged chain or keys out of byte
  // order: file corrupt). Must not be called during a bulk load.
  void ForEachRecordBlock(const std::function<void(std::span<const std::byte>, std::size_t)>& visit);
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
  // The collation of the table's alpha keys; nullptr when not known.
  const TCollation* Collation() const { return collation_; }
  // False when the records cannot be kept in key order (see above).
  bool CanOrderKeys() const { return canOrderKeys_; }
  const TKeyOrder& PrimaryOrder() const { return primaryOrder_; }
  // The code that refuses every change to this table, or 0 when it can be
  // changed: levels 3 and 3.5 are read only (TABLELEVEL), so is an
  // encrypted table, and a table with a maintained index whose field is
  // alpha under a driver of unknown order (NOTSUPPORTED).
  std::uint16_t ChangeRefusal() const;

  // Changes; each answers with a result code and is logged for the next
  // save. Insert: keyed tables place the record by key (position ignored),
  // others put it at position; *at receives its position.
  [[nodiscard]] std::uint16_t Insert(std::span<const std::byte> record, std::size_t position, std::size_t* at);
  [[nodiscard]] std::uint16_t Modify(std::size_t position, std::span<const std::byte> record, std::size_t* moved);
  [[nodiscard]] std::uint16_t Delete(std::size_t position);
  // The next value an autoincrement field takes, counted as handed out.
  std::uint32_t TakeAutoIncrement();
  bool HasAutoIncrement() const { return autoIncrementField_.has_value(); }

  // Secondary indexes: the maintained single-field indexes, by name (the
  // indexed field's name, without regard to case).
  std::size_t SecondaryIndexCount() const { return secondary_.size(); }
  TSecondaryIndex& SecondaryIndexAt(std::size_t i) { return *secondary_[i]; }
  TSecondaryIndex* FindSecondaryIndex(std::string_view name);
  // The index with its in-memory order built and up to date (finishes a
  // bulk load first). Throws EDBEngineError NOTSUPPORTED when its field's
  // order is not known.
  TSecondaryIndex& OrderedIndex(TSecondaryIndex& index);
  // Adds a maintained index on a field (0-based), written with the next
  // family write: 0, or INDEXEXISTS, INVALIDINDEXSTRUCT (blob field, field
  // out of range), NOTSUPPORTED (a table without key: only maintained
  // indexes are built; or an alpha field under a driver of unknown order).
  [[nodiscard]] std::uint16_t AddSecondaryIndex(std::size_t field);

  // Memo values of the blob fields (memo, BLOB, formatted memo, OLE,
  // graphic). ReadBlob: the whole value a field refers to. StoreBlob writes
  // a value for a record about to be posted and fills the field; DiscardBlob
  // gives up a value stored for a record then refused. They throw like
  // TTableMemo, and failures of the OS as EDBEngineError (READERR, WRITEERR).
  bool HasBlobFields() const { return !blobFields_.empty(); }
  std::vector<std::byte> ReadBlob(std::span<const std::byte> field);
  TBlobDescriptor StoreBlob(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value);
  void DiscardBlob(const TBlobDescriptor& stored);
  std::string MemoPath() const;
  // A complete memo file written beside the table (scratchName, in its
  // folder) that replaces the memo file with the next family write; used by
  // restructures, which copy every value into a new file.
  void AdoptMemoFile(std::string scratchName) { adoptedMemo_ = std::move(scratchName); }

  // True while the files do not hold every change.
  bool IsDirty() const { return dirty_; }
  // Makes the changes since the last save durable in the journal, or writes
  // the family when more changes were made than are kept for the journal.
  // Throws EDBEngineError (write error).
  void SaveChanges();
  // Writes the whole family and folds the journal. Throws EDBEngineError
  // (write error, table full), leaving the old family in place.
  void WriteFamily(TWriteMode mode);

  int users = 0;  // cursors sharing the table
  bool exclusive = false;

 private:
  std::unique_ptr<TFamilyWrite> BeginWrite();
  void WriteRecord(TFamilyWrite& write, std::span<const std::byte> record);
  void EndWrite(TFamilyWrite& write, TWriteMode mode);
  void WriteSecondaryIndexes(TFamilyWrite& write);
  void WriteMemoFile(TFamilyWrite& write, TWriteMode mode, const std::string& memoName);
  void AfterCommit(TFamilyWrite& write, TWriteMode mode, const std::string& indexName, const std::string& memoName);
  bool CanBulkLoad(std::size_t position) const;
  std::optional<std::uint16_t> BulkInsert(std::span<const std::byte> record, std::size_t position);
  std::uint16_t FindChangeRefusal() const;
  void LoadRecords(env::TFile& file, std::uint64_t size);
  [[noreturn]] void NotInKeyOrder() const;
  void Materialize();
  void Reload();
  void Prepare();
  void DiscoverSecondaryIndexes();
  TSecondaryIndex& RegisterIndex(std::size_t field);
  std::unique_ptr<TRecordStore> NewStore() const;
  void InvalidateIndexes();
  void BeforeRecordChange(std::uint32_t slot);
  void AfterRecordChange(std::uint32_t slot);
  void NoteReplacedBlobs(std::span<const std::byte> before, std::span<const std::byte> after);
  std::uint16_t HighestBlobStamp();
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
  const TCollation* collation_ = nullptr;
  TKeyOrder primaryOrder_;
  std::vector<std::size_t> offsets_;
  std::vector<std::size_t> blobFields_;
  std::size_t keyWidth_ = 0;
  bool canOrderKeys_ = true;
  mutable std::optional<std::uint16_t> refusal_;  // ChangeRefusal's answer, once known
  std::optional<std::size_t> autoIncrementField_;
  std::unique_ptr<TRecordStore> records_;
  std::vector<std::unique_ptr<TSecondaryIndex>> secondary_;
  std::unique_ptr<TTableMemo> memo_;
  std::string adoptedMemo_;
  TChangeLog changes_;
  std::unique_ptr<TBulkLoad> bulk_;
  bool reloadNeeded_ = false;  // the records are on disk only
  bool dirty_ = false;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_OPENTABLE_H_
