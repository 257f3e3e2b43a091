// The chain walk. A block is read through a window of up to 1 MiB of
// consecutive blocks, so a chain in file order costs one read per window.
// A trailing block cut short by the end of the file is accepted as long as
// the records it claims lie inside the file.
#include "paradox/format/BlockChain.h"

#include <algorithm>

#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/format/BlockHeader.h"

namespace remdo::paradox {

namespace {
constexpr std::size_t kWindowBytes = 1 << 20;
}  // namespace

TBlockChainReader::TBlockChainReader(env::TFile& file, const TTableHeader& header, std::uint64_t fileSize)
    : file_(file),
      header_(header),
      fileSize_(fileSize),
      blockCount_(fileSize > header.headerSize
                      ? static_cast<std::uint32_t>((fileSize - header.headerSize + header.blockSize - 1) / header.blockSize)
                      : 0),
      visited_(static_cast<std::size_t>(blockCount_) + 1, false),
      nextBlock_(header.firstBlock) {}

void TBlockChainReader::Damaged(const std::string& what) const {
  throw EngineError(kDbiErrFileCorrupt, "The table " + file_.Path() + " is damaged: " + what);
}

void TBlockChainReader::Fill(std::uint16_t number) {
  if (number >= windowFirst_ && number < windowFirst_ + windowBlocks_) return;
  const std::size_t perWindow = std::max<std::size_t>(1, kWindowBytes / header_.blockSize);
  windowFirst_ = number;
  windowBlocks_ = static_cast<std::uint32_t>(std::min<std::size_t>(perWindow, blockCount_ - number + 1));
  window_.resize(static_cast<std::size_t>(windowBlocks_) * header_.blockSize);
  const std::uint64_t offset = header_.headerSize + static_cast<std::uint64_t>(number - 1) * header_.blockSize;
  const std::size_t got = file_.ReadAt(offset, window_);
  std::fill(window_.begin() + static_cast<std::ptrdiff_t>(got), window_.end(), std::byte{0});
}

bool TBlockChainReader::Next(TChainBlock& block) {
  if (nextBlock_ == 0) return false;
  const std::uint16_t number = nextBlock_;
  if (number > blockCount_) Damaged("block " + std::to_string(number) + " lies outside the file");
  if (visited_[number]) Damaged("the block chain runs in a loop at block " + std::to_string(number));
  visited_[number] = true;
  Fill(number);
  const std::byte* start = window_.data() + static_cast<std::size_t>(number - windowFirst_) * header_.blockSize;
  const TBlockHeader blockHeader = TBlockHeader::DecodeFrom(start);
  const auto count = blockHeader.RecordCount(header_.recordSize, header_.blockSize);
  if (!count) Damaged("block " + std::to_string(number) + " has an impossible record count");
  const std::uint64_t blockOffset = header_.headerSize + static_cast<std::uint64_t>(number - 1) * header_.blockSize;
  if (blockOffset + TBlockHeader::kSize + *count * header_.recordSize > fileSize_) {
    Damaged("the records of block " + std::to_string(number) + " run past the end of the file");
  }
  block.number = number;
  block.count = *count;
  block.records = {start + TBlockHeader::kSize, *count * header_.recordSize};
  nextBlock_ = blockHeader.next;
  return true;
}

}  // namespace remdo::paradox
