// The bulk-built index tree: shape (root first, one entry short of full),
// any number of levels, and counts that stay valid short integers; and the
// tree read back, whole or damaged.
#include "paradox/index/IndexBuilder.h"

#include <gtest/gtest.h>

#include <functional>

#include "paradox/EngineFixture.h"
#include "paradox/index/IndexTreeReader.h"

namespace remdo::paradox {
namespace {

using testing::TIndexEntry;

// Leaves for `blocks` data blocks of `perBlock` records, keyed 1, 2, ...
TIndexEntries Leaves(int blocks, int perBlock) {
  TIndexEntries leaves;
  leaves.keyWidth = 4;
  std::byte key[4];
  for (int b = 1; b <= blocks; ++b) {
    EncodeFieldInteger(key, b, 4);
    leaves.Add(key, static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(perBlock));
  }
  return leaves;
}

TIndexTree ReadBack(const std::string& path) {
  auto file = env::RealFileSystem().Open(path, env::TOpenMode::kRead);
  return ReadIndexTree(*file, path);
}

testing::TFileImage BuildIndex(const remdo::test::TScratchFolder& folder, const TIndexEntries& leaves) {
  TTableHeader header;
  header.fileType = TFileType::kPrimaryIndex;
  header.versionCode = 0x0B;
  header.blockSize = kDefaultBlockSize;
  header.fields = {{TFieldType::kLong, 4, {}, 1}};
  header.tableName = "T.PX";
  auto file = env::RealFileSystem().Open(folder / "T.PX", env::TOpenMode::kCreate);
  WriteIndexFile(*file, header, leaves);
  file->Close();
  return testing::ReadTableFile(folder / "T.PX");
}

// Walks the tree from the root; returns the lowest-level entries in order
// and checks every upper entry against the block it points to.
void Descend(const testing::TFileImage& image, int block, int level, std::vector<TIndexEntry>& lowest) {
  for (const TIndexEntry& entry : testing::IndexBlockEntries(image, block)) {
    if (level == 1) {
      lowest.push_back(entry);
      continue;
    }
    const auto child = testing::IndexBlockEntries(image, entry.child);
    ASSERT_FALSE(child.empty());
    EXPECT_EQ(child.front().key, entry.key);
    long sum = 0;
    for (const auto& c : child) sum += c.count;
    EXPECT_EQ(entry.count, std::min<long>(sum, kMaxEntryCount));
    Descend(image, entry.child, level - 1, lowest);
  }
}

TEST(IndexBuilder, BuildsAnyNumberOfLevelsFromTheRootDown) {
  struct TCase {
    int blocks;
    int perBlock;
    int levels;
    int indexBlocks;
  };
  // A 2048-byte block holds 204 entries of 10 bytes; the engine fills 203.
  const TCase cases[] = {{0, 0, 0, 0},      {1, 5, 1, 1},        {203, 14, 1, 1},
                         {204, 14, 2, 3},   {285, 14, 2, 3},     {203 * 203, 2, 2, 204},
                         {203 * 203 + 1, 2, 3, 207}, {65535, 1000, 3, 326}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.blocks);
    remdo::test::TScratchFolder folder;
    const auto image = BuildIndex(folder, Leaves(c.blocks, c.perBlock));
    EXPECT_EQ(image.header.indexLevels, c.levels);
    EXPECT_EQ(image.header.indexRoot, 1);
    EXPECT_EQ(image.header.fileBlocks, c.indexBlocks);
    EXPECT_EQ(image.header.autoIncrement, 0u);  // set by the table writer, not here
    long entries = 0;
    for (int b = 1; b <= image.header.fileBlocks; ++b) {
      const auto block = testing::IndexBlockEntries(image, b);
      EXPECT_LE(block.size(), 203u);
      entries += static_cast<long>(block.size());
      const TBlockHeader links = TBlockHeader::DecodeFrom(image.bytes.data() + 2048 + (b - 1) * 2048);
      EXPECT_EQ(links.next, b < image.header.fileBlocks ? b + 1 : 0);
      EXPECT_EQ(links.prev, b - 1);
    }
    EXPECT_EQ(entries, static_cast<long>(image.header.recordCount));
    const TIndexTree tree = ReadBack(folder / "T.PX");
    const TIndexEntries written = Leaves(c.blocks, c.perBlock);
    EXPECT_TRUE(tree.faults.empty());
    EXPECT_EQ(tree.leaves.keys, written.keys);
    EXPECT_EQ(tree.leaves.children, written.children);
    EXPECT_EQ(tree.leaves.counts, written.counts);
    if (c.levels == 0) continue;
    std::vector<TIndexEntry> lowest;
    Descend(image, 1, c.levels, lowest);
    ASSERT_EQ(lowest.size(), static_cast<std::size_t>(c.blocks));
    for (int b = 0; b < c.blocks; ++b) {
      EXPECT_EQ(lowest[static_cast<std::size_t>(b)].child, b + 1);
      if (HasFailure()) break;
    }
  }
}

// A two-level tree (root block 1 over leaf blocks 2 and 3) spoilt byte by
// byte: the reader names the fault, never loops, and keeps what it could read.
TEST(IndexTreeReader, NamesTheDamageOfATree) {
  struct TCase {
    const char* what;
    std::function<void(std::vector<std::byte>&)> spoil;
    TTreeFaultKind fault;
    std::uint32_t block;
    std::size_t leaves;
  };
  constexpr std::size_t kRoot = 2048 + 6;  // the root's first entry
  const TCase cases[] = {
      {"root entry points at the root", [](auto& b) { EncodeFieldInteger(&b[kRoot + 4], 1, 2); },
       TTreeFaultKind::kBlockRevisited, 1, 2},
      {"root entry points past the file", [](auto& b) { EncodeFieldInteger(&b[kRoot + 4], 90, 2); },
       TTreeFaultKind::kBlockOutside, 90, 2},
      {"root outside the file", [](auto& b) { PutU16(&b[0x1E], 7); }, TTreeFaultKind::kBlockOutside, 7, 0},
      {"impossible levels", [](auto& b) { b[0x20] = std::byte{200}; }, TTreeFaultKind::kTooDeep, 200, 0},
      {"leaf with an odd last offset", [](auto& b) { PutU16(&b[2048 + 2048 + 4], 7); }, TTreeFaultKind::kBlockDamaged,
       2, 2},
      {"empty leaf", [](auto& b) { PutU16(&b[2048 + 2048 + 4], static_cast<std::uint16_t>(-10)); },
       TTreeFaultKind::kBlockEmpty, 2, 2},
      {"header count", [](auto& b) { PutU16(&b[6], 9); }, TTreeFaultKind::kEntryCount, 207, 205},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    remdo::test::TScratchFolder folder;
    BuildIndex(folder, Leaves(205, 3));
    std::vector<std::byte> bytes = remdo::test::ReadWholeFile(folder / "T.PX");
    c.spoil(bytes);
    remdo::test::WriteWholeFile(folder / "T.PX", bytes);
    const TIndexTree tree = ReadBack(folder / "T.PX");
    ASSERT_EQ(tree.faults.size(), 1u);
    EXPECT_EQ(tree.faults[0].kind, c.fault);
    EXPECT_EQ(tree.faults[0].block, c.block);
    EXPECT_EQ(tree.leaves.Size(), c.leaves);
  }
}

TEST(IndexBuilder, WideKeysGetLargerIndexBlocks) {
  EXPECT_EQ(IndexBlockSizeFor(10), 2048u);
  EXPECT_EQ(IndexBlockSizeFor(600), 2048u);   // three entries fit
  EXPECT_EQ(IndexBlockSizeFor(700), 4096u);
  EXPECT_EQ(IndexBlockSizeFor(261), 2048u);   // an alpha key of 255 characters
  EXPECT_EQ(EntriesPerIndexBlock(2048, 10), 203u);
  EXPECT_EQ(EntriesPerIndexBlock(2048, 11), 184u);
}

}  // namespace
}  // namespace remdo::paradox
