// Builds an index-tree file (.PX, and .Ynn/.YGn) in bulk from the entries of
// its lowest level, one per block of the file it indexes.
//
// Shape, as the engine builds an index when it rebuilds one: every index
// block holds one entry fewer than it has room for; when the lowest level
// needs more than one block, the levels above are built the same way until
// one block remains, the root. Blocks are numbered from the top: the root is
// block 1, the level below follows, the lowest level comes last; all blocks
// form one chain in that order. Any number of levels is built.
//
// Each entry carries a record count encoded as a short integer. A count of
// the lowest level is a block's record count and always fits; a count of an
// upper level is the sum below it and is stored as 32767 when the sum is
// larger, so that every stored count stays a valid positive short.
#ifndef REMDO_PARADOX_INDEX_INDEXBUILDER_H_
#define REMDO_PARADOX_INDEX_INDEXBUILDER_H_

#include <cstddef>
#include <cstdint>

#include "env/FileSystem.h"
#include "paradox/format/DataFileWriter.h"
#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

// The engine's default block size, which it also gives every index-tree
// file whatever the block size of the table.
inline constexpr std::uint32_t kDefaultBlockSize = 2048;
inline constexpr std::uint32_t kMaxBlockSize = 32768;
// The largest count an entry can carry.
inline constexpr std::uint32_t kMaxEntryCount = 32767;

// The block size of an index tree whose entries are entrySize bytes: the
// default, doubled while a block would hold fewer than two entries.
std::uint32_t IndexBlockSizeFor(std::size_t entrySize);

// Entries an index block of blockSize holds as built: capacity minus one.
std::size_t EntriesPerIndexBlock(std::uint32_t blockSize, std::size_t entrySize);

// Writes the whole index file: header (its counts, root and levels filled in
// here; fields, kind, version, sort order, name and stamps set by the caller)
// and blocks. Throws the file's write error, or EDBEngineError (table full).
void WriteIndexFile(env::TFile& file, TTableHeader& header, const TIndexEntries& lowest);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_INDEX_INDEXBUILDER_H_
