// Bulk building of a single-field secondary index's files while the data
// file is written: every record handed to the data file writer gives one
// entry here (its indexed field, its primary key, and the number of the data
// block that holds it); at the end the entries are sorted (indexed field in
// its order, then primary key) and written as the .Xnn file, a keyed table
// in full blocks of the data file's block size, and its tree, the .Ynn file,
// built like a primary index over the .Xnn blocks.
//
// Header of the .Xnn as the engine writes it: file type 5, the indexed
// field at 0x15, fields [indexed field, primary key fields, "Blk Num" short]
// with the data file's names and types, key fields = fields - 1, field
// numbers [the indexed field's number in the data file, then 2, 3, ...],
// 0x2C = 0xFF, 0x2E = the data file's 0x2E, 0x2F = the primary index's
// stamp (0x2C), 0x49 = the data file's 0x49, 0x64 = highest field number +
// 1, 0x6C = 1, 0x70 = 0. The .Ynn is an index tree (file type 4) whose
// 0x2C repeats the .Xnn's 0x2D.
#ifndef REMDO_PARADOX_ENGINE_SECONDARYINDEXBUILDER_H_
#define REMDO_PARADOX_ENGINE_SECONDARYINDEXBUILDER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/engine/SecondaryIndex.h"
#include "paradox/format/TableHeader.h"

namespace remdo::paradox {

class TSecondaryIndexBuilder {
 public:
  explicit TSecondaryIndexBuilder(const TSecondaryIndex& index);

  // One record of the data file, in table order, and the block holding it.
  void Add(const std::byte* record, std::uint32_t dataBlock);
  std::size_t Count() const { return count_; }

  // Writes the .Xnn to dataFile and the .Ynn to treeFile. data is the data
  // file's header as written (counts, stamps), primaryStamp the primary
  // index's 0x2C. Throws the files' write errors, or EDBEngineError (table
  // full) for more blocks than a file can hold.
  void Write(env::TFile& dataFile, env::TFile& treeFile, const TTableHeader& data, std::uint8_t primaryStamp);

 private:
  // Entries live in chunks of kChunkEntries, so that gathering them never
  // copies or clears what was gathered.
  static constexpr std::size_t kChunkShift = 16;
  static constexpr std::size_t kChunkEntries = std::size_t{1} << kChunkShift;
  std::byte* Entry(std::size_t i) const {
    return chunks_[i >> kChunkShift].get() + (i & (kChunkEntries - 1)) * entryWidth_;
  }
  std::vector<std::uint32_t> SortedByCollation() const;

  const TSecondaryIndex& index_;
  const std::size_t entryWidth_;  // entry key + 2 bytes of block number
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
  std::size_t count_ = 0;
};

// The headers of an index's files, before their counts are filled in.
TTableHeader SecondaryDataHeader(const TTableHeader& data, const TSecondaryIndex& index, std::uint8_t primaryStamp);
TTableHeader SecondaryTreeHeader(const TTableHeader& secondaryData, const TSecondaryIndex& index);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_ENGINE_SECONDARYINDEXBUILDER_H_
