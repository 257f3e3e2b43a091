// Writing one table's family (TOpenTable's family write). Writing always
// produces complete files from the records in table order: the data file in
// full blocks, the primary index built over its blocks, and for every
// maintained secondary index its .Xnn (entries gathered as the records are
// written, then sorted) and .Ynn, all through one family commit. A table the
// engine has written is therefore packed, and its secondary indexes match
// its records. Secondary index files the engine does not maintain
// (composite .XGn, indexes of tables without key, damaged files) go with
// the write, since files that no longer match the records would make the
// table unusable.
#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>

#include "env/Errors.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/BulkLoad.h"
#include "paradox/engine/FamilyWrite.h"
#include "paradox/engine/OpenTable.h"
#include "paradox/format/MemoFormat.h"
#include "paradox/index/IndexBuilder.h"

namespace remdo::paradox {

namespace {

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

}  // namespace

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

std::unique_ptr<TFamilyWrite> TOpenTable::BeginWrite() {
  auto write = std::make_unique<TFamilyWrite>(fileSystem_, files_);
  write->data = DataHeaderForWrite();
  write->dataFile = &write->commit.Create(files_.dataName);
  write->writer = std::make_unique<TDataFileWriter>(*write->dataFile, write->data, IsKeyed() ? keyWidth_ : 0);
  for (const auto& index : secondary_) write->builders.emplace_back(*index);
  write->trackPlaces = HasBlobFields() && memo_->HasReleases();
  write->trackStamps = HasBlobFields() && !fileSystem_.FileExists(MemoPath());
  return write;
}

void TOpenTable::WriteRecord(TFamilyWrite& write, std::span<const std::byte> record) {
  const std::uint32_t block = write.writer->Add(record);
  for (auto& builder : write.builders) builder.Add(record.data(), block);
  if (!write.trackPlaces && !write.trackStamps) return;
  for (const std::size_t i : blobFields_) {
    const std::size_t end = offsets_[i] + static_cast<std::size_t>(header_.fields[i].Width());
    const TBlobDescriptor d = TBlobDescriptor::DecodeFrom(record.data() + end - TBlobDescriptor::kSize);
    if (write.trackPlaces && IsStoredBlob(d)) write.places.insert({d.blockOffset, d.index});
    write.highestStamp = std::max(write.highestStamp, d.modification);
  }
}

void TOpenTable::WriteSecondaryIndexes(TFamilyWrite& write) {
  for (std::size_t i = 0; i < write.builders.size(); ++i) {
    const TSecondaryIndex& index = *secondary_[i];
    env::TFile& data = write.commit.Create(index.dataFile);
    env::TFile& tree = write.commit.Create(index.treeFile);
    write.builders[i].Write(data, tree, write.data, write.data.changeCount1);
  }
  // Every other secondary index file of the family goes.
  for (const std::string& name : files_.secondary) {
    const bool kept = std::any_of(secondary_.begin(), secondary_.end(), [&](const auto& index) {
      return env::SameText(index->dataFile, name) || env::SameText(index->treeFile, name);
    });
    if (!kept) write.commit.Remove(name);
  }
}

// The memo file: a complete new one adopted from a restructure, an empty one
// for a new table (or for a table whose memo file is missing), or the one in
// place, which the posts have already brought up to date.
void TOpenTable::WriteMemoFile(TFamilyWrite& write, TWriteMode mode, const std::string& memoName) {
  TFamilyCommit& commit = write.commit;
  if (!adoptedMemo_.empty()) {
    memo_->Close();
    commit.Adopt(adoptedMemo_, memoName);
    return;
  }
  const bool exists = fileSystem_.FileExists(files_.folder + memoName);
  if (HasBlobFields() && (mode == TWriteMode::kCreate || !exists)) {
    memo_->Close();
    memo::THeaderBlock header;
    if (mode == TWriteMode::kRewrite && write.highestStamp > 0) {
      header.modificationCounter = static_cast<std::uint16_t>(std::min(0xFFFE, write.highestStamp + 1));
    }
    std::array<std::byte, memo::kUnit> raw{};
    header.EncodeTo(raw.data());
    commit.Create(memoName).WriteAt(0, raw);
  } else if (mode == TWriteMode::kCreate && exists) {
    memo_->Close();
    commit.Remove(memoName);
  } else if (commit.Durable()) {
    memo_->Flush();
  } else {
    memo_->WritePending();
  }
}

void TOpenTable::EndWrite(TFamilyWrite& write, TWriteMode mode) {
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
  WriteSecondaryIndexes(write);
  WriteMemoFile(write, mode, memoName);
  if (mode == TWriteMode::kCreate && !files_.validity.empty()) commit.Remove(files_.validity);
  changes_.CloseJournal();
  commit.Remove(files_.journal.empty() ? files_.baseName + std::string(kJournalExtension) : files_.journal);
  commit.Commit();
  AfterCommit(write, mode, indexName, memoName);
}

void TOpenTable::AfterCommit(TFamilyWrite& write, TWriteMode mode, const std::string& indexName,
                             const std::string& memoName) {
  header_ = write.data;
  refusal_.reset();
  files_.primaryIndex = IsKeyed() ? indexName : std::string();
  const bool memoReplaced = !adoptedMemo_.empty() || mode == TWriteMode::kCreate;
  adoptedMemo_.clear();
  if (HasBlobFields()) {
    files_.memo = memoName;
  } else if (mode == TWriteMode::kCreate) {
    files_.memo.clear();
  }
  if (mode == TWriteMode::kCreate) files_.validity.clear();
  files_.secondary.clear();
  for (const auto& index : secondary_) {
    files_.secondary.push_back(index->dataFile);
    files_.secondary.push_back(index->treeFile);
  }
  files_.journal.clear();
  if (memoReplaced) {
    memo_->DropReleases();
  } else {
    memo_->ReleaseAfterCommit(write.places);
  }
  ResetJournal(header_.EncodeTo());
  dirty_ = false;
}

void TOpenTable::WriteFamily(TWriteMode mode) {
  try {
    if (const std::unique_ptr<TFamilyWrite> write = bulk_->TakeStream()) {
      EndWrite(*write, mode);
      reloadNeeded_ = true;  // the records are in the new file only
      return;
    }
    if (std::unique_ptr<TSortingLoad> sorting = bulk_->TakeSorting()) {
      std::unique_ptr<TFamilyWrite> write = BeginWrite();
      TFamilyWrite& target = *write;
      sorting->Merge([this, &target](std::span<const std::byte> record) { WriteRecord(target, record); });
      sorting.reset();
      EndWrite(*write, mode);
      reloadNeeded_ = true;
      return;
    }
    std::unique_ptr<TFamilyWrite> write = BeginWrite();
    TFamilyWrite& target = *write;
    Records().ForEach([this, &target](std::span<const std::byte> record) { WriteRecord(target, record); });
    EndWrite(*write, mode);
  } catch (...) {
    RethrowAsEngineError(kDbiErrWriteErr, "The table " + files_.DataPath() + " could not be written");
  }
}

}  // namespace remdo::paradox
