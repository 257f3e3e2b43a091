#include "repair/verify/TreeAudit.h"

#include <cstring>
#include <string>
#include <vector>

namespace remdo::repair {

namespace {

using paradox::TTreeFaultKind;

std::string Block(std::uint32_t number) { return "block " + std::to_string(number); }

void TallyTreeFaults(const paradox::TIndexTree& tree, std::string_view subject, TFindingTally& tally,
                     TIndexMemoCounts& counts) {
  for (const paradox::TTreeFault& fault : tree.faults) {
    switch (fault.kind) {
      case TTreeFaultKind::kBlockOutside:
        tally.Add(subject, "tree links to blocks the file does not have", Block(fault.block));
        break;
      case TTreeFaultKind::kBlockRevisited:
        tally.Add(subject, "tree blocks reached twice (a loop)", Block(fault.block));
        break;
      case TTreeFaultKind::kBlockDamaged:
        tally.Add(subject, "tree blocks with an impossible entry count", Block(fault.block));
        break;
      case TTreeFaultKind::kBlockEmpty:
        tally.Add(subject, "tree blocks without entries", Block(fault.block));
        break;
      case TTreeFaultKind::kTooDeep:
        tally.Note(subject, "the header states " + std::to_string(fault.block) + " levels, more than a tree can have");
        break;
      case TTreeFaultKind::kEntryCount:
        tally.Note(subject, "the header counts " + std::to_string(tree.header.recordCount) +
                                " entries, the tree holds " + std::to_string(fault.block));
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
    tally.Note(subject, "its keys are " + std::to_string(leaves.keyWidth) + " bytes wide, the file it indexes has " +
                            std::to_string(data.keyWidth) + "-byte keys; its entries were not compared");
    ++counts.unreadableFiles;
    return;
  }
  std::vector<bool> reached(data.blocks.size(), false);
  std::size_t astray = 0;
  for (std::size_t i = 0; i < leaves.Size(); ++i) {
    const std::uint32_t child = leaves.children[i];
    const std::string where = Block(child);
    if (child == 0 || child > data.blocks.size()) {
      tally.Add(subject, "entries pointing at no block of the file", where);
      ++astray;
      continue;
    }
    const TScannedBlock& block = data.blocks[child - 1];
    if (reached[child - 1]) {
      tally.Add(subject, "entries pointing at a block another entry points at", where);
      ++astray;
      continue;
    }
    reached[child - 1] = true;
    if (!block.inChain) {
      tally.Add(subject, "entries pointing at a block outside the file's chain", where);
      ++astray;
    } else if (block.count <= 0) {
      tally.Add(subject, "entries pointing at a damaged or empty block", where);
      ++astray;
    } else if (std::memcmp(leaves.keys.data() + i * leaves.keyWidth, data.FirstKey(child), leaves.keyWidth) != 0) {
      tally.Add(subject, "entries whose key is not their block's first key", where);
      ++astray;
    } else if (leaves.counts[i] != static_cast<std::uint32_t>(block.count)) {
      tally.Add(subject, "entries whose record count differs from their block's", where);
      ++astray;
    }
  }
  counts.indexEntriesAstray += astray;
  for (std::uint32_t n = 1; n <= data.blocks.size(); ++n) {
    const int records = data.blocks[n - 1].count;
    if (records <= 0 || reached[n - 1]) continue;
    tally.Add(subject, "records the index does not reach", Block(n) + ": " + std::to_string(records),
              static_cast<std::size_t>(records));
    counts.recordsNotIndexed += static_cast<std::size_t>(records);
  }
}

}  // namespace remdo::repair
