// The entries of a secondary index of a keyed table end with the table's
// primary key fields and a 2-byte block hint; the key is what ties an entry
// to its record. The hint is not compared (whether the engine keeps it up to
// date after block splits is not known), nor are the entries of indexes on
// tables without key, whose trailing record number and slot are of
// uncertain meaning.
#include "repair/verify/SecondaryAudit.h"

#include <memory>
#include <optional>

#include "env/Errors.h"
#include "env/Path.h"
#include "paradox/format/HeaderReading.h"
#include "paradox/index/IndexTreeReader.h"
#include "repair/verify/DataFileScan.h"
#include "repair/verify/TreeAudit.h"

namespace remdo::repair {

namespace {

using paradox::TFileType;
using paradox::TTableHeader;

constexpr std::size_t kHintWidth = 2;

std::string KeyText(std::span<const std::byte> key) {
  return std::string(reinterpret_cast<const char*>(key.data()), key.size());
}

std::size_t KeyWidthOf(const TTableHeader& header) {
  std::size_t width = 0;
  for (int i = 0; i < header.keyFieldCount && i < static_cast<int>(header.fields.size()); ++i) {
    width += static_cast<std::size_t>(header.fields[static_cast<std::size_t>(i)].Width());
  }
  return width;
}

// Why the entries do not fit the table; empty when they do: the fields just
// before the hint must be the table's key fields.
std::string Misfit(const TTableHeader& index, const TTableHeader& table) {
  const auto keyFields = static_cast<std::size_t>(table.keyFieldCount);
  const std::size_t n = index.fields.size();
  if (n < keyFields + 2 || index.fields.back().Width() != static_cast<int>(kHintWidth)) {
    return "its fields do not end in the table's key and a block hint";
  }
  for (std::size_t i = 0; i < keyFields; ++i) {
    const auto& entry = index.fields[n - 1 - keyFields + i];
    if (entry.type != table.fields[i].type || entry.size != table.fields[i].size) {
      return "its key fields are not the table's";
    }
  }
  return {};
}

bool IsMaintained(const TTableHeader& header) {
  return header.fileType == TFileType::kMaintainedIndexData || header.fileType == TFileType::kMaintainedCompositeData;
}

// The header of the index's entry file when its entries can be read as
// those of an index of this table; nothing, with the reason tallied, when not.
std::optional<TTableHeader> ReadIndexData(env::TFile& file, std::uint64_t size, const std::string& path,
                                          const TTableHeader& table, bool keyed, const std::string& subject,
                                          TFindingTally& tally, TIndexMemoCounts& counts) {
  try {
    TTableHeader header = paradox::ReadFileHeader(file, size, path);
    std::string misfit;
    if (header.fileType == TFileType::kIndexData || header.fileType == TFileType::kCompositeIndexData) {
      if (!keyed) {
        tally.Note(subject, TFindingCode::kSecondaryIndexOfUnkeyedTable);
        return header;
      }
      misfit = "an index of a table without key beside a keyed table";
    } else if (!IsMaintained(header)) {
      misfit = "it is no secondary index file";
    } else {
      misfit = keyed ? Misfit(header, table) : "an index of a keyed table beside a table without key";
    }
    if (misfit.empty()) return header;
    tally.Note(subject, TFindingCode::kSecondaryIndexMisfit, {misfit});
  } catch (const env::EDBEngineError& e) {
    tally.Note(subject, TFindingCode::kSecondaryIndexUnreadable, {e.what()});
  }
  ++counts.unreadableFiles;
  return std::nullopt;
}

void AuditIndexTree(env::TFileSystem& fileSystem, const std::string& treePath, const TDataFileMap& entries,
                    TFindingTally& tally, TIndexMemoCounts& counts) {
  const std::string subject(env::NamePart(treePath));
  try {
    auto file = fileSystem.Open(treePath, env::TOpenMode::kRead);
    AuditTree(paradox::ReadIndexTree(*file, treePath), entries, subject, tally, counts);
  } catch (const env::ERemdoError& e) {
    tally.Note(subject, TFindingCode::kSecondaryIndexUnreadable, {e.what()});
    ++counts.unreadableFiles;
  }
}

void TallyUntaken(const TKeyCensus& census, const std::string& subject, TFindingTally& tally,
                  TIndexMemoCounts& counts) {
  std::vector<TPlace> examples;
  const std::size_t missing = census.Untaken(examples, TFindingTally::kExamples + 1);
  for (std::size_t i = 0; i < examples.size(); ++i) {
    tally.Add(subject, TFindingCode::kSecondaryRecordsNotHeld, examples[i],
              i + 1 == examples.size() ? missing - i : 1);
  }
  counts.recordsNotIndexed += missing;
}

}  // namespace

void TKeyCensus::AddRecord(std::uint32_t block, std::size_t slot, std::span<const std::byte> record) {
  const auto [it, added] = index_.try_emplace(KeyText(record.first(keyWidth_)), keys_.size());
  if (added) keys_.push_back({0, 0, block, slot});
  ++keys_[it->second].records;
}

bool TKeyCensus::TakeEntry(std::span<const std::byte> key) {
  const auto it = index_.find(KeyText(key));
  if (it == index_.end()) return false;
  TKey& k = keys_[it->second];
  if (k.taken == k.records) return false;
  ++k.taken;
  return true;
}

std::size_t TKeyCensus::Untaken(std::vector<TPlace>& examples, std::size_t maxExamples) const {
  std::size_t untaken = 0;
  for (const TKey& k : keys_) {
    if (k.taken == k.records) continue;
    untaken += k.records - k.taken;
    if (examples.size() < maxExamples) {
      examples.emplace_back("block " + std::to_string(k.block) + " record " + std::to_string(k.slot), k.block,
                            static_cast<std::int64_t>(k.slot));
    }
  }
  return untaken;
}

void TKeyCensus::Reset() {
  for (TKey& k : keys_) k.taken = 0;
}

void AuditSecondaryIndex(env::TFileSystem& fileSystem, const std::string& dataPath, const std::string& treePath,
                         const TTableHeader& table, TKeyCensus* census, TFindingTally& tally,
                         TIndexMemoCounts& counts) {
  const std::string subject(env::NamePart(dataPath));
  if (census) census->Reset();
  std::optional<TDataFileMap> entries;
  try {
    auto file = fileSystem.Open(dataPath, env::TOpenMode::kRead);
    const std::uint64_t size = file->Size();
    const auto header = ReadIndexData(*file, size, dataPath, table, census != nullptr, subject, tally, counts);
    if (!header) return;
    const std::size_t keyAt = census ? header->recordSize - kHintWidth - census->KeyWidth() : 0;
    std::size_t strays = 0;
    entries = ScanDataFile(*file, size, *header, KeyWidthOf(*header),
                           [&](std::uint32_t block, std::size_t slot, std::span<const std::byte> entry) {
                             if (!census || census->TakeEntry(entry.subspan(keyAt, census->KeyWidth()))) return;
                             ++strays;
                             tally.Add(subject, TFindingCode::kSecondaryEntriesForNoRecord,
                                       TPlace("block " + std::to_string(block) + " record " + std::to_string(slot),
                                              block, static_cast<std::int64_t>(slot)));
                           });
    counts.indexEntriesAstray += strays;
  } catch (const env::ERemdoError& e) {
    tally.Note(subject, TFindingCode::kSecondaryIndexUnreadable, {e.what()});
    ++counts.unreadableFiles;
    return;
  }
  if (census) TallyUntaken(*census, subject, tally, counts);
  if (treePath.empty()) {
    tally.Note(subject, TFindingCode::kSecondaryTreeFileMissing);
    ++counts.missingFiles;
    return;
  }
  AuditIndexTree(fileSystem, treePath, *entries, tally, counts);
}

}  // namespace remdo::repair
