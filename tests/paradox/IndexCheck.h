// An independent check of the index files the engine writes: a data file's
// blocks with their numbers, the entries a single-field secondary index of it
// must hold (sorted by the indexed field's bytes, then the primary key: the
// order of numeric fields and of binary collations), and a walk of an index
// tree from its root that checks every entry against the level below.
#ifndef REMDO_TESTS_PARADOX_INDEXCHECK_H_
#define REMDO_TESTS_PARADOX_INDEXCHECK_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "paradox/EngineFixture.h"
#include "paradox/format/BlockChain.h"

namespace remdo::paradox::testing {

struct TBlockRecords {
  int number = 0;
  std::vector<Record> records;
};

// The blocks of a data-format file (.DB, .Xnn) in chain order.
inline std::vector<TBlockRecords> ChainBlocks(const std::string& path) {
  const TFileImage image = ReadTableFile(path);
  auto file = env::RealFileSystem().Open(path, env::TOpenMode::kRead);
  TBlockChainReader chain(*file, image.header, image.bytes.size());
  std::vector<TBlockRecords> blocks;
  TChainBlock block;
  while (chain.Next(block)) {
    TBlockRecords b{block.number, {}};
    for (std::size_t i = 0; i < block.count; ++i) {
      const auto r = block.records.subspan(i * image.header.recordSize, image.header.recordSize);
      b.records.emplace_back(r.begin(), r.end());
    }
    blocks.push_back(std::move(b));
  }
  return blocks;
}

// The entries a secondary index on field (1-based) of the data file must
// hold, in order: indexed field, primary key, data block number.
inline std::vector<Record> ExpectedEntries(const std::string& dataPath, int field) {
  const TFileImage data = ReadTableFile(dataPath);
  std::size_t offset = 0;
  for (int i = 0; i < field - 1; ++i) offset += static_cast<std::size_t>(data.header.fields[i].Width());
  const auto width = static_cast<std::size_t>(data.header.fields[field - 1].Width());
  std::size_t keyWidth = 0;
  for (int i = 0; i < data.header.keyFieldCount; ++i)
    keyWidth += static_cast<std::size_t>(data.header.fields[i].Width());
  std::vector<Record> entries;
  for (const TBlockRecords& block : ChainBlocks(dataPath)) {
    for (const Record& r : block.records) {
      Record entry(r.begin() + static_cast<std::ptrdiff_t>(offset),
                   r.begin() + static_cast<std::ptrdiff_t>(offset + width));
      entry.insert(entry.end(), r.begin(), r.begin() + static_cast<std::ptrdiff_t>(keyWidth));
      entry.resize(entry.size() + 2);
      EncodeFieldInteger(entry.data() + entry.size() - 2, block.number, 2);
      entries.push_back(std::move(entry));
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const Record& a, const Record& b) { return std::memcmp(a.data(), b.data(), a.size() - 2) < 0; });
  return entries;
}

// Walks an index tree from its root and checks every entry: its key is the
// first key of the block below, its count the records under it. Returns the
// records counted under the root; adds a failure for each mismatch.
inline std::size_t CheckTreeBelow(const TFileImage& tree, const std::vector<TBlockRecords>& data, int block, int level,
                                  Record& firstKey) {
  const std::vector<TIndexEntry> entries = IndexBlockEntries(tree, block);
  std::size_t total = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Record key;
    std::size_t count = 0;
    if (level == 1) {
      const auto it =
          std::find_if(data.begin(), data.end(), [&](const TBlockRecords& b) { return b.number == entries[i].child; });
      if (it == data.end() || it->records.empty()) {
        ADD_FAILURE() << "index entry points to block " << entries[i].child;
        continue;
      }
      key.assign(it->records[0].begin(), it->records[0].begin() + static_cast<std::ptrdiff_t>(entries[i].key.size()));
      count = it->records.size();
    } else {
      count = CheckTreeBelow(tree, data, entries[i].child, level - 1, key);
    }
    EXPECT_EQ(entries[i].key, key) << "block " << block << " entry " << i;
    EXPECT_EQ(static_cast<std::size_t>(entries[i].count), std::min<std::size_t>(count, 32767));
    if (i == 0) firstKey = key;
    total += count;
  }
  return total;
}

// Checks the tree file over the data-format file and returns its records.
inline std::size_t CheckIndexTree(const std::string& treePath, const std::string& dataPath) {
  const TFileImage tree = ReadTableFile(treePath);
  const std::vector<TBlockRecords> data = ChainBlocks(dataPath);
  std::size_t records = 0;
  for (const auto& b : data) records += b.records.size();
  if (tree.header.indexLevels == 0) {
    EXPECT_EQ(records, 0u);
    return 0;
  }
  Record first;
  const std::size_t counted = CheckTreeBelow(tree, data, tree.header.indexRoot, tree.header.indexLevels, first);
  EXPECT_EQ(counted, records) << treePath;
  return counted;
}

}  // namespace remdo::paradox::testing

#endif  // REMDO_TESTS_PARADOX_INDEXCHECK_H_
