// Loading, changing and writing one table. Writing always produces complete
// files from the records in table order (full blocks, bulk-built index), so
// a table the engine has written is always packed.
#include "paradox/OpenTable.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "env/CodePage.h"
#include "env/Errors.h"
#include "paradox/BlockChain.h"
#include "paradox/Collation.h"
#include "paradox/Coding.h"
#include "paradox/DataFileWriter.h"
#include "paradox/EngineCodes.h"
#include "paradox/EngineErrors.h"
#include "paradox/FamilyCommit.h"
#include "paradox/IndexBuilder.h"
#include "paradox/MemoFormat.h"
#include "paradox/SortingLoad.h"

namespace remdo::paradox {

namespace {

// Changes kept in memory for the next save; beyond this a save rewrites the
// family instead (bulk loads need no journal and no copy of every record).
constexpr std::size_t kMaxLogBytes = 8 << 20;
// Header word 0x16 of a keyed file: a stale pointer in genuine files, never 0.
constexpr std::uint32_t kKeyedWorkspace = 0x6BE00000;

std::uint32_t NewGenerationTag() {
  static std::uint32_t counter = 0;
  const auto now = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  std::uint64_t mix = now ^ (static_cast<std::uint64_t>(++counter) << 40);
  mix ^= mix >> 31;
  mix *= 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint32_t>(mix >> 32) | 1u;
}

[[noreturn]] void RethrowAsEngineError(std::uint16_t code, const std::string& context) {
  try {
    throw;
  } catch (const env::EDBEngineError&) {
    throw;
  } catch (const env::ERemdoError& error) {
    throw EngineError(code, context + ". " + error.what());
  }
}

std::vector<std::byte> ReadHeaderBytes(env::TFile& file, std::uint64_t fileSize) {
  std::vector<std::byte> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, TTableHeader::kExtendedSize)));
  bytes.resize(file.ReadAt(0, bytes));
  if (bytes.size() >= TTableHeader::kFixedSize) {
    const std::size_t headerSize = GetU16(bytes.data() + 2);
    if (headerSize > bytes.size() && headerSize <= fileSize) {
      bytes.resize(headerSize);
      bytes.resize(file.ReadAt(0, bytes));
    }
  }
  return bytes;
}

}  // namespace

TOpenTable::TOpenTable(env::TFileSystem& fileSystem, TTableFiles files, TTableHeader header)
    : fileSystem_(fileSystem), files_(std::move(files)), header_(std::move(header)) {
  Prepare();
  ResetJournal({});
}

// A family being written: the commit that owns its new files, the data
// file's header and the writer filling its blocks.
struct TOpenTable::TFamilyWrite {
  TFamilyWrite(env::TFileSystem& fileSystem, const TTableFiles& files) : commit(fileSystem, files.folder, files.baseName) {}
  TFamilyCommit commit;
  TTableHeader data;
  env::TFile* dataFile = nullptr;  // owned by the commit
  std::unique_ptr<TDataFileWriter> writer;
};

TOpenTable::~TOpenTable() = default;

TRecordStore& TOpenTable::Records() {
  if (stream_ || sorting_) Materialize();
  if (reloadNeeded_) Reload();
  return *records_;
}

// Ends a bulk load without committing it: the records loaded so far are read
// back from the unfinished data file (which then goes) or merged from the
// sorting load.
void TOpenTable::Materialize() {
  std::unique_ptr<TFamilyWrite> write = std::move(stream_);
  std::unique_ptr<TSortingLoad> sorting = std::move(sorting_);
  ++streamVersion_;
  try {
    if (sorting) {
      sorting->Merge([this](std::span<const std::byte> record) { records_->LoadAppend(record); });
    } else {
      write->writer->Finish();
      TBlockChainReader chain(*write->dataFile, write->data, write->dataFile->Size());
      TChainBlock block;
      while (chain.Next(block)) {
        for (std::size_t i = 0; i < block.count; ++i) {
          records_->LoadAppend(block.records.subspan(i * RecordSize(), RecordSize()));
        }
      }
    }
    (void)records_->Loaded();
  } catch (...) {
    records_ = std::make_unique<TRecordStore>(header_.recordSize, keyWidth_, canOrderKeys_);
    dirty_ = false;
    RethrowAsEngineError(kDbiErrWriteErr, "The records loaded into " + files_.DataPath() + " could not be kept");
  }
  logOverflow_ = true;  // these changes are in no journal: the next save writes the table
}

