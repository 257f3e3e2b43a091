// Compares the lowest level of an index tree (.PX over a .DB, .Ynn over its
// .Xnn) with the blocks of the file it indexes.
#ifndef REMDO_REPAIR_VERIFY_TREEAUDIT_H_
#define REMDO_REPAIR_VERIFY_TREEAUDIT_H_

#include <string_view>

#include "paradox/index/IndexTreeReader.h"
#include "repair/verify/DataFileScan.h"
#include "repair/verify/FindingTally.h"
#include "repair/verify/IndexMemoAudit.h"

namespace remdo::repair {

// Tallies, under subject (the tree file's name): faults of the tree itself;
// leaf entries that point at no block, at a block outside the data chain, at
// a damaged or empty block, at a block another entry points at, with another
// record count or another key than their block's first; and the records of
// blocks no entry reaches.
void AuditTree(const paradox::TIndexTree& tree, const TDataFileMap& data, std::string_view subject,
               TFindingTally& tally, TIndexMemoCounts& counts);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_TREEAUDIT_H_
