// Entry layout in an index block: the key bytes (as in the records), then
// three numbers encoded like short field values: the child block, the record
// count under it, and a third word that is 0 in every engine-written file.
#include "paradox/index/IndexBuilder.h"

#include <algorithm>
#include <vector>

#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/format/BlockHeader.h"
#include "paradox/format/BlockWriter.h"

namespace remdo::paradox {

namespace {

constexpr std::size_t kEntryTrailer = 6;

// The entries of the level above a level grouped into blocks of `per`.
TIndexEntries LevelAbove(const TIndexEntries& level, std::size_t per) {
  TIndexEntries above;
  above.keyWidth = level.keyWidth;
  for (std::size_t first = 0, group = 0; first < level.Size(); first += per, ++group) {
    const std::size_t last = std::min(level.Size(), first + per);
    std::uint32_t sum = 0;
    for (std::size_t i = first; i < last; ++i) sum = std::min(kMaxEntryCount, sum + level.counts[i]);
    above.Add(level.keys.data() + first * level.keyWidth, static_cast<std::uint32_t>(group), sum);
  }
  return above;
}

void PutEntry(std::byte* at, const TIndexEntries& level, std::size_t i, std::uint32_t child) {
  const std::size_t width = level.keyWidth;
  std::copy_n(level.keys.data() + i * width, width, at);
  EncodeFieldInteger(at + width, child, 2);
  EncodeFieldInteger(at + width + 2, std::min(level.counts[i], kMaxEntryCount), 2);
  EncodeFieldInteger(at + width + 4, 0, 2);
}

}  // namespace

std::uint32_t IndexBlockSizeFor(std::size_t entrySize) {
  std::uint32_t size = kDefaultBlockSize;
  while (size < kMaxBlockSize && (size - TBlockHeader::kSize) / entrySize < 3) size *= 2;
  return size;
}

std::size_t EntriesPerIndexBlock(std::uint32_t blockSize, std::size_t entrySize) {
  const std::size_t capacity = (blockSize - TBlockHeader::kSize) / entrySize;
  return capacity > 2 ? capacity - 1 : std::max<std::size_t>(capacity, 1);
}

void WriteIndexFile(env::TFile& file, TTableHeader& header, const TIndexEntries& lowest) {
  const std::size_t entrySize = lowest.keyWidth + kEntryTrailer;
  const std::size_t per = EntriesPerIndexBlock(header.blockSize, entrySize);
  if (per < 2) {
    throw EngineError(kDbiErrInvalidIndexStruct, "The index " + file.Path() + " has keys too wide for its blocks");
  }
  // levels[0] is the lowest; each level's entries point into the level
  // below by group number until numbering is known.
  std::vector<TIndexEntries> levels{lowest};
  while (levels.back().Size() > per) levels.push_back(LevelAbove(levels.back(), per));
  std::vector<std::uint32_t> firstBlock(levels.size() + 1, 1);  // by level from the top
  std::vector<std::uint32_t> blocksOf(levels.size());
  std::uint32_t total = 0;
  for (std::size_t l = levels.size(); l-- > 0;) {
    blocksOf[l] = static_cast<std::uint32_t>((levels[l].Size() + per - 1) / per);
    firstBlock[l] = total + 1;
    total += blocksOf[l];
  }
  std::vector<std::byte> headerBytes = header.EncodeTo();
  TBlockWriter blocks(file, header.headerSize, header.blockSize);
  std::uint32_t entries = 0;
  for (std::size_t l = levels.size(); l-- > 0;) {
    const TIndexEntries& level = levels[l];
    for (std::size_t first = 0; first < level.Size(); first += per) {
      std::byte* block = blocks.NewBlock();
      const std::uint32_t number = blocks.BlockCount();
      const std::size_t count = std::min(per, level.Size() - first);
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t child = l == 0 ? level.children[first + i] : firstBlock[l - 1] + level.children[first + i];
        PutEntry(block + TBlockHeader::kSize + i * entrySize, level, first + i, child);
      }
      TBlockHeader{static_cast<std::uint16_t>(number < total ? number + 1 : 0), static_cast<std::uint16_t>(number - 1),
                   TBlockHeader::LastOffsetFor(count, entrySize)}
          .EncodeTo(block);
      entries += static_cast<std::uint32_t>(count);
    }
  }
  blocks.Finish();
  header.recordCount = entries;
  header.usedBlocks = header.fileBlocks = static_cast<std::uint16_t>(total);
  header.firstBlock = total > 0 ? 1 : 0;
  header.lastBlock = static_cast<std::uint16_t>(total);
  header.indexRoot = 1;
  header.indexLevels = lowest.Size() == 0 ? 0 : static_cast<std::uint8_t>(levels.size());
  headerBytes = header.EncodeTo();
  file.WriteAt(0, headerBytes);
}

}  // namespace remdo::paradox
