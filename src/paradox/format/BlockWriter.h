// Writes the blocks of a table-format file in order, block 1 first, through
// a buffer of many blocks, so that a large file goes out in a few large
// writes. The block handed out before the current one always stays in the
// buffer, so that its forward link can be set once the next block exists.
// The header is written separately, once the counts are known.
//
// A file that may be written on another thread (TFile::WritesOnAnyThread)
// has its full buffers written there while the next blocks fill a second
// buffer, one at a time on one thread kept for the writer's life; such a
// write's error comes out of the next NewBlock that needs a buffer, or of
// Finish.
#ifndef REMDO_PARADOX_FORMAT_BLOCKWRITER_H_
#define REMDO_PARADOX_FORMAT_BLOCKWRITER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/WriteThread.h"

namespace remdo::paradox {

class TBlockWriter {
 public:
  TBlockWriter(env::TFile& file, std::uint32_t headerSize, std::uint32_t blockSize);
  // Not copied or moved: a write on another thread refers to this one.
  TBlockWriter(const TBlockWriter&) = delete;
  TBlockWriter& operator=(const TBlockWriter&) = delete;

  // A zeroed block, numbered one after the previous; valid until the next
  // call. Throws EDBEngineError (table full) past block 65535, and the
  // error of a write made on another thread.
  std::byte* NewBlock();
  // The block handed out before the last one, still in the buffer; nullptr
  // before the second block.
  std::byte* Previous();
  // Writes what is buffered. Throws the file's write error.
  void Finish();
  std::uint32_t BlockCount() const { return blockCount_; }
  std::uint32_t BlockSize() const { return blockSize_; }

 private:
  void WriteOut(std::size_t blocks);

  env::TFile& file_;
  const std::uint32_t headerSize_;
  const std::uint32_t blockSize_;
  std::vector<std::byte> buffer_;
  std::vector<std::byte> outgoing_;  // being written on another thread
  std::size_t buffered_ = 0;         // blocks in buffer_
  std::uint32_t blockCount_ = 0;     // blocks handed out
  std::uint32_t written_ = 0;        // blocks written or being written
  TWriteThread writeThread_;         // last, so that its write is waited for first
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_BLOCKWRITER_H_
