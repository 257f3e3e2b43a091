// Entry layout in a .Xnn record: the indexed field's bytes, the primary key
// fields' bytes, and the data block number as a short field value (80 01
// for block 1). The index orders entries by the indexed value, then by the
// primary key. Where that order is the order of the entry's key bytes, the
// entries are sorted where they lie (EntrySort); values of a weighted
// collation go through a stable comparison sort of the entries' numbers,
// which keeps the table order, the primary key's, among equal values.
#include "paradox/engine/SecondaryIndexBuilder.h"

#include <algorithm>
#include <numeric>

#include "paradox/codes/Coding.h"
#include "paradox/engine/EntrySort.h"
#include "paradox/format/DataFileWriter.h"
#include "paradox/index/IndexBuilder.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kHintWidth = 2;
constexpr const char* kHintName = "Blk Num";
// Header word 0x16 of a file with a primary key: a stale pointer in genuine
// files, never 0.
constexpr std::uint32_t kKeyedWorkspace = 0x6BE00000;
constexpr std::uint8_t kSecondaryIndexStamp = 0xFF;

}  // namespace

TTableHeader SecondaryDataHeader(const TTableHeader& data, const TSecondaryIndex& index, std::uint8_t primaryStamp) {
  TTableHeader x = data;
  x.fileType = TFileType::kMaintainedIndexData;
  x.indexFieldNumber = static_cast<std::uint8_t>(index.FieldNumber());
  x.fields.clear();
  THeaderField indexed = data.fields[index.Field()];
  indexed.number = static_cast<std::uint16_t>(index.FieldNumber());
  x.fields.push_back(indexed);
  for (int i = 0; i < data.keyFieldCount; ++i) {
    THeaderField key = data.fields[static_cast<std::size_t>(i)];
    key.number = static_cast<std::uint16_t>(x.fields.size() + 1);
    x.fields.push_back(key);
  }
  x.fields.push_back({TFieldType::kShort, kHintWidth, kHintName, static_cast<std::uint16_t>(x.fields.size() + 1)});
  x.keyFieldCount = static_cast<std::int16_t>(x.fields.size() - 1);
  x.nextFieldId = 0;
  for (const auto& field : x.fields) x.nextFieldId = std::max<std::uint16_t>(x.nextFieldId, field.number + 1u);
  x.tableName = index.dataFile;
  x.workspace = kKeyedWorkspace;
  x.changeCount0 = static_cast<std::uint16_t>(data.changeCount0 + 2);
  x.indexStamp = kSecondaryIndexStamp;
  x.primaryStamp = primaryStamp;
  x.unknown6C = 1;
  x.changeCount4 = 0;
  x.integrityFlags = 0;
  x.indexName.clear();
  x.recordCount = 0;
  return x;
}

TTableHeader SecondaryTreeHeader(const TTableHeader& secondaryData, const TSecondaryIndex& index) {
  TTableHeader y;
  y.fileType = TFileType::kIndexTree;
  y.versionCode = secondaryData.versionCode;
  y.sortOrder = secondaryData.sortOrder;
  y.fields.assign(secondaryData.fields.begin(), secondaryData.fields.begin() + secondaryData.keyFieldCount);
  for (auto& field : y.fields) {
    field.name.clear();
    field.number = 0;
  }
  y.blockSize = IndexBlockSizeFor(index.EntryKeyWidth() + 6);
  y.tableName = index.treeFile;
  y.indexStamp = secondaryData.changeCount1;
  y.changeCount0 = static_cast<std::uint16_t>(secondaryData.changeCount0 + 1);
  y.changeCount1 = 0;
  y.changeCount2 = 0;
  y.changeCount4 = 0;
  // As in primary indexes: 2 in every empty index, 1 in one built in bulk.
  y.autoIncrement = secondaryData.recordCount == 0 ? 2 : 1;
  return y;
}

TSecondaryIndexBuilder::TSecondaryIndexBuilder(const TSecondaryIndex& index)
    : index_(index), entryWidth_(index.EntryKeyWidth() + kHintWidth) {}

void TSecondaryIndexBuilder::Add(const std::byte* record, std::uint32_t dataBlock) {
  if ((count_ >> kChunkShift) == chunks_.size())
    chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kChunkEntries * entryWidth_));
  std::byte* entry = Entry(count_);
  index_.EntryKeyOf(record, entry);
  EncodeFieldInteger(entry + index_.EntryKeyWidth(), dataBlock, kHintWidth);
  ++count_;
}

// The entries' order by their indexed value under a weighted collation,
// stable.
std::vector<std::uint32_t> TSecondaryIndexBuilder::SortedByCollation() const {
  const std::size_t width = index_.FieldWidth();
  const TKeyOrder& order = index_.EntryOrder();
  std::vector<std::uint32_t> sorted(count_);
  std::iota(sorted.begin(), sorted.end(), std::uint32_t{0});
  std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
    return order.ComparePrefix(Entry(a), Entry(b), width) < 0;
  });
  return sorted;
}

void TSecondaryIndexBuilder::Write(env::TFile& dataFile, env::TFile& treeFile, const TTableHeader& data,
                                   std::uint8_t primaryStamp) {
  TTableHeader x = SecondaryDataHeader(data, index_, primaryStamp);
  TDataFileWriter writer(dataFile, x, index_.EntryKeyWidth());
  if (index_.EntryOrder().IsBytewise()) {
    SortEntriesByKeyBytes({chunks_, kChunkShift, entryWidth_, count_}, index_.EntryKeyWidth());
    for (std::size_t i = 0; i < count_; ++i) writer.Add(std::span<const std::byte>(Entry(i), entryWidth_));
  } else {
    const std::vector<std::uint32_t> order = SortedByCollation();
    // The entries are read in sorted order, far apart in memory: each is
    // asked for a few entries ahead, so that the reads overlap.
    constexpr std::size_t kAhead = 16;
    for (std::size_t k = 0; k < order.size(); ++k) {
      if (k + kAhead < order.size()) __builtin_prefetch(Entry(order[k + kAhead]));
      writer.Add(std::span<const std::byte>(Entry(order[k]), entryWidth_));
    }
  }
  chunks_.clear();
  count_ = 0;
  writer.Finish();
  TTableHeader y = SecondaryTreeHeader(x, index_);
  WriteIndexFile(treeFile, y, writer.Leaves());
}

}  // namespace remdo::paradox
