// Writing a new memo file in one pass, from the values of a table's records
// in record order: the way a table that is created, copied, restructured or
// packed gets its memo file. Values up to 2048 bytes share suballocated
// blocks: a value goes into the first shared block that still has room for
// it, and a new block is started at the end of the file when none has;
// entries are handed out from 63 downwards and chunks from the start of the
// data area, as the engine does it. Longer values get a block of their own. Every value gets modification number 1 and
// the header counter stays 1, as in a freshly restructured engine file. The
// file's length is a multiple of 4096 and its header carries the free-space
// hints of the shared blocks that still have room.
#ifndef REMDO_PARADOX_MEMO_MEMOFILEBUILDER_H_
#define REMDO_PARADOX_MEMO_MEMOFILEBUILDER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/MemoFormat.h"

namespace remdo::paradox {

class TMemoFileBuilder {
 public:
  // Creates the file, replacing one of that name. Throws EFCreateError.
  TMemoFileBuilder(env::TFileSystem& fileSystem, std::string path);
  // Closes quietly; a file not finished stays incomplete on disk, and the
  // caller, who writes under a temporary name, deletes it.
  ~TMemoFileBuilder();
  TMemoFileBuilder(const TMemoFileBuilder&) = delete;
  TMemoFileBuilder& operator=(const TMemoFileBuilder&) = delete;

  // Stores one value and returns the reference for its record. A blank
  // value and a value that fits the leader (see FitsInLeader) write nothing.
  // Throws EWriteError, and EDBEngineError INVALIDBLOBLEN for a value longer
  // than one block can hold (about 256 MB) or TABLEFULL when the file would
  // pass the 4 GB a reference can address.
  TBlobDescriptor Add(TBlobKind kind, std::span<const std::byte> value, std::size_t leaderSize);

  // Stores one value and fills the record's blob field (leader and
  // reference) with it. Throws like Add.
  void AddToField(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value);

  // Writes the last shared block and the header, flushes and closes the
  // file. Throws EWriteError. Nothing may be added afterwards.
  void Finish();

 private:
  // A shared block that still has room, kept in memory until it is full.
  struct TOpenBlock {
    std::uint32_t offset = 0;
    std::array<std::byte, memo::kUnit> data{};
    int nextEntry = memo::kEntryCount - 1;
    std::uint32_t nextChunk = memo::kFirstDataChunk;

    bool Fits(std::uint32_t chunks) const { return nextEntry >= 0 && nextChunk + chunks <= memo::kChunksPerBlock; }
    std::uint32_t Room() const { return nextEntry < 0 ? 0 : memo::kChunksPerBlock - nextChunk; }
  };

  TBlobDescriptor AddShared(std::span<const std::byte> value);
  TBlobDescriptor AddSingle(std::span<const std::byte> value);
  std::uint32_t TakeUnits(std::uint64_t units);
  TOpenBlock& OpenBlockFor(std::uint32_t chunks);
  void Retire(std::size_t index);

  std::unique_ptr<env::TFile> file_;
  std::uint64_t end_ = memo::kUnit;
  // In file order; at most memo::kMaxHints of them, the number of blocks
  // with room a header can name.
  std::vector<std::unique_ptr<TOpenBlock>> open_;
  std::vector<memo::TFreeHint> hints_;
};

// Creates the empty, valid memo file a new table with blob fields gets.
// Throws EFCreateError or EWriteError.
void CreateEmptyMemoFile(env::TFileSystem& fileSystem, const std::string& path);

// Chooses the hints for a header: the up to ten candidates with the most room,
// in file order.
std::vector<memo::TFreeHint> ChooseHints(std::vector<memo::TFreeHint> candidates);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOFILEBUILDER_H_
