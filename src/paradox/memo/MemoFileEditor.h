// Changing the values of an existing memo file in place, for records that
// are posted one at a time: a new or changed value is always written anew
// (into a shared block with room, a free block, or at the end of the file)
// and the space of the old one is released separately, after the record
// that no longer refers to it has been written. A crash between the two
// leaves only unreferenced space behind, never a record whose value is gone.
//
// New values get the header's modification counter as their stamp, and the
// counter goes up by one, as the engine does. Released single-value blocks
// and emptied shared blocks become free blocks, merged with free neighbours.
//
// Stored values are kept in a batch (MemoWriteBack.h) and reach the file
// together: at WritePending, Flush and Close, before a release, and when
// the batch is full. A batch is framed by two writes of the header's counter
// and free-space hints (its other bytes are kept), so that after a crash at
// any point the file can be walked, every value written out before is
// intact and no hint promises room that is not there. Whoever writes a
// record that refers to a stored value calls WritePending (or Flush) first.
//
// A file whose blocks cannot all be walked (damage part way through, a size
// that is not a multiple of 4096) is still edited safely: space is reused
// only in the part that could be walked, and new blocks go after the end of
// the file.
#ifndef REMDO_PARADOX_MEMO_MEMOFILEEDITOR_H_
#define REMDO_PARADOX_MEMO_MEMOFILEEDITOR_H_

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/MemoFormat.h"
#include "paradox/memo/MemoSpace.h"
#include "paradox/memo/MemoWriteBack.h"

namespace remdo::paradox {

// What a shared block's entry table says, read in one pass: the chunks in
// use, the free entries and the highest of them (new values take it, as the
// engine's do). A block with entries that overlap or leave the data area is
// unsound: it is reported full.
struct TSharedBlockUse {
  std::bitset<memo::kChunksPerBlock> used;
  std::uint32_t freeEntries = 0;
  std::size_t highestFree = memo::kEntryCount;
  bool inUse = false;
  bool sound = true;
};

class TMemoFileEditor {
 public:
  // Opens the file for reading and writing. Throws EDBEngineError
  // BLOBFILEMISSING when it does not exist, MEMOCORRUPT when it has no memo
  // header, EFOpenError when it cannot be opened.
  TMemoFileEditor(env::TFileSystem& fileSystem, std::string path);
  ~TMemoFileEditor();
  TMemoFileEditor(const TMemoFileEditor&) = delete;
  TMemoFileEditor& operator=(const TMemoFileEditor&) = delete;

  const std::string& Path() const;

  // Reads values as TMemoFile does, with the same errors.
  std::vector<std::byte> ReadField(std::span<const std::byte> field);
  std::vector<std::byte> ReadStored(const TBlobDescriptor& descriptor);

  // Writes a value anew and returns its reference; blank and leader-only
  // values write nothing. Throws EWriteError/EReadError, and EDBEngineError
  // INVALIDBLOBLEN or TABLEFULL as TMemoFileBuilder::Add does.
  TBlobDescriptor Store(TBlobKind kind, std::span<const std::byte> value, std::size_t leaderSize);
  // Stores a value and fills the record's blob field with it.
  void StoreToField(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value);

  // Frees the space of a value no record refers to any more. Returns true
  // when space was freed; false when the reference has no space in the file
  // (blank, leader-only) or no longer matches the file (stale, damaged, in a
  // part of the file that could not be walked), in which case nothing is
  // changed. Throws only for failures of the OS.
  [[nodiscard]] bool Release(const TBlobDescriptor& descriptor);

  // Writes the stored values that are still in the batch to the file.
  void WritePending();
  // Writes the batch and forces the file to the disk; Close also closes the
  // file. All three throw EWriteError, as does every other call after Close.
  void Flush();
  void Close();

 private:
  using TBlock = TMemoSpace::TBlock;

  env::TFile& File();
  void Put(std::uint64_t offset, std::span<const std::byte> bytes);
  void WriteOut(bool settled);
  void ReadBlock(std::uint64_t offset, std::span<std::byte> out);
  void LoadBlocks();
  void ScanShared(TBlock& block);
  std::uint16_t NextModification();
  TBlobDescriptor StoreShared(std::span<const std::byte> value, std::uint16_t stamp);
  void SettleRoom();
  TBlobDescriptor StoreSingle(std::span<const std::byte> value, std::uint16_t stamp);
  std::uint32_t TakeSpace(std::uint32_t units);
  std::uint32_t SplitFree(TBlock block, std::uint32_t units);
  void ReleaseEntry(TBlock block, const TBlobDescriptor& d);
  void FreeBlock(std::uint32_t offset);
  void WriteHeader(bool withHints);

  env::TFileSystem& fileSystem_;
  const std::string path_;
  std::unique_ptr<env::TFile> file_;
  std::uint64_t size_ = 0;
  std::array<std::byte, memo::kUnit> header_{};
  std::uint16_t counter_ = 1;
  TMemoWriteBack pending_;
  bool hintsOwed_ = false;  // the header's hints were dropped by a write-out
  // The blocks that could be walked; loaded on first change.
  TMemoSpace space_;
  // The shared block that took the last small value: the next one goes
  // there while it has room. Its bytes and their use are kept until a
  // release, so that adding a value costs no read and no walk of its entry
  // table, and only the bytes it changes are written.
  std::uint32_t current_ = 0;
  std::array<std::byte, memo::kUnit> currentBytes_{};
  TSharedBlockUse currentUse_;
  // The kept block's room has changed since space_ was told: it is told
  // before space_ is asked for room or hints, or the block is let go.
  bool roomOwed_ = false;
  bool currentKept_ = false;
  bool loaded_ = false;
  bool walkedAll_ = true;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOFILEEDITOR_H_
