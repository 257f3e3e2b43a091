// Walks the data chain of a table-format file: from the first block named in
// the header along the next links, block by block. Damage (a link outside the
// file, a loop, an impossible record count, records beyond the end of the
// file) stops the walk with a clear engine error; nothing is read outside the
// file's bytes.
#ifndef REMDO_PARADOX_FORMAT_BLOCKCHAIN_H_
#define REMDO_PARADOX_FORMAT_BLOCKCHAIN_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

struct TChainBlock {
  std::uint16_t number = 0;
  std::size_t count = 0;
  std::span<const std::byte> records;  // count * recordSize bytes, valid until the next call
};

class TBlockChainReader {
 public:
  // The file and header outlive the reader. fileSize is the file's size.
  TBlockChainReader(env::TFile& file, const TTableHeader& header, std::uint64_t fileSize);

  // The next block of the chain; false after the last one. Throws
  // EDBEngineError (file corrupt) on a damaged chain, and the file's read
  // error when the OS fails.
  bool Next(TChainBlock& block);

 private:
  void Fill(std::uint16_t number);
  [[noreturn]] void Damaged(const std::string& what) const;

  env::TFile& file_;
  const TTableHeader& header_;
  const std::uint64_t fileSize_;
  const std::uint32_t blockCount_;  // whole and part blocks in the file
  std::vector<bool> visited_;
  std::uint16_t nextBlock_;
  // A window of consecutive blocks read at once; chains written in file
  // order are read in large pieces.
  std::vector<std::byte> window_;
  std::uint32_t windowFirst_ = 0;
  std::uint32_t windowBlocks_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_BLOCKCHAIN_H_
