#include "repair/verify/TreeAudit.h"

#include <cstring>
#include <string>
#include <vector>

namespace remdo::repair {

namespace {

using paradox::TTreeFaultKind;

TPlace Block(std::uint32_t number) { return TPlace("block " + std::to_string(number), number); }

void TallyTreeFaults(const paradox::TIndexTree& tree, std::string_view subject, TFindingTally& tally,
                     TIndexMemoCounts& counts) {
  for (const paradox::TTreeFault& fault : tree.faults) {
    switch (fault.kind) {
      case TTreeFaultKind::kBlockOutside:
        tally.Add(subject, TFindingCode::kTreeLinksOutsideFile, Block(fault.block));
        break;
      case TTreeFaultKind::kBlockRevisited:
        tally.Add(subject, TFindingCode::kTreeBlocksReachedTwice, Block(fault.block));
        break;
      case TTreeFaultKind::kBlockDamaged:
        tally.Add(subject, TFindingCode::kTreeBlocksImpossibleCount, Block(fault.block));
        break;
      case TTreeFaultKind::kBlockEmpty:
        tally.Add(subject, TFindingCode::kTreeBlocksWithoutEntries, Block(fault.block));
        break;
      case TTreeFaultKind::kTooDeep:
        tally.Note(subject, TFindingCode::kTreeTooManyLevels, {std::to_string(fault.block)});
        break;
      case TTreeFaultKind::kEntryCount:
        tally.Note(subject, TFindingCode::kTreeEntryCountDiffers,
                   {std::to_string(tree.header.recordCount), std::to_string(fault.block)});
        break;
    }
  }
  if (!tree.faults.empty()) ++counts.unreadableFiles;
}

}  // namespace

void AuditTree(const paradox::TIndexTree& tree, const TDataFileMap& data, std::string_view subject,
               TFindingTally& tally, TIndexMemoCounts& counts) {
  TallyTreeFaults(tree, subject, tally, counts);
  const paradox::TIndexEntries& leaves = tree.leaves;
  if (leaves.keyWidth != data.keyWidth) {
    tally.Note(subject, TFindingCode::kTreeKeyWidthDiffers,
               {std::to_string(leaves.keyWidth), std::to_string(data.keyWidth)});
    ++counts.unreadableFiles;
    return;
  }
  std::vector<bool> reached(data.blocks.size(), false);
  std::size_t astray = 0;
  for (std::size_t i = 0; i < leaves.Size(); ++i) {
    const std::uint32_t child = leaves.children[i];
    const TPlace where = Block(child);
    if (child == 0 || child > data.blocks.size()) {
      tally.Add(subject, TFindingCode::kEntriesPointingAtNoBlock, where);
      ++astray;
      continue;
    }
    const TScannedBlock& block = data.blocks[child - 1];
    if (reached[child - 1]) {
      tally.Add(subject, TFindingCode::kEntriesPointingAtSharedBlock, where);
      ++astray;
      continue;
    }
    reached[child - 1] = true;
    if (!block.inChain) {
      tally.Add(subject, TFindingCode::kEntriesPointingOutsideChain, where);
      ++astray;
    } else if (block.count <= 0) {
      tally.Add(subject, TFindingCode::kEntriesPointingAtDamagedBlock, where);
      ++astray;
    } else if (std::memcmp(leaves.keys.data() + i * leaves.keyWidth, data.FirstKey(child), leaves.keyWidth) != 0) {
      tally.Add(subject, TFindingCode::kEntriesKeyNotBlocksFirst, where);
      ++astray;
    } else if (leaves.counts[i] != static_cast<std::uint32_t>(block.count)) {
      tally.Add(subject, TFindingCode::kEntriesRecordCountDiffers, where);
      ++astray;
    }
  }
  counts.indexEntriesAstray += astray;
  for (std::uint32_t n = 1; n <= data.blocks.size(); ++n) {
    const int records = data.blocks[n - 1].count;
    if (records <= 0 || reached[n - 1]) continue;
    tally.Add(subject, TFindingCode::kRecordsIndexDoesNotReach, TPlace(Block(n).text + ": " + std::to_string(records), n),
              static_cast<std::size_t>(records));
    counts.recordsNotIndexed += static_cast<std::size_t>(records);
  }
}

}  // namespace remdo::repair
