// Reads an index-tree file (.PX, .Ynn, .YGn) back: from the root block named
// in the header down through every level to the lowest one, whose entries
// point at the blocks of the file the tree indexes. The file is trusted in
// nothing: every block number is checked against the file before it is
// read, each index block is read at most once (a loop or a block shared by
// two parents is a fault, not an endless walk), and the depth never exceeds
// the levels the header states. Damage gives faults and the walk goes on
// with the next entry; nothing is ever written.
#ifndef REMDO_PARADOX_INDEX_INDEXTREEREADER_H_
#define REMDO_PARADOX_INDEX_INDEXTREEREADER_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/DataFileWriter.h"
#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

enum class TTreeFaultKind {
  kBlockOutside,    // the root or an upper entry names a block the file does not have
  kBlockRevisited,  // a block reached a second time: a loop, or two parents
  kBlockDamaged,    // a block whose last-entry offset is impossible
  kBlockEmpty,      // a block of the tree without entries
  kTooDeep,         // the header states more levels than a tree can have
  kEntryCount,      // the header's entry count differs from the entries found
};

struct TTreeFault {
  TTreeFaultKind kind = TTreeFaultKind::kBlockDamaged;
  std::uint32_t block = 0;  // the block concerned (kEntryCount: entries found)
};

struct TIndexTree {
  TTableHeader header;
  // The entries of the lowest level in tree order: key, block of the indexed
  // file, record count stated for it.
  TIndexEntries leaves;
  std::vector<TTreeFault> faults;
};

// Reads the tree of the open file. Throws EDBEngineError (header corrupt)
// when the header cannot be decoded or is not that of an index tree, and the
// file's read error when the OS fails.
TIndexTree ReadIndexTree(env::TFile& file, std::string_view path);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_INDEX_INDEXTREEREADER_H_
