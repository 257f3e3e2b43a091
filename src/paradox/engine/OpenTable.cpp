// Loading and changing one table; writing its family is in TableWrite.cpp.
#include "paradox/engine/OpenTable.h"

#include <algorithm>

#include "env/CodePage.h"
#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/BulkLoad.h"
#include "paradox/engine/Engine.h"
#include "paradox/engine/FamilyWrite.h"
#include "paradox/format/BlockChain.h"

namespace remdo::paradox {

namespace {

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

// The header of a secondary index file; nothing when it is damaged. The
// OS's failures to read it are thrown: a file that could not be read is no
// reason to give up an index.
std::optional<TTableHeader> ReadIndexHeader(env::TFileSystem& fileSystem, const std::string& path) {
  auto file = fileSystem.Open(path, env::TOpenMode::kRead);
  const std::uint64_t size = file->Size();
  const std::vector<std::byte> bytes = ReadHeaderBytes(*file, size);
  file->Close();
  try {
    return TTableHeader::DecodeFrom(bytes, size, path);
  } catch (const env::EDBEngineError&) {
    return std::nullopt;
  }
}

// The field number the name of a secondary index file stands for (".X0B":
// 11), or 0 when the name is not of that form.
std::size_t FieldNumberOfName(std::string_view name) {
  const std::string_view extension = env::ExtensionPart(name);
  if (extension.size() != 4) return 0;
  std::size_t number = 0;
  for (const char c : extension.substr(2)) {
    const char u = env::UpperChar(c);
    const int digit = u >= '0' && u <= '9' ? u - '0' : (u >= 'A' && u <= 'F' ? u - 'A' + 10 : -1);
    if (digit < 0) return 0;
    number = number * 16 + static_cast<std::size_t>(digit);
  }
  return number;
}

bool SameShape(const THeaderField& a, const THeaderField& b) { return a.type == b.type && a.size == b.size; }

// How many records a load of the data file may expect: the header's count,
// which a damaged header may overstate, held to what the file can hold.
std::size_t ExpectedRecords(const TTableHeader& header, std::uint64_t fileSize) {
  if (header.recordSize == 0) return 0;
  return static_cast<std::size_t>(std::min<std::uint64_t>(header.recordCount, fileSize / header.recordSize));
}

}  // namespace

TOpenTable::TOpenTable(env::TFileSystem& fileSystem, TTableFiles files, TTableHeader header)
    : fileSystem_(fileSystem), files_(std::move(files)), header_(std::move(header)) {
  Prepare();
  ResetJournal({});
}

TOpenTable::~TOpenTable() = default;

std::unique_ptr<TRecordStore> TOpenTable::NewStore() const {
  return std::make_unique<TRecordStore>(header_.recordSize, primaryOrder_, canOrderKeys_);
}

TRecordStore& TOpenTable::Records() {
  if (bulk_->Active()) Materialize();
  if (reloadNeeded_) Reload();
  return *records_;
}

// Ends a bulk load without committing it: the records loaded so far are read
// back from the unfinished data file (which then goes) or merged from the
// sorting load.
void TOpenTable::Materialize() {
  bulk_->NextGeneration();
  InvalidateIndexes();
  try {
    bulk_->ReadBack([this](std::span<const std::byte> record) { records_->LoadAppend(record); });
    (void)records_->Loaded();
  } catch (...) {
    records_ = NewStore();
    dirty_ = false;
    RethrowAsEngineError(kDbiErrWriteErr, "The records loaded into " + files_.DataPath() + " could not be kept");
  }
  changes_.Overflow();  // these changes are in no journal: the next save writes the table
}

std::size_t TOpenTable::RecordCount() const {
  if (bulk_->Active()) return bulk_->Count();
  return reloadNeeded_ ? header_.recordCount : records_->Count();
}

std::uint64_t TOpenTable::Version() const {
  const std::uint64_t generation = bulk_->Generation();
  return bulk_->Active() || reloadNeeded_ ? generation : records_->Version() ^ (generation << 32);
}

void TOpenTable::Reload() {
  InvalidateIndexes();
  try {
    auto file = fileSystem_.Open(files_.DataPath(), env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    const TTableHeader onDisk = TTableHeader::DecodeFrom(ReadHeaderBytes(*file, size), size, files_.DataPath());
    records_ = NewStore();
    records_->Reserve(ExpectedRecords(onDisk, size));
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
  bulk_->NextGeneration();
}

void TOpenTable::Prepare() {
  std::size_t offset = 0;
  offsets_.clear();
  blobFields_.clear();
  for (std::size_t i = 0; i < header_.fields.size(); ++i) {
    offsets_.push_back(offset);
    if (header_.fields[i].type == TFieldType::kAutoIncrement && !autoIncrementField_) autoIncrementField_ = i;
    if (IsBlobType(header_.fields[i].type)) blobFields_.push_back(i);
    offset += static_cast<std::size_t>(header_.fields[i].Width());
  }
  header_.recordSize = static_cast<std::uint16_t>(offset);
  driver_ = header_.HasExtension() ? FindLanguageDriver(header_.sortOrderName)
                                   : FindLanguageDriverBySortOrder(header_.sortOrder);
  collation_ = KeyCollationOf(header_);
  const auto keyFields = std::span<const THeaderField>(header_.fields).first(static_cast<std::size_t>(header_.keyFieldCount));
  const std::optional<TKeyOrder> order = TKeyOrder::OfFields(keyFields, collation_);
  canOrderKeys_ = order.has_value();
  refusal_.reset();
  primaryOrder_ = order ? *order : TKeyOrder(KeyFieldsOf(keyFields), nullptr);
  keyWidth_ = primaryOrder_.Width();
  records_ = NewStore();
  memo_ = std::make_unique<TTableMemo>(fileSystem_, MemoPath());
  bulk_ = std::make_unique<TBulkLoad>(
      fileSystem_, files_.DataPath() + std::string(kSortRunsSuffix) + std::string(kNewSuffix), RecordSize(),
      primaryOrder_);
}

std::string TOpenTable::MemoPath() const {
  return files_.folder + (files_.memo.empty() ? files_.baseName + ".MB" : files_.memo);
}

// Every .Xnn file of a maintained single-field index whose fields match the
// table becomes an index kept up to date. A .Xnn whose header is damaged is
// taken for the index its name stands for (".X0B": field 11), so that the
// next write rebuilds it rather than dropping it. Any other secondary index
// file (composite, of a table without key, of fields that do not match)
// goes with the next write.
void TOpenTable::DiscoverSecondaryIndexes() {
  if (!IsKeyed()) return;
  const auto keyFields = static_cast<std::size_t>(header_.keyFieldCount);
  for (const std::string& name : files_.secondary) {
    const std::string_view extension = env::ExtensionPart(name);
    if (extension.size() != 4 || env::UpperChar(extension[1]) != 'X') continue;
    const auto x = ReadIndexHeader(fileSystem_, files_.folder + name);
    std::size_t field = x ? x->indexFieldNumber : FieldNumberOfName(name);
    if (field < 1 || field > header_.fields.size() || IsBlobType(header_.fields[field - 1].type)) continue;
    if (x) {
      if (x->fileType != TFileType::kMaintainedIndexData || x->fields.size() != keyFields + 2) continue;
      if (!SameShape(x->fields[0], header_.fields[field - 1])) continue;
      bool matches = x->fields.back().type == TFieldType::kShort;
      for (std::size_t i = 0; i < keyFields; ++i) matches = matches && SameShape(x->fields[1 + i], header_.fields[i]);
      if (!matches) continue;
    }
    if (std::any_of(secondary_.begin(), secondary_.end(), [&](const auto& i) { return i->Field() == field - 1; })) {
      continue;
    }
    // An index whose order is not known is kept too: the table then refuses
    // changes instead of leaving the index stale or dropping it.
    TSecondaryIndex& index = RegisterIndex(field - 1);
    index.dataFile = name;
    const std::string tree = std::string(name.substr(0, name.size() - 3)) + (extension[1] == 'X' ? "Y" : "y") +
                             std::string(extension.substr(2));
    for (const std::string& other : files_.secondary) {
      if (env::SameText(other, tree)) index.treeFile = other;
    }
  }
}

std::unique_ptr<TOpenTable> TOpenTable::Load(env::TFileSystem& fileSystem, std::string_view dataPath,
                                             TRecordLoading loading) {
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
    if (loading == TRecordLoading::kInMemory) table->LoadRecords(*file, size);
    table->DiscoverSecondaryIndexes();
    table->ResetJournal(headerBytes);
    std::vector<std::string> warnings;
    std::vector<TJournalOp> saved = table->changes_.SavedChanges(warnings);
    if (loading == TRecordLoading::kOnDisk) {
      if (saved.empty()) {
        table->reloadNeeded_ = true;
      } else {
        table->LoadRecords(*file, size);
      }
    }
    file->Close();
    table->Replay(std::move(saved));
    for (std::string& warning : warnings) TEngineSession::Instance().Warn(std::move(warning));
    return table;
  } catch (...) {
    RethrowAsEngineError(kDbiErrReadErr, "The table " + path + " could not be read");
  }
}

// Reads every record of the data chain into the store (Load's part).
void TOpenTable::LoadRecords(env::TFile& file, std::uint64_t size) {
  records_->Reserve(ExpectedRecords(header_, size));
  TBlockChainReader chain(file, header_, size);
  TChainBlock block;
  while (chain.Next(block)) {
    for (std::size_t i = 0; i < block.count; ++i) records_->LoadAppend(block.records.subspan(i * RecordSize(), RecordSize()));
  }
  if (!records_->Loaded()) {
    if (primaryOrder_.IsBytewise()) NotInKeyOrder();
    // The engine that wrote the table orders its alpha keys differently
    // from our reading of the driver's rules: its order is kept, and
    // nothing that needs the order is changed.
    records_->KeepLoadOrder();
    canOrderKeys_ = false;
    refusal_.reset();
  }
}

void TOpenTable::NotInKeyOrder() const {
  throw EngineError(kDbiErrFileCorrupt, "The table " + files_.DataPath() + " is damaged: its records are not in key order");
}

std::uint16_t TOpenTable::CodePage() const {
  const std::uint16_t codePage = header_.HasExtension() ? header_.codePage : (driver_ != nullptr ? driver_->codePage : 437);
  return env::IsKnownCodePage(codePage) ? codePage : 0;
}

std::uint16_t TOpenTable::ChangeRefusal() const {
  // Asked for every record changed: worked out once until what it depends
  // on changes (the header, the key order, the indexes).
  if (!refusal_) refusal_ = FindChangeRefusal();
  return *refusal_;
}

std::uint16_t TOpenTable::FindChangeRefusal() const {
  if (!IsWritableLevel(header_.Level())) return kDbiErrTableLevel;
  if (header_.IsEncrypted()) return kDbiErrTblEncrypted;
  // Index entries tie by primary key: without its order they cannot be built.
  if (!secondary_.empty() && !canOrderKeys_) return kDbiErrNotSupported;
  for (const auto& index : secondary_) {
    if (NeedsUnknownOrder(std::span<const THeaderField>(&header_.fields[index->Field()], 1), collation_)) {
      return kDbiErrNotSupported;
    }
  }
  return kDbiErrNone;
}

// --- Secondary indexes --------------------------------------------------------

TSecondaryIndex* TOpenTable::FindSecondaryIndex(std::string_view name) {
  for (const auto& index : secondary_) {
    if (env::SameText(index->Name(), name)) return index.get();
  }
  return nullptr;
}

TSecondaryIndex& TOpenTable::OrderedIndex(TSecondaryIndex& index) {
  if (NeedsUnknownOrder(std::span<const THeaderField>(&header_.fields[index.Field()], 1), collation_)) {
    throw EngineError(kDbiErrNotSupported, "The sort order of language driver '" + header_.sortOrderName +
                                               "' is not known: the index " + index.Name() + " cannot be used");
  }
  TRecordStore& records = Records();
  if (!index.Built()) index.Build(records);
  return index;
}

std::uint16_t TOpenTable::AddSecondaryIndex(std::size_t field) {
  if (field >= header_.fields.size() || IsBlobType(header_.fields[field].type)) return kDbiErrInvalidIndexStruct;
  if (!IsKeyed()) return kDbiErrNotSupported;
  for (const auto& index : secondary_) {
    if (index->Field() == field) return kDbiErrIndexExists;
  }
  if (NeedsUnknownOrder(std::span<const THeaderField>(&header_.fields[field], 1), collation_)) return kDbiErrNotSupported;
  RegisterIndex(field);
  return kDbiErrNone;
}

TSecondaryIndex& TOpenTable::RegisterIndex(std::size_t field) {
  const std::span<const THeaderField> fields(header_.fields);
  std::vector<TKeyField> entry = KeyFieldsOf(fields.subspan(field, 1));
  const std::vector<TKeyField> primary = KeyFieldsOf(fields.first(static_cast<std::size_t>(header_.keyFieldCount)));
  entry.insert(entry.end(), primary.begin(), primary.end());
  auto index = std::make_unique<TSecondaryIndex>(header_, offsets_, field, TKeyOrder(std::move(entry), collation_));
  const int number = static_cast<int>(field) + 1;
  index->dataFile = SecondaryIndexFileName(files_.baseName, number, 'X');
  index->treeFile = SecondaryIndexFileName(files_.baseName, number, 'Y');
  // An existing file of that name keeps its spelling, so that it is
  // replaced rather than joined by a second one on a case-sensitive disk.
  for (const std::string& existing : files_.secondary) {
    if (env::SameText(existing, index->dataFile)) index->dataFile = existing;
    if (env::SameText(existing, index->treeFile)) index->treeFile = existing;
  }
  secondary_.push_back(std::move(index));
  refusal_.reset();
  return *secondary_.back();
}

void TOpenTable::InvalidateIndexes() {
  for (auto& index : secondary_) index->Invalidate();
}

void TOpenTable::BeforeRecordChange(std::uint32_t slot) {
  for (auto& index : secondary_) index->Remove(*records_, slot);
}

void TOpenTable::AfterRecordChange(std::uint32_t slot) {
  for (auto& index : secondary_) index->Add(*records_, slot);
}

// --- Memo values --------------------------------------------------------------

std::vector<std::byte> TOpenTable::ReadBlob(std::span<const std::byte> field) {
  try {
    return memo_->Read(field);
  } catch (...) {
    RethrowAsEngineError(kDbiErrReadErr, "The memo file " + MemoPath() + " could not be read");
  }
}

std::uint16_t TOpenTable::HighestBlobStamp() {
  std::uint16_t highest = 0;
  Records().ForEach([&](std::span<const std::byte> record) {
    for (const std::size_t i : blobFields_) {
      const std::size_t end = offsets_[i] + static_cast<std::size_t>(header_.fields[i].Width());
      const TBlobDescriptor d = TBlobDescriptor::DecodeFrom(record.data() + end - TBlobDescriptor::kSize);
      highest = std::max(highest, d.modification);
    }
  });
  return highest;
}

TBlobDescriptor TOpenTable::StoreBlob(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value) {
  if (const std::uint16_t refusal = ChangeRefusal()) {
    throw EngineError(refusal, "The table " + files_.DataPath() + " cannot be changed");
  }
  // Asked of the disk only until the first value opens the file: a stat for
  // every record would cost more than the value's own writes.
  const std::uint16_t highest = memo_->Editing() || fileSystem_.FileExists(MemoPath()) ? 0 : HighestBlobStamp();
  try {
    return memo_->Store(field, kind, value, highest);
  } catch (...) {
    RethrowAsEngineError(kDbiErrWriteErr, "The memo file " + MemoPath() + " could not be written");
  }
}

void TOpenTable::DiscardBlob(const TBlobDescriptor& stored) { memo_->Discard(stored); }

// The values a record stops referring to wait for release after the commit.
void TOpenTable::NoteReplacedBlobs(std::span<const std::byte> before, std::span<const std::byte> after) {
  for (const std::size_t i : blobFields_) {
    const std::size_t end = offsets_[i] + static_cast<std::size_t>(header_.fields[i].Width());
    const TBlobDescriptor old = TBlobDescriptor::DecodeFrom(before.data() + end - TBlobDescriptor::kSize);
    if (!after.empty() && TBlobDescriptor::DecodeFrom(after.data() + end - TBlobDescriptor::kSize) == old) continue;
    memo_->ReleaseLater(old);
  }
}

// --- Changes ------------------------------------------------------------------

void TOpenTable::Log(TJournalOp op) {
  dirty_ = true;
  changes_.Add(std::move(op));
}

void TOpenTable::NoteAutoIncrement(std::span<const std::byte> record) {
  if (!autoIncrementField_) return;
  const std::int64_t value = DecodeFieldInteger(record.data() + offsets_[*autoIncrementField_], 4);
  if (value > static_cast<std::int64_t>(header_.autoIncrement)) header_.autoIncrement = static_cast<std::uint32_t>(value);
}

std::uint32_t TOpenTable::TakeAutoIncrement() { return ++header_.autoIncrement; }

bool TOpenTable::CanBulkLoad(std::size_t position) const {
  if (bulk_->Active()) return true;
  return !reloadNeeded_ && !dirty_ && records_->Count() == 0 && (!IsKeyed() || canOrderKeys_) && position == 0;
}

// Inserts a record of a bulk load; nothing when the load cannot take it (a
// table without key given a position that is not its end) and has been
// turned into records in memory.
std::optional<std::uint16_t> TOpenTable::BulkInsert(std::span<const std::byte> record, std::size_t position) {
  const auto key = record.first(keyWidth_);
  if (!bulk_->Active()) {
    InvalidateIndexes();
    bulk_->Start(BeginWrite());
  }
  bulk_->NextGeneration();
  if (TFamilyWrite* stream = bulk_->Stream()) {
    const bool inOrder = IsKeyed() ? bulk_->FollowsLastKey(key) : position >= RecordCount();
    if (inOrder) {
      WriteRecord(*stream, record);
      bulk_->NoteStreamed(key);
      return kDbiErrNone;
    }
    if (!IsKeyed()) {
      Materialize();
      return std::nullopt;
    }
    bulk_->StartSorting();
  }
  return bulk_->Sort(record) ? kDbiErrNone : kDbiErrKeyViol;
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
      bulk_->Discard();
      records_ = NewStore();
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
  std::uint32_t slot = 0;
  if (!records.Insert(record, position, &slot)) return kDbiErrKeyViol;
  AfterRecordChange(slot);
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
  const std::uint32_t slot = records.SlotAt(position);
  BeforeRecordChange(slot);
  const bool replaced = records.Replace(position, record, moved);
  AfterRecordChange(slot);
  if (!replaced) return kDbiErrKeyViol;
  NoteReplacedBlobs(before, record);
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
  BeforeRecordChange(records.SlotAt(position));
  records.Remove(position);
  NoteReplacedBlobs(op.before, {});
  Log(std::move(op));
  return kDbiErrNone;
}

bool TOpenTable::ApplyOp(const TJournalOp& op) {
  const bool keyed = records_->IsKeyed();
  if (op.kind == TJournalOpKind::kInsert) {
    NoteAutoIncrement(op.after);
    std::uint32_t slot = 0;
    if (!records_->Insert(op.after, op.position, &slot)) return false;
    AfterRecordChange(slot);
    return true;
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
  const std::uint32_t slot = records_->SlotAt(*position);
  BeforeRecordChange(slot);
  if (op.kind == TJournalOpKind::kDelete) {
    records_->Remove(*position);
    NoteReplacedBlobs(op.before, {});
    return true;
  }
  NoteAutoIncrement(op.after);
  const bool replaced = records_->Replace(*position, op.after, nullptr);
  AfterRecordChange(slot);
  if (replaced) NoteReplacedBlobs(op.before, op.after);
  return replaced;
}

void TOpenTable::Replay(std::vector<TJournalOp> ops) {
  for (const auto& op : ops) {
    if (!ApplyOp(op)) break;  // cannot happen for a journal of this file; stop rather than guess
    dirty_ = true;
  }
}

void TOpenTable::ResetJournal(std::span<const std::byte> headerBytes) {
  const std::string name = files_.journal.empty() ? files_.baseName + std::string(kJournalExtension) : files_.journal;
  changes_.Restart(fileSystem_, files_.folder + name, headerBytes, header_.recordSize);
}

void TOpenTable::SaveChanges() {
  if (bulk_->Active() || changes_.Overflowed()) {
    WriteFamily(TWriteMode::kRewrite);
    return;
  }
  try {
    memo_->WritePending();
    changes_.Save();
  } catch (...) {
    RethrowAsEngineError(kDbiErrWriteErr, "The changes to " + files_.DataPath() + " could not be saved");
  }
}

}  // namespace remdo::paradox
