// Full-block bulk writing. The header's size does not depend on the counts,
// so it is encoded once up front (to know where block 1 starts) and again
// at the end with the counts.
#include "paradox/format/DataFileWriter.h"

#include <algorithm>

#include "paradox/codes/Coding.h"
#include "paradox/format/BlockHeader.h"

namespace remdo::paradox {

TDataFileWriter::TDataFileWriter(env::TFile& file, TTableHeader& header, std::size_t keyWidth)
    : file_(file),
      header_(header),
      recordSize_(header.ComputedRecordSize()),
      perBlock_(RecordsPerBlock(header.blockSize, recordSize_)),
      headerBytes_(header.EncodeTo()),
      blocks_(file, header.headerSize, header.blockSize) {
  leaves_.keyWidth = keyWidth;
}

void TDataFileWriter::CloseBlock() {
  if (block_ == nullptr) return;
  const std::uint32_t number = blocks_.BlockCount();
  TBlockHeader blockHeader;
  blockHeader.prev = static_cast<std::uint16_t>(number - 1);
  blockHeader.lastOffset = TBlockHeader::LastOffsetFor(inBlock_, recordSize_);
  blockHeader.EncodeTo(block_);
  if (leaves_.keyWidth > 0) leaves_.Add(block_ + TBlockHeader::kSize, number, static_cast<std::uint32_t>(inBlock_));
  block_ = nullptr;
  inBlock_ = 0;
}

std::uint32_t TDataFileWriter::Add(std::span<const std::byte> record) {
  if (block_ == nullptr) {
    block_ = blocks_.NewBlock();
    // The block before this one is still buffered: link it forward.
    if (std::byte* previous = blocks_.Previous()) PutU16(previous, static_cast<std::uint16_t>(blocks_.BlockCount()));
  }
  std::copy_n(record.data(), recordSize_, block_ + TBlockHeader::kSize + inBlock_ * recordSize_);
  ++records_;
  const std::uint32_t number = blocks_.BlockCount();
  if (++inBlock_ == perBlock_) CloseBlock();
  return number;
}

void TDataFileWriter::Finish() {
  CloseBlock();
  blocks_.Finish();
  const std::uint32_t count = blocks_.BlockCount();
  header_.recordCount = records_;
  header_.usedBlocks = header_.fileBlocks = static_cast<std::uint16_t>(count);
  header_.firstBlock = count > 0 ? 1 : 0;
  header_.lastBlock = static_cast<std::uint16_t>(count);
  header_.firstFreeBlock = 0;
  headerBytes_ = header_.EncodeTo();
  file_.WriteAt(0, headerBytes_);
}

}  // namespace remdo::paradox
