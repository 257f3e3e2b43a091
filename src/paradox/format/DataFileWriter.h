// Bulk writer of a data file (.DB, and the data part of a secondary index):
// records handed over in their final order fill every block completely, the
// blocks are chained 1, 2, ... k in file order, and the header is written
// last with the counts. The first key and record count of every block are
// kept for the index that is built over the blocks.
#ifndef REMDO_PARADOX_FORMAT_DATAFILEWRITER_H_
#define REMDO_PARADOX_FORMAT_DATAFILEWRITER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlockWriter.h"
#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

// One index entry per block of the level below: the block's first key, the
// block's number and the records under it.
struct TIndexEntries {
  std::size_t keyWidth = 0;
  std::vector<std::byte> keys;        // keyWidth bytes per entry
  std::vector<std::uint32_t> children;
  std::vector<std::uint32_t> counts;

  std::size_t Size() const { return children.size(); }
  void Add(const std::byte* key, std::uint32_t child, std::uint32_t count) {
    keys.insert(keys.end(), key, key + keyWidth);
    children.push_back(child);
    counts.push_back(count);
  }
};

class TDataFileWriter {
 public:
  // header describes the file (fields, block size, kind); its counts are
  // filled in by Finish. keyWidth: bytes of the leading key (0: no index).
  TDataFileWriter(env::TFile& file, TTableHeader& header, std::size_t keyWidth);

  // Appends one record of header.recordSize bytes and returns the number of
  // the block that holds it. Throws the file's write error, or
  // EDBEngineError (table full).
  std::uint32_t Add(std::span<const std::byte> record);
  // Writes the last block and the header. Throws the file's write error.
  void Finish();

  const TIndexEntries& Leaves() const { return leaves_; }
  std::uint32_t RecordCount() const { return records_; }

 private:
  void CloseBlock();

  env::TFile& file_;
  TTableHeader& header_;
  const std::size_t recordSize_;
  const std::size_t perBlock_;
  std::vector<std::byte> headerBytes_;
  TBlockWriter blocks_;
  std::byte* block_ = nullptr;
  std::size_t inBlock_ = 0;
  std::uint32_t records_ = 0;
  TIndexEntries leaves_;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_DATAFILEWRITER_H_
