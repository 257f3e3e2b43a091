// Helpers shared by the engine's tests: descriptors built from short specs,
// a scratch folder with a connected database, and an independent look at
// the files the engine wrote (header and records by the chain, index blocks
// in file order).
#ifndef REMDO_TESTS_PARADOX_ENGINEFIXTURE_H_
#define REMDO_TESTS_PARADOX_ENGINEFIXTURE_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/codes/Coding.h"
#include "paradox/components/Database.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/BlockChain.h"
#include "paradox/format/BlockHeader.h"
#include "paradox/format/TableHeader.h"
#include "support/TestSupport.h"

namespace remdo::paradox::testing {

using Record = std::vector<std::byte>;

// A field of a creation descriptor from a type letter and size ("I", "A", 20).
inline TFldDesc Fld(std::string name, char letter, int size = 0) {
  static const std::string_view letters = "ANDSMBFOGIT@L+Y#$";
  static const std::uint16_t codes[] = {257, 258, 260, 261, 262, 263, 264, 265, 266, 267, 268, 269, 270, 271, 272, 273, 259};
  TFldDesc desc;
  desc.name = std::move(name);
  desc.type = codes[letters.find(letter)];
  desc.units1 = static_cast<std::int16_t>(size);
  return desc;
}

inline TIdxDesc PrimaryIndex(int keyFields) {
  TIdxDesc index;
  index.primary = index.unique = index.maintained = true;
  for (int i = 1; i <= keyFields; ++i) index.keyFields.push_back(static_cast<std::uint16_t>(i));
  return index;
}

inline TCrTblDesc TableDesc(std::string name, std::vector<TFldDesc> fields, int keyFields = 0) {
  TCrTblDesc desc;
  desc.tableName = std::move(name);
  desc.tableType = std::string(kParadoxTableType);
  desc.fields = std::move(fields);
  if (keyFields > 0) desc.indexes.push_back(PrimaryIndex(keyFields));
  return desc;
}

// Adds one optional parameter the way table creation fills it.
inline void AddOption(TCrTblDesc& desc, std::string name, std::string_view value) {
  AddOptionalParam(desc, name, value);
}

inline TCrTblDesc OptionDesc(std::string table, std::string name, std::string_view value) {
  TCrTblDesc desc;
  desc.tableName = std::move(table);
  desc.tableType = std::string(kParadoxTableType);
  AddOption(desc, std::move(name), value);
  return desc;
}

// A record image of the given size with integer fields at offsets.
inline Record LongKeyRecord(std::size_t size, std::int32_t key) {
  Record record(size);
  EncodeFieldInteger(record.data(), key, 4);
  return record;
}

struct TFileImage {
  TTableHeader header;
  std::vector<Record> records;  // data files: in chain order
  std::vector<std::byte> bytes;
};

// Reads a table-format file: its header, and for data files its records by
// following the chain.
inline TFileImage ReadTableFile(const std::string& path) {
  TFileImage image;
  image.bytes = remdo::test::ReadWholeFile(path);
  image.header = TTableHeader::DecodeFrom(image.bytes, image.bytes.size(), path);
  if (image.header.IsIndexTree() || image.header.IsEncrypted()) return image;
  auto file = env::RealFileSystem().Open(path, env::TOpenMode::kRead);
  TBlockChainReader chain(*file, image.header, image.bytes.size());
  TChainBlock block;
  while (chain.Next(block)) {
    for (std::size_t i = 0; i < block.count; ++i) {
      const auto record = block.records.subspan(i * image.header.recordSize, image.header.recordSize);
      image.records.emplace_back(record.begin(), record.end());
    }
  }
  return image;
}

// One entry of an index block.
struct TIndexEntry {
  Record key;
  int child = 0;
  int count = 0;
};

// The entries of index block `block` (1-based) of an index-tree file.
inline std::vector<TIndexEntry> IndexBlockEntries(const TFileImage& image, int block) {
  std::vector<TIndexEntry> entries;
  const std::size_t size = image.header.recordSize;
  const std::byte* start = image.bytes.data() + image.header.headerSize + (block - 1) * image.header.blockSize;
  const auto count = TBlockHeader::DecodeFrom(start).RecordCount(size, image.header.blockSize);
  for (std::size_t i = 0; count && i < *count; ++i) {
    const std::byte* entry = start + 6 + i * size;
    // Block numbers and counts are 16-bit values with the top bit flipped;
    // block numbers above 32767 read as unsigned.
    entries.push_back({Record(entry, entry + size - 6), static_cast<int>(GetBigEndian(entry + size - 6, 2) ^ 0x8000),
                       static_cast<int>(GetBigEndian(entry + size - 4, 2) ^ 0x8000)});
  }
  return entries;
}

// A scratch folder with the engine started and a database connected on it.
class TEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)DbiInit(nullptr);
    database_.SetDatabaseName(folder_.Path());
    database_.Open();
  }
  void TearDown() override { database_.Close(); }

  TDbHandle Db() const { return database_.Handle(); }
  std::string PathOf(std::string_view name) const { return folder_ / name; }
  void Create(const TCrTblDesc& desc) { ASSERT_EQ(DbiCreateTable(Db(), true, desc), 0); }

  remdo::test::TScratchFolder folder_;
  TDatabase database_;
};

}  // namespace remdo::paradox::testing

#endif  // REMDO_TESTS_PARADOX_ENGINEFIXTURE_H_
