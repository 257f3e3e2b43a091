// Entry layout in a .Xnn record: the indexed field's bytes, the primary key
// fields' bytes, and the data block number as a short field value (80 01
// for block 1). Entries arrive in table order, which is primary key order,
// so a stable sort by the indexed value alone gives the index's order.
//
// Values that order as bytes are sorted by a radix sort of the eight bytes
// that follow the prefix all values share (catalogue titles often begin
// alike), one pass per 16 bits that vary; each run of equal summaries is then
// sorted the same way by its next eight bytes, until the values end. So each
// entry is read once per eight bytes that matter, never once per comparison:
// the entries of a large table lie far beyond the processor's caches, and a
// comparison sort of long runs of alike titles made the time grow faster
// than the table. Values of a weighted collation go through a stable
// comparison sort.
#include "paradox/engine/SecondaryIndexBuilder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "paradox/codes/Coding.h"
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

struct TSummary {
  std::uint64_t key;
  std::uint32_t index;
};

// Runs shorter than this are sorted by comparing their summaries: the
// counts of a radix pass would cost more.
constexpr std::size_t kSmallRun = 256;
// Runs at least this long are sorted 16 bits a pass.
constexpr std::size_t kWideRun = 1 << 18;

// One least-significant-digit radix sort of items[0, n) by their keys, kBits
// a pass; digits that are the same in every key cost no pass. Returns where
// the sorted items ended: items or scratch.
template <std::size_t kBits>
TSummary* RadixSort(TSummary* items, std::size_t n, TSummary* scratch) {
  constexpr std::size_t kDigits = 64 / kBits;
  constexpr std::size_t kBuckets = std::size_t{1} << kBits;
  constexpr std::uint64_t kMask = kBuckets - 1;
  std::vector<std::uint32_t> counts(kDigits * kBuckets);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t key = items[i].key;
    for (std::size_t digit = 0; digit < kDigits; ++digit) {
      ++counts[digit * kBuckets + ((key >> (kBits * digit)) & kMask)];
    }
  }
  TSummary* from = items;
  TSummary* to = scratch;
  for (std::size_t digit = 0; digit < kDigits; ++digit) {
    std::uint32_t* count = counts.data() + digit * kBuckets;
    if (std::find(count, count + kBuckets, static_cast<std::uint32_t>(n)) != count + kBuckets) continue;
    std::uint32_t at = 0;
    for (std::size_t b = 0; b < kBuckets; ++b) {
      const std::uint32_t here = count[b];
      count[b] = at;
      at += here;
    }
    for (std::size_t i = 0; i < n; ++i) to[count[(from[i].key >> (kBits * digit)) & kMask]++] = from[i];
    std::swap(from, to);
  }
  return from;
}

// A stable sort of items[0, n) by their eight-byte keys; scratch holds n
// summaries. The digits are 16 bits for the whole table and 8 for the runs
// of alike values, whose counts would otherwise cost more than the run.
void SortByKey(TSummary* items, std::size_t n, TSummary* scratch) {
  if (n < kSmallRun) {
    std::stable_sort(items, items + n, [](const TSummary& a, const TSummary& b) { return a.key < b.key; });
    return;
  }
  const TSummary* sorted = n >= kWideRun ? RadixSort<16>(items, n, scratch) : RadixSort<8>(items, n, scratch);
  if (sorted != items) std::copy_n(sorted, n, items);
}

// Up to eight bytes of a value from an offset, big-endian, left-aligned so
// that keys of fewer bytes still order as the bytes do.
std::uint64_t SummaryAt(const std::byte* value, std::size_t from, std::size_t width) {
  const std::size_t bytes = std::min<std::size_t>(8, width - from);
  std::uint64_t key = 0;
  for (std::size_t b = 0; b < bytes; ++b) key = (key << 8) | std::to_integer<std::uint64_t>(value[from + b]);
  return bytes == 0 ? 0 : key << (8 * (8 - bytes));
}

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

// The entries' order by their indexed value, stable.
std::vector<std::uint32_t> TSecondaryIndexBuilder::SortedByValue() const {
  const std::size_t n = count_;
  const std::size_t width = index_.FieldWidth();
  const TKeyOrder& order = index_.EntryOrder();
  std::vector<std::uint32_t> sorted(n);
  if (!order.IsBytewise()) {
    for (std::size_t i = 0; i < n; ++i) sorted[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
      return order.ComparePrefix(Entry(a), Entry(b), width) < 0;
    });
    return sorted;
  }
  // The bytes every value shares at its start tell nothing.
  std::size_t common = n > 0 ? width : 0;
  for (std::size_t i = 1; i < n && common > 0; ++i) {
    const std::byte* a = Entry(0);
    const std::byte* b = Entry(i);
    if (std::memcmp(a, b, common) == 0) continue;
    std::size_t same = 0;
    while (same < common && a[same] == b[same]) ++same;
    common = same;
  }
  auto items = std::make_unique_for_overwrite<TSummary[]>(n);
  auto scratch = std::make_unique_for_overwrite<TSummary[]>(n);
  for (std::size_t i = 0; i < n; ++i) items[i] = {SummaryAt(Entry(i), common, width), static_cast<std::uint32_t>(i)};
  SortByKey(items.get(), n, scratch.get());
  // Runs of equal summaries that have bytes left, with the offset of those.
  struct TRun {
    std::size_t first;
    std::size_t last;
    std::size_t from;
  };
  std::vector<TRun> pending;
  const auto addRuns = [&](std::size_t first, std::size_t last, std::size_t from) {
    if (from >= width) return;
    for (std::size_t a = first; a < last;) {
      std::size_t b = a + 1;
      while (b < last && items[b].key == items[a].key) ++b;
      if (b - a > 1) pending.push_back({a, b, from});
      a = b;
    }
  };
  addRuns(0, n, common + 8);
  while (!pending.empty()) {
    const TRun run = pending.back();
    pending.pop_back();
    for (std::size_t i = run.first; i < run.last; ++i) items[i].key = SummaryAt(Entry(items[i].index), run.from, width);
    SortByKey(items.get() + run.first, run.last - run.first, scratch.get());
    addRuns(run.first, run.last, run.from + 8);
  }
  for (std::size_t i = 0; i < n; ++i) sorted[i] = items[i].index;
  return sorted;
}

void TSecondaryIndexBuilder::Write(env::TFile& dataFile, env::TFile& treeFile, const TTableHeader& data,
                                   std::uint8_t primaryStamp) {
  TTableHeader x = SecondaryDataHeader(data, index_, primaryStamp);
  const std::vector<std::uint32_t> order = SortedByValue();
  TDataFileWriter writer(dataFile, x, index_.EntryKeyWidth());
  // The entries are read in sorted order, far apart in memory: each is
  // asked for a few entries ahead, so that the reads overlap.
  constexpr std::size_t kAhead = 16;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k + kAhead < order.size()) __builtin_prefetch(Entry(order[k + kAhead]));
    writer.Add(std::span<const std::byte>(Entry(order[k]), entryWidth_));
  }
  chunks_.clear();
  count_ = 0;
  writer.Finish();
  TTableHeader y = SecondaryTreeHeader(x, index_);
  WriteIndexFile(treeFile, y, writer.Leaves());
}

}  // namespace remdo::paradox
