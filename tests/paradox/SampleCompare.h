// What the sample round trips share: the rebuild of a sample table through
// the engine (same fields, key, level, block size and driver, its raw
// records inserted in file order, optionally with secondary indexes) and the
// byte comparison of a rebuilt file with the engine's own, apart from the
// header bytes that hold stale pointers, counters, times and names.
#ifndef REMDO_TESTS_PARADOX_SAMPLECOMPARE_H_
#define REMDO_TESTS_PARADOX_SAMPLECOMPARE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "env/Path.h"
#include "env/Text.h"
#include "paradox/EngineFixture.h"
#include "paradox/components/Table.h"
#include "paradox/format/FieldType.h"

namespace remdo::paradox::testing {

inline bool QualifiesForRoundTrip(const TTableHeader& header) {
  if (header.fileType != TFileType::kKeyedTable || header.IsEncrypted() || header.Level() < 4) return false;
  if (env::SameText(header.sortOrderName, "ascii") || env::SameText(header.sortOrderName, "DBWINUS0")) return true;
  return std::all_of(header.fields.begin(), header.fields.begin() + header.keyFieldCount,
                     [](const THeaderField& f) { return IsNumericType(f.type); });
}

// Every block but the last holds as many records as fit, and the chain runs
// 1, 2, ... k in file order: the shape of a table the engine built in bulk.
inline bool BlocksAreFull(const TFileImage& image) {
  const std::size_t perBlock = RecordsPerBlock(image.header.blockSize, image.header.recordSize);
  std::size_t remaining = image.records.size();
  for (int block = 1; block <= image.header.fileBlocks; ++block) {
    const std::byte* start = image.bytes.data() + image.header.headerSize + (block - 1) * image.header.blockSize;
    const TBlockHeader b = TBlockHeader::DecodeFrom(start);
    const auto count = b.RecordCount(image.header.recordSize, image.header.blockSize);
    if (!count || *count != std::min(perBlock, remaining)) return false;
    if (b.next != (block < image.header.fileBlocks ? block + 1 : 0) || b.prev != block - 1) return false;
    remaining -= *count;
  }
  return remaining == 0 && image.header.usedBlocks == image.header.fileBlocks;
}

// Header offsets whose bytes hold stale pointers, counters, times or names.
inline bool IsExempt(const TTableHeader& header, std::size_t offset) {
  static const std::pair<std::size_t, std::size_t> kRanges[] = {{0x12, 0x13}, {0x16, 0x1D}, {0x2D, 0x37},
                                                                {0x40, 0x47}, {0x60, 0x63}, {0x70, 0x71}};
  for (const auto& [first, last] : kRanges) {
    if (offset >= first && offset <= last) return true;
  }
  const std::size_t n = header.fields.size();
  const std::size_t pointers = header.FieldsOffset() + 2 * n;  // table-name pointer, then field-name pointers
  const std::size_t name = pointers + 4 + (header.HasFieldNames() ? 4 * n : 0);
  return offset >= pointers && offset < name + header.TableNameLength();
}

// The region a differing header byte lies in, named as docs/file-format.md
// names it.
inline std::string HeaderRegion(std::size_t offset) {
  static const std::pair<std::size_t, const char*> kNamed[] = {
      {0x05, "0x05"}, {0x1E, "0x1E"}, {0x1F, "0x1E"}, {0x49, "0x49"}, {0x4A, "0x49"}, {0x4B, "0x49"}, {0x4C, "0x49"},
      {0x55, "0x55"}, {0x64, "0x64"}, {0x65, "0x64"}, {0x6A, "0x6A"}, {0x6B, "0x6A"}, {0x6C, "0x6C"}, {0x72, "0x72"},
      {0x73, "0x72"}, {0x74, "0x72"}, {0x75, "0x72"}, {0x76, "0x72"}, {0x77, "0x72"}};
  for (const auto& [at, name] : kNamed) {
    if (at == offset) return name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%02zX", offset);
  return text;
}

// "DB 0x49", "PX blocks", ... for every region where ours and theirs differ
// in a byte that is not exempt.
inline std::set<std::string> Differences(const std::string& label, const TFileImage& ours, const TFileImage& theirs) {
  std::set<std::string> out;
  const std::size_t headerSize = std::max(ours.header.headerSize, theirs.header.headerSize);
  const std::size_t numbersAt =
      theirs.header.HasExtension() ? TTableHeader::kFixedSize + GetU16(theirs.bytes.data() + 0x66) : 0;
  for (std::size_t at = 0; at < headerSize; ++at) {
    if (IsExempt(theirs.header, at) || (at < ours.bytes.size() && ours.bytes[at] == theirs.bytes[at])) continue;
    if (numbersAt != 0 && at >= numbersAt && at < numbersAt + 2 * theirs.header.fields.size()) {
      out.insert(label + " field numbers");
    } else {
      out.insert(label + " " + HeaderRegion(at));
    }
  }
  const std::size_t blocks = std::max(ours.header.fileBlocks, theirs.header.fileBlocks);
  for (std::size_t block = 1; block <= blocks; ++block) {
    const std::size_t start = theirs.header.headerSize + (block - 1) * theirs.header.blockSize;
    if (start + TBlockHeader::kSize > theirs.bytes.size()) break;
    const auto count = TBlockHeader::DecodeFrom(theirs.bytes.data() + start)
                           .RecordCount(theirs.header.recordSize, theirs.header.blockSize);
    const std::size_t used = TBlockHeader::kSize + count.value_or(0) * theirs.header.recordSize;
    if (start + used > ours.bytes.size() ||
        !std::equal(theirs.bytes.begin() + start, theirs.bytes.begin() + start + used, ours.bytes.begin() + start)) {
      out.insert(label + " blocks");
    }
  }
  return out;
}

// Rebuilds the sample family of dataPath in folder, with a secondary index
// on each of the 1-based fields given; returns our data file's path.
inline std::string Rebuild(const TFileImage& original, const std::string& dataPath, const std::string& folder,
                           const std::vector<int>& indexedFields = {}) {
  const std::string name(env::NamePart(dataPath));
  TCrTblDesc desc;
  desc.tableName = name;
  desc.tableType = std::string(kParadoxTableType);
  for (const auto& field : original.header.fields) {
    TFldDesc f;
    f.name = field.name;
    f.type = EngineCodeOfType(field.type);
    f.units1 = static_cast<std::int16_t>(IsBlobType(field.type) ? field.size - kBlobReferenceSize : field.size);
    desc.fields.push_back(f);
  }
  desc.indexes.push_back(PrimaryIndex(original.header.keyFieldCount));
  for (const int field : indexedFields) {
    TIdxDesc index;
    index.name = original.header.fields[static_cast<std::size_t>(field - 1)].name;
    index.maintained = true;
    index.keyFields.push_back(static_cast<std::uint16_t>(field));
    desc.indexes.push_back(index);
  }
  AddOption(desc, "LEVEL", std::to_string(original.header.Level()));
  AddOption(desc, "BLOCK SIZE", std::to_string(original.header.blockSize));
  AddOption(desc, "LANGDRIVER", original.header.sortOrderName);
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  EXPECT_EQ(DbiCreateTable(database.Handle(), true, desc), 0) << dataPath;
  TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName(name);
  table.Open();
  for (const Record& record : original.records)
    EXPECT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record), 0);
  table.Close();
  return folder + name;
}

}  // namespace remdo::paradox::testing

#endif  // REMDO_TESTS_PARADOX_SAMPLECOMPARE_H_
