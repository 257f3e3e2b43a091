// The 6-byte header of every block of a table-format file (data blocks and
// index blocks alike), little-endian:
//   0 u16 next block of the chain (0 = last)
//   2 u16 previous block (0 = first)
//   4 s16 offset of the last record from byte 6: (count - 1) * record size;
//         -record size when the block is empty
// Records follow from byte 6, back to back.
#ifndef REMDO_PARADOX_FORMAT_BLOCKHEADER_H_
#define REMDO_PARADOX_FORMAT_BLOCKHEADER_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "paradox/codes/Coding.h"

namespace remdo::paradox {

struct TBlockHeader {
  static constexpr std::size_t kSize = 6;

  std::uint16_t next = 0;
  std::uint16_t prev = 0;
  std::int16_t lastOffset = 0;

  static TBlockHeader DecodeFrom(const std::byte* p) {
    return {GetU16(p), GetU16(p + 2), GetS16(p + 4)};
  }
  void EncodeTo(std::byte* p) const {
    PutU16(p, next);
    PutU16(p + 2, prev);
    PutU16(p + 4, static_cast<std::uint16_t>(lastOffset));
  }

  // The records a block holds, or nothing when the offset is not one a block
  // of blockSize bytes with records of recordSize bytes can have.
  std::optional<std::size_t> RecordCount(std::size_t recordSize, std::size_t blockSize) const {
    const long offset = lastOffset;
    const long size = static_cast<long>(recordSize);
    if (offset == -size) return 0;
    if (offset < 0 || offset % size != 0) return std::nullopt;
    const std::size_t count = static_cast<std::size_t>(offset / size) + 1;
    if (kSize + count * recordSize > blockSize) return std::nullopt;
    return count;
  }

  static std::int16_t LastOffsetFor(std::size_t count, std::size_t recordSize) {
    return static_cast<std::int16_t>((static_cast<long>(count) - 1) * static_cast<long>(recordSize));
  }
};

// Records of recordSize bytes that fit in a block.
inline std::size_t RecordsPerBlock(std::size_t blockSize, std::size_t recordSize) {
  return (blockSize - TBlockHeader::kSize) / recordSize;
}

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_BLOCKHEADER_H_