std::size_t TOpenTable::RecordCount() const {
  if (stream_) return stream_->writer->RecordCount();
  if (sorting_) return sorting_->Count();
  return reloadNeeded_ ? header_.recordCount : records_->Count();
}

std::uint64_t TOpenTable::Version() const {
  return stream_ || sorting_ || reloadNeeded_ ? streamVersion_ : records_->Version() ^ (streamVersion_ << 32);
}

void TOpenTable::Reload() {
  try {
    auto file = fileSystem_.Open(files_.DataPath(), env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    const TTableHeader onDisk = TTableHeader::DecodeFrom(ReadHeaderBytes(*file, size), size, files_.DataPath());
    records_ = std::make_unique<TRecordStore>(header_.recordSize, keyWidth_, canOrderKeys_);
    TBlockChainReader chain(*file, onDisk, size);
    TChainBlock block;
    while (chain.Next(block)) {
      for (std::size_t i = 0; i < block.count; ++i) records_->LoadAppend(block.records.subspan(i * RecordSize(), RecordSize()));
    }
    (void)records_->Loaded();
    file->Close();
  } catch (...) {
    RethrowAsEngineError(kDbiErrReadErr, "The table " + files_.DataPath() + " could not be read back");
  }
  reloadNeeded_ = false;
  ++streamVersion_;
}

void TOpenTable::Prepare() {
  std::size_t offset = 0;
  offsets_.clear();
  for (std::size_t i = 0; i < header_.fields.size(); ++i) {
    offsets_.push_back(offset);
    if (header_.fields[i].type == TFieldType::kAutoIncrement && !autoIncrementField_) autoIncrementField_ = i;
    offset += static_cast<std::size_t>(header_.fields[i].Width());
  }
  header_.recordSize = static_cast<std::uint16_t>(offset);
  driver_ = header_.HasExtension() ? FindLanguageDriver(header_.sortOrderName)
                                   : FindLanguageDriverBySortOrder(header_.sortOrder);
  keyWidth_ = 0;
  canOrderKeys_ = true;
  // Alpha keys order as bytes under a binary collation only.
  // TODO(engine II): order alpha keys of the international drivers too.
  const TCollation* collation = driver_ != nullptr ? FindCollation(driver_->name) : nullptr;
  for (int i = 0; i < header_.keyFieldCount; ++i) {
    const auto& field = header_.fields[static_cast<std::size_t>(i)];
    keyWidth_ += static_cast<std::size_t>(field.Width());
    if (field.type == TFieldType::kAlpha && (collation == nullptr || !collation->IsBinary())) canOrderKeys_ = false;
  }
  records_ = std::make_unique<TRecordStore>(header_.recordSize, keyWidth_, canOrderKeys_);
}

std::unique_ptr<TOpenTable> TOpenTable::Load(env::TFileSystem& fileSystem, std::string_view dataPath) {
  const std::string path(dataPath);
  if (!fileSystem.FileExists(path)) throw EngineError(kDbiErrNoSuchTable, "The table " + path + " does not exist");
  try {
    auto file = fileSystem.Open(path, env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    const std::vector<std::byte> headerBytes = ReadHeaderBytes(*file, size);
    TTableHeader header = TTableHeader::DecodeFrom(headerBytes, size, path);
    if (!header.IsDataTable()) throw EngineError(kDbiErrUnknownTblType, path + " is not a Paradox data table");
    if (header.IsEncrypted()) throw EngineError(kDbiErrTblEncrypted, "The table " + path + " is encrypted");
    auto table = std::make_unique<TOpenTable>(fileSystem, FindTableFiles(fileSystem, path), std::move(header));
    TBlockChainReader chain(*file, table->header_, size);
    TChainBlock block;
    while (chain.Next(block)) {
      for (std::size_t i = 0; i < block.count; ++i) {
        table->records_->LoadAppend(block.records.subspan(i * table->RecordSize(), table->RecordSize()));
      }
    }
    if (!table->records_->Loaded()) {
      throw EngineError(kDbiErrFileCorrupt, "The table " + path + " is damaged: its records are not in key order");
    }
    file->Close();
    table->ResetJournal(headerBytes);
    table->Replay(table->journal_->Load());
    return table;
  } catch (...) {
    RethrowAsEngineError(kDbiErrReadErr, "The table " + path + " could not be read");
  }
}

std::uint16_t TOpenTable::CodePage() const {
  const std::uint16_t codePage = header_.HasExtension() ? header_.codePage : (driver_ != nullptr ? driver_->codePage : 437);
  return env::IsKnownCodePage(codePage) ? codePage : 0;
}

std::uint16_t TOpenTable::ChangeRefusal() const {
  if (!IsWritableLevel(header_.Level())) return kDbiErrTableLevel;
  if (header_.IsEncrypted()) return kDbiErrTblEncrypted;
  return kDbiErrNone;
}

void TOpenTable::Log(TJournalOp op) {
  dirty_ = true;
  if (logOverflow_) return;
  logBytes_ += op.Bytes();
  if (logBytes_ > kMaxLogBytes) {
    logOverflow_ = true;
    std::vector<TJournalOp>().swap(log_);
    return;
  }
  log_.push_back(std::move(op));
}

void TOpenTable::NoteAutoIncrement(std::span<const std::byte> record) {
  if (!autoIncrementField_) return;
  const std::int64_t value = DecodeFieldInteger(record.data() + offsets_[*autoIncrementField_], 4);
  if (value > static_cast<std::int64_t>(header_.autoIncrement)) header_.autoIncrement = static_cast<std::uint32_t>(value);
}

std::uint32_t TOpenTable::TakeAutoIncrement() { return ++header_.autoIncrement; }

bool TOpenTable::CanBulkLoad(std::size_t position) const {
  if (stream_ || sorting_) return true;
  return !reloadNeeded_ && !dirty_ && records_->Count() == 0 && (!IsKeyed() || canOrderKeys_) && position == 0;
}

// Goes on with a bulk load in key order as a sorting load: the records
// written so far are read back from the unfinished data file into it.
void TOpenTable::StartSorting() {
  auto sorting = std::make_unique<TSortingLoad>(fileSystem_, files_.DataPath() + ".runs" + std::string(kNewSuffix),
                                                RecordSize(), keyWidth_);
  if (stream_) {
    std::unique_ptr<TFamilyWrite> write = std::move(stream_);
    write->writer->Finish();
    TBlockChainReader chain(*write->dataFile, write->data, write->dataFile->Size());
    TChainBlock block;
    while (chain.Next(block)) {
      for (std::size_t i = 0; i < block.count; ++i) (void)sorting->Add(block.records.subspan(i * RecordSize(), RecordSize()));
    }
  }
  sorting_ = std::move(sorting);
}

// Inserts a record of a bulk load; nothing when the load cannot take it (a
// table without key given a position that is not its end) and has been
// turned into records in memory.
std::optional<std::uint16_t> TOpenTable::BulkInsert(std::span<const std::byte> record, std::size_t position) {
  const auto key = record.first(keyWidth_);
  if (!stream_ && !sorting_) {
    stream_ = BeginWrite();
    lastKey_.clear();
  }
  ++streamVersion_;
  if (stream_) {
    const bool inOrder = IsKeyed() ? lastKey_.empty() || std::lexicographical_compare(lastKey_.begin(), lastKey_.end(),
                                                                                        key.begin(), key.end())
                                   : position >= RecordCount();
    if (inOrder) {
      stream_->writer->Add(record);
      lastKey_.assign(key.begin(), key.end());
      return kDbiErrNone;
    }
    if (!IsKeyed()) {
      Materialize();
      return std::nullopt;
    }
    StartSorting();
  }
  return sorting_->Add(record) ? kDbiErrNone : kDbiErrKeyViol;
}

std::uint16_t TOpenTable::Insert(std::span<const std::byte> record, std::size_t position, std::size_t* at) {
  if (const std::uint16_t refusal = ChangeRefusal()) return refusal;
  if (record.size() != RecordSize()) return kDbiErrInvalidParam;
  if (IsKeyed() && !canOrderKeys_) return kDbiErrNotSupported;
  if (at == nullptr && CanBulkLoad(position)) {
    std::optional<std::uint16_t> answer;
    try {
      answer = BulkInsert(record, position);
    } catch (...) {
      // The half-made load is discarded: the table is as before the load.
      stream_.reset();
      sorting_.reset();
      records_ = std::make_unique<TRecordStore>(header_.recordSize, keyWidth_, canOrderKeys_);
      dirty_ = false;
      RethrowAsEngineError(kDbiErrWriteErr, "The table " + files_.DataPath() + " could not be written");
    }
    if (answer) {
      if (*answer == kDbiErrNone) {
        NoteAutoIncrement(record);
        dirty_ = true;
      }
      return *answer;
    }
  }
  TRecordStore& records = Records();
  if (!records.Insert(record, position)) return kDbiErrKeyViol;
  if (at != nullptr) *at = IsKeyed() ? *records.Find(record.first(keyWidth_)) : std::min(position, records.Count() - 1);
  NoteAutoIncrement(record);
  Log({TJournalOpKind::kInsert, static_cast<std::uint32_t>(IsKeyed() ? 0 : position), {},
       std::vector<std::byte>(record.begin(), record.end())});
  return kDbiErrNone;
}

std::uint16_t TOpenTable::Modify(std::size_t position, std::span<const std::byte> record, std::size_t* moved) {
  if (const std::uint16_t refusal = ChangeRefusal()) return refusal;
  if (record.size() != RecordSize()) return kDbiErrInvalidParam;
  TRecordStore& records = Records();
  const std::span<const std::byte> current = records.At(position);
  std::vector<std::byte> before(current.begin(), current.end());
  const bool keyChanges = !std::equal(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(keyWidth_), record.begin());
  if (keyChanges && !canOrderKeys_) return kDbiErrNotSupported;
  if (!records.Replace(position, record, moved)) return kDbiErrKeyViol;
  NoteAutoIncrement(record);
  Log({TJournalOpKind::kModify, static_cast<std::uint32_t>(position), std::move(before),
       std::vector<std::byte>(record.begin(), record.end())});
  return kDbiErrNone;
}

std::uint16_t TOpenTable::Delete(std::size_t position) {
  if (const std::uint16_t refusal = ChangeRefusal()) return refusal;
  TRecordStore& records = Records();
  const std::span<const std::byte> current = records.At(position);
  TJournalOp op{TJournalOpKind::kDelete, static_cast<std::uint32_t>(position),
                std::vector<std::byte>(current.begin(), current.end()), {}};
  records.Remove(position);
  Log(std::move(op));
  return kDbiErrNone;
}

bool TOpenTable::ApplyOp(const TJournalOp& op) {
  const bool keyed = records_->IsKeyed();
  if (op.kind == TJournalOpKind::kInsert) {
    NoteAutoIncrement(op.after);
    return records_->Insert(op.after, op.position);
  }
  std::optional<std::size_t> position;
  if (keyed) {
    position = records_->Find(std::span<const std::byte>(op.before).first(keyWidth_));
  } else if (op.position < records_->Count()) {
    position = op.position;
  }
  if (!position) return false;
  const auto current = records_->At(*position);
  if (!std::equal(current.begin(), current.end(), op.before.begin(), op.before.end())) return false;
  if (op.kind == TJournalOpKind::kDelete) {
    records_->Remove(*position);
    return true;
  }
  NoteAutoIncrement(op.after);
  return records_->Replace(*position, op.after, nullptr);
}

void TOpenTable::Replay(std::vector<TJournalOp> ops) {
  for (const auto& op : ops) {
    if (!ApplyOp(op)) break;  // cannot happen for a journal of this file; stop rather than guess
    dirty_ = true;
  }
}

void TOpenTable::ResetJournal(std::span<const std::byte> headerBytes) {
  const std::string name = files_.journal.empty() ? files_.baseName + std::string(kJournalExtension) : files_.journal;
  journal_ = std::make_unique<TJournal>(fileSystem_, files_.folder + name, JournalStamp(headerBytes), header_.recordSize);
}

void TOpenTable::SaveChanges() {
  if (stream_ || sorting_ || logOverflow_) {
    WriteFamily(TWriteMode::kRewrite);
    return;
  }
  if (log_.empty()) return;
  try {
    journal_->Append(log_);
  } catch (...) {
    RethrowAsEngineError(kDbiErrWriteErr, "The changes to " + files_.DataPath() + " could not be saved");
  }
  log_.clear();
  logBytes_ = 0;
}

TTableHeader TOpenTable::DataHeaderForWrite() const {
  TTableHeader data = header_;
  const bool keyed = header_.keyFieldCount > 0;
  data.fileType = keyed ? TFileType::kKeyedTable : TFileType::kUnkeyedTable;
  data.tableName = files_.dataName;
  data.workspace = keyed ? kKeyedWorkspace : 0;
  data.generationTag = NewGenerationTag();
  data.modifiedTime = static_cast<std::uint32_t>(std::time(nullptr));
  data.changeCount1 = static_cast<std::uint8_t>(header_.changeCount1 + 1);
  data.indexStamp = 0;
  data.primaryStamp = 0;
  data.checksum = 0;
  return data;
}

TTableHeader TOpenTable::IndexHeaderFor(const TTableHeader& data) const {
  TTableHeader index;
  index.fileType = TFileType::kPrimaryIndex;
  index.versionCode = data.versionCode;
  index.sortOrder = data.sortOrder;
  index.blockSize = IndexBlockSizeFor(keyWidth_ + 6);
  index.fields.assign(data.fields.begin(), data.fields.begin() + data.keyFieldCount);
  for (auto& field : index.fields) field.name.clear();
  index.tableName = files_.baseName + ".PX";
  index.indexStamp = data.changeCount1;
  index.changeCount0 = static_cast<std::uint16_t>(data.changeCount0 + 1);
  index.changeCount1 = 0;
  index.changeCount2 = 0;
  index.changeCount4 = 0;
  // 2 in every empty index the engine wrote, 1 in every index it built in bulk.
  index.autoIncrement = data.recordCount == 0 ? 2 : 1;
  return index;
}

std::unique_ptr<TOpenTable::TFamilyWrite> TOpenTable::BeginWrite() {
  auto write = std::make_unique<TFamilyWrite>(fileSystem_, files_);
  write->data = DataHeaderForWrite();
  write->dataFile = &write->commit.Create(files_.dataName);
  write->writer = std::make_unique<TDataFileWriter>(*write->dataFile, write->data, IsKeyed() ? keyWidth_ : 0);
  return write;
}

void TOpenTable::EndWrite(TFamilyWrite& write, TWriteMode mode) {
  const bool blobs = std::any_of(header_.fields.begin(), header_.fields.end(),
                                 [](const THeaderField& f) { return IsBlobType(f.type); });
  const std::string indexName = files_.primaryIndex.empty() ? files_.baseName + ".PX" : files_.primaryIndex;
  const std::string memoName = files_.memo.empty() ? files_.baseName + ".MB" : files_.memo;
  TFamilyCommit& commit = write.commit;
  write.data.autoIncrement = header_.autoIncrement;
  write.writer->Finish();
  if (IsKeyed()) {
    TTableHeader index = IndexHeaderFor(write.data);
    WriteIndexFile(commit.Create(indexName), index, write.writer->Leaves());
  } else if (!files_.primaryIndex.empty()) {
    commit.Remove(files_.primaryIndex);
  }
  if (blobs && (mode == TWriteMode::kCreate || files_.memo.empty())) {
    std::vector<std::byte> header(memo::kUnit);
    memo::THeaderBlock{}.EncodeTo(header.data());
    commit.Create(memoName).WriteAt(0, header);
  } else if (mode == TWriteMode::kCreate && !files_.memo.empty()) {
    commit.Remove(files_.memo);
  }
  if (mode == TWriteMode::kCreate && !files_.validity.empty()) commit.Remove(files_.validity);
  // Secondary indexes are not maintained by this engine yet: an index file
  // that no longer matches the records would make the table unusable to
  // the catalogue's engine, so it goes with the rewrite.
  for (const auto& name : files_.secondary) commit.Remove(name);
  journal_->Close();
  commit.Remove(files_.journal.empty() ? files_.baseName + std::string(kJournalExtension) : files_.journal);
  commit.Commit();
  header_ = write.data;
  files_.primaryIndex = IsKeyed() ? indexName : std::string();
  if (blobs) files_.memo = memoName;
  if (mode == TWriteMode::kCreate) {
    if (!blobs) files_.memo.clear();
    files_.validity.clear();
  }
  files_.secondary.clear();
  files_.journal.clear();
  ResetJournal(header_.EncodeTo());
  log_.clear();
  logBytes_ = 0;
  logOverflow_ = false;
  dirty_ = false;
}

void TOpenTable::WriteFamily(TWriteMode mode) {
  try {
    if (stream_) {
      std::unique_ptr<TFamilyWrite> write = std::move(stream_);
      EndWrite(*write, mode);
      reloadNeeded_ = true;  // the records are in the new file only
      return;
    }
    if (sorting_) {
      std::unique_ptr<TSortingLoad> sorting = std::move(sorting_);
      std::unique_ptr<TFamilyWrite> write = BeginWrite();
      TDataFileWriter& writer = *write->writer;
      sorting->Merge([&writer](std::span<const std::byte> record) { writer.Add(record); });
      EndWrite(*write, mode);
      reloadNeeded_ = true;
      return;
    }
    std::unique_ptr<TFamilyWrite> write = BeginWrite();
    TDataFileWriter& writer = *write->writer;
    Records().ForEach([&writer](std::span<const std::byte> record) { writer.Add(record); });
    EndWrite(*write, mode);
  } catch (...) {
    RethrowAsEngineError(kDbiErrWriteErr, "The table " + files_.DataPath() + " could not be written");
  }
}

}  // namespace remdo::paradox
