// The sort of a secondary index's entries by their key bytes, for keys
// whose order is the order of their bytes. The entries are sorted where the
// builder gathered them (fixed-width slots in chunks of equal size), so the
// sort needs little memory beside them, and the index file is then written
// by reading them in turn.
//
// A most-significant-byte radix sort: each range is split by one byte into
// up to 256 buckets, the entries moved to their buckets, and each bucket
// split again by the next byte. Only the first splits of a large table
// touch entries beyond the processor's caches, and they read and write them
// as forward streams; the buckets below are small enough to stay in the
// caches. So the time grows with the table, where a sort of entry numbers
// that looks the entries up at random slows down once the entries outgrow
// the caches.
#ifndef REMDO_PARADOX_ENGINE_ENTRYSORT_H_
#define REMDO_PARADOX_ENGINE_ENTRYSORT_H_

#include <cstddef>
#include <memory>
#include <span>

namespace remdo::paradox {

// The entries of a builder: entry i lives in chunks[i >> chunkShift] at
// (i mod 2^chunkShift) * width.
struct TEntryChunks {
  std::span<const std::unique_ptr<std::byte[]>> chunks;
  std::size_t chunkShift = 0;
  std::size_t width = 0;
  std::size_t count = 0;
};

// Sorts the entries by their first keyWidth bytes compared as unsigned
// bytes; entries whose key bytes are equal may end up in either order.
void SortEntriesByKeyBytes(const TEntryChunks& entries, std::size_t keyWidth);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_ENTRYSORT_H_
