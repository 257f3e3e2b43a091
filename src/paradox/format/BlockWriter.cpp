// The buffered block writer. Blocks are handed out zeroed, so the unused tail
// of a block (after its last record) is always zero in files this engine
// writes.
#include "paradox/format/BlockWriter.h"

#include <algorithm>
#include <span>

#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"

namespace remdo::paradox {

namespace {
constexpr std::size_t kBufferBytes = 1 << 20;
constexpr std::uint32_t kMaxBlocks = 65535;

// The most bytes a writer buffers: two blocks at least.
std::size_t BufferLimit(std::uint32_t blockSize) {
  return std::max<std::size_t>(2, kBufferBytes / blockSize) * blockSize;
}
}  // namespace

TBlockWriter::TBlockWriter(env::TFile& file, std::uint32_t headerSize, std::uint32_t blockSize)
    : file_(file), headerSize_(headerSize), blockSize_(blockSize), buffer_(std::size_t{2} * blockSize) {}

std::byte* TBlockWriter::NewBlock() {
  if (blockCount_ == kMaxBlocks) {
    throw EngineError(kDbiErrTableFull, "The table " + file_.Path() + " would need more than 65535 blocks");
  }
  const std::size_t limit = BufferLimit(blockSize_);
  if ((buffered_ + 1) * blockSize_ > buffer_.size() && buffer_.size() < limit) {
    // The buffer grows with the file: most files of a table are a block or
    // two, and zeroing a buffer of the full size for each of them cost more
    // than writing them.
    buffer_.resize(std::min(buffer_.size() * 2, limit));
  } else if ((buffered_ + 1) * blockSize_ > buffer_.size()) {
    WriteOut(buffered_ - 1);
  }
  std::byte* block = buffer_.data() + buffered_ * blockSize_;
  std::fill_n(block, blockSize_, std::byte{0});
  ++buffered_;
  ++blockCount_;
  return block;
}

// Writes the first blocks of the buffer; the newest block, which follows
// them, moves to the front.
void TBlockWriter::WriteOut(std::size_t blocks) {
  const std::uint64_t offset = headerSize_ + static_cast<std::uint64_t>(written_) * blockSize_;
  const std::size_t bytes = blocks * blockSize_;
  written_ += static_cast<std::uint32_t>(blocks);
  buffered_ = 1;
  auto write = [&file = file_, offset, bytes](const std::byte* data) {
    file.WriteAt(offset, std::span<const std::byte>(data, bytes));
    // Written files are flushed before they are committed: the disk may as
    // well start on these blocks now.
    file.StartWriteBack(offset, bytes);
  };
  if (!file_.WritesOnAnyThread()) {
    write(buffer_.data());
    std::copy_n(buffer_.data() + bytes, blockSize_, buffer_.data());
    return;
  }
  writeThread_.Wait();
  outgoing_.resize(buffer_.size());
  std::copy_n(buffer_.data() + bytes, blockSize_, outgoing_.data());
  buffer_.swap(outgoing_);
  writeThread_.Start([write, data = outgoing_.data()] { write(data); });
}

std::byte* TBlockWriter::Previous() {
  return buffered_ >= 2 ? buffer_.data() + (buffered_ - 2) * blockSize_ : nullptr;
}

void TBlockWriter::Finish() {
  writeThread_.Wait();
  if (buffered_ == 0) return;
  const std::uint64_t offset = headerSize_ + static_cast<std::uint64_t>(written_) * blockSize_;
  file_.WriteAt(offset, std::span<const std::byte>(buffer_.data(), buffered_ * blockSize_));
  written_ += static_cast<std::uint32_t>(buffered_);
  buffered_ = 0;
}

}  // namespace remdo::paradox
