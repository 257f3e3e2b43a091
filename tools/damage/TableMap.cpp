// Header offsets used here (little-endian): 0 record size (u16), 2 header
// size (u16), 4 file type (u8), 5 block size in KiB (u8), 6 record count
// (s32), 33 field count (s16), 35 key field count (s16), 57 version code
// (u8); field (type, size) pairs from 120 when the header is extended
// (version above 4 and file type 0, 2, 3, 5, 6 or 8), else from 88. Each
// block starts with next (u16), previous (u16) and last-record offset
// (s16), then the records.
#include "damage/TableMap.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "paradox/codes/Coding.h"
#include "paradox/format/FieldType.h"

namespace remdo::tools {

TTableMap TTableMap::Read(env::TFile& file) {
  TTableMap image;
  image.fileSize_ = static_cast<std::int64_t>(file.Size());
  std::array<std::byte, 58> head{};
  if (file.ReadAt(0, head) < head.size()) return image;
  // The reader takes a file shorter than its header for a header of zeros.
  const int declared = paradox::GetU16(head.data() + 2);
  if (declared > 80 && declared < 32767 && image.fileSize_ < declared) return image;
  image.recordSize_ = paradox::GetU16(head.data());
  image.headerSize_ = paradox::GetU16(head.data() + 2);
  image.headerCount_ = paradox::GetS32(head.data() + 6);
  image.fieldCount_ = paradox::GetS16(head.data() + 33);
  image.keyFieldCount_ = paradox::GetS16(head.data() + 35);
  const int code = std::to_integer<int>(head[5]);
  if (image.headerSize_ <= 80 || image.headerSize_ >= 32767 || code < 1 || code > 32) return image;
  image.blockSize_ = code * 1024;
  if (image.recordSize_ < 1 || image.recordSize_ > image.blockSize_ - kBlockHeaderSize) return image;
  image.walkable_ = true;
  image.ReadFields(file, std::to_integer<int>(head[4]), std::to_integer<int>(head[57]));
  std::int64_t ordinal = 0;
  for (std::int64_t start = image.headerSize_; image.fileSize_ - start >= kBlockHeaderSize; start += image.blockSize_) {
    std::array<std::byte, kBlockHeaderSize> blockHeader{};
    file.ReadAt(static_cast<std::uint64_t>(start), blockHeader);
    TBlockMap block;
    block.start = start;
    block.bytes = std::min<std::int64_t>(image.fileSize_ - start, image.blockSize_);
    block.lastOffset = paradox::GetS16(blockHeader.data() + 4);
    block.records = image.RecordsOfBlock(block.lastOffset, block.bytes);
    // The reader passes over a block of zeros only: its header's one record
    // was never written.
    if (std::all_of(blockHeader.begin(), blockHeader.end(), [](std::byte b) { return b == std::byte{0}; })) {
      std::vector<std::byte> whole(static_cast<std::size_t>(block.bytes));
      if (file.ReadAt(static_cast<std::uint64_t>(start), whole) == whole.size() &&
          std::all_of(whole.begin(), whole.end(), [](std::byte b) { return b == std::byte{0}; })) {
        block.records = 0;
      }
    }
    block.firstOrdinal = ordinal;
    ordinal += block.records;
    image.blocks_.push_back(block);
  }
  return image;
}

void TTableMap::ReadFields(env::TFile& file, int fileType, int version) {
  const bool extended = version > 4 && (fileType == 0 || fileType == 2 || fileType == 3 || fileType == 5 ||
                                        fileType == 6 || fileType == 8);
  const std::uint64_t at = extended ? 120 : 88;
  if (fieldCount_ <= 0 || at + 2u * fieldCount_ > static_cast<std::uint64_t>(headerSize_)) return;
  std::vector<std::byte> pairs(2u * static_cast<std::size_t>(fieldCount_));
  if (file.ReadAt(at, pairs) < pairs.size()) return;
  int offset = 0;
  for (int i = 0; i < fieldCount_; ++i) {
    const int type = std::to_integer<int>(pairs[2u * i]);
    const int width = type == static_cast<int>(paradox::TFieldType::kBcd) ? paradox::kBcdWidth
                                                                          : std::to_integer<int>(pairs[2u * i + 1]);
    if (i == keyFieldCount_) keyWidth_ = std::min(offset, recordSize_);
    if (paradox::IsBlobType(static_cast<paradox::TFieldType>(type)) && width >= 10 && offset + width <= recordSize_) {
      blobFields_.push_back({i + 1, offset, width});
    }
    offset += width;
  }
  if (keyFieldCount_ == fieldCount_) keyWidth_ = std::min(offset, recordSize_);
}

int TTableMap::RecordsOfBlock(std::int16_t lastOffset, std::int64_t bytes) const {
  const int area = blockSize_ - kBlockHeaderSize;
  if (lastOffset < 0 || lastOffset % recordSize_ != 0 || lastOffset + recordSize_ > area) return 0;
  const auto fit = static_cast<int>((bytes - kBlockHeaderSize) / recordSize_);
  return std::min(lastOffset / recordSize_ + 1, fit);
}

std::int64_t TTableMap::Records() const {
  return blocks_.empty() ? 0 : blocks_.back().firstOrdinal + blocks_.back().records;
}

std::int64_t TTableMap::BlockOfRecord(std::int64_t ordinal) const {
  const auto found = std::upper_bound(blocks_.begin(), blocks_.end(), ordinal,
                                      [](std::int64_t value, const TBlockMap& b) { return value < b.firstOrdinal; });
  if (found == blocks_.begin()) return -1;
  auto index = static_cast<std::int64_t>(found - blocks_.begin()) - 1;
  // Blocks without records share their successor's first ordinal; step back
  // to the one that holds the record.
  while (index > 0 && blocks_[static_cast<std::size_t>(index)].records == 0) --index;
  const TBlockMap& block = blocks_[static_cast<std::size_t>(index)];
  if (ordinal < block.firstOrdinal || ordinal >= block.firstOrdinal + block.records) return -1;
  return index;
}

std::int64_t TTableMap::RecordOffset(std::int64_t ordinal) const {
  const std::int64_t index = BlockOfRecord(ordinal);
  if (index < 0) return -1;
  const TBlockMap& block = blocks_[static_cast<std::size_t>(index)];
  return block.start + kBlockHeaderSize + (ordinal - block.firstOrdinal) * recordSize_;
}

}  // namespace remdo::tools
