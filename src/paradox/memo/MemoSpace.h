// The blocks of a memo file's walked part, kept in memory while the file is
// edited, with the picture of its free space: free blocks and shared blocks
// with room, each ordered by how much room they have. Finding room for a new
// value, a block by its offset or a block's neighbours costs a logarithm of
// the number of blocks, never a walk, so values written one after another
// cost the same however large the file has grown.
#ifndef REMDO_PARADOX_MEMO_MEMOSPACE_H_
#define REMDO_PARADOX_MEMO_MEMOSPACE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "paradox/format/MemoFormat.h"

namespace remdo::paradox {

class TMemoSpace {
 public:
  struct TBlock {
    std::uint32_t offset = 0;
    memo::TBlockType type = memo::TBlockType::kFree;
    std::uint32_t units = 0;
    // Shared blocks: room for more values. Both are 0 for a shared block
    // whose entries overlap or leave the data area, so it is never filled.
    std::uint32_t freeEntries = 0;
    std::uint32_t freeChunks = 0;
  };

  bool Empty() const { return blocks_.empty(); }
  // The block at an offset, the one before or after it, the last one; null
  // when there is none. The pointers last until the next change.
  const TBlock* Find(std::uint32_t offset) const;
  const TBlock* Before(std::uint32_t offset) const;
  const TBlock* After(std::uint32_t offset) const;
  const TBlock* Last() const;
  // The free block with the most units, the shared block with the most free
  // chunks (and a free entry); null when there is none.
  const TBlock* LargestFree() const;
  const TBlock* RoomiestShared() const;

  // Adds a block or replaces the one at its offset.
  void Put(const TBlock& block);
  void Erase(std::uint32_t offset);

  // The blocks a header's hints may name, in file order: the roomiest
  // perKind of each kind, ties going to the first in the file.
  std::vector<memo::TFreeHint> HintCandidates(std::size_t perKind) const;

 private:
  // Room first (most first), then offset (first in the file first).
  struct TMostRoomFirst {
    bool operator()(const std::pair<std::uint32_t, std::uint32_t>& a,
                    const std::pair<std::uint32_t, std::uint32_t>& b) const {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    }
  };
  using TRoomOrder = std::set<std::pair<std::uint32_t, std::uint32_t>, TMostRoomFirst>;

  void Unindex(const TBlock& block);

  std::map<std::uint32_t, TBlock> blocks_;
  TRoomOrder free_;    // (units, offset)
  TRoomOrder shared_;  // (free chunks, offset) of shared blocks with room
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOSPACE_H_
