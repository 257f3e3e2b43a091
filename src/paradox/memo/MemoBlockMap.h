// A map of a memo file's blocks for checking the references of a table's
// records against it: one walk from the first block after the header to the
// end of the file (or to the first block that cannot be walked), keeping
// each block's kind, size and stored values. Every reference is then checked
// in memory, and the map remembers which stored values were referred to, so
// that the values no record refers to can be listed. Nothing is written.
#ifndef REMDO_PARADOX_MEMO_MEMOBLOCKMAP_H_
#define REMDO_PARADOX_MEMO_MEMOBLOCKMAP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/MemoFormat.h"

namespace remdo::paradox {

// What a reference to a stored value finds; kNone when it finds its value.
enum class TMemoReferenceFault {
  kNone,
  kOutsideFile,     // at or past the end of the file
  kIntoHeader,      // into the header block
  kNotBlockStart,   // not at the start of a block (or an impossible entry number)
  kUnwalked,        // into the part of the file after the damage that stopped the walk
  kWrongBlockType,  // at a free block, or a block of the other kind of stored value
  kEntryEmpty,      // at an entry of a shared block that is not in use
  kPastBlock,       // the value would run past the end of its block
  kLengthDiffers,   // the block holds a value of another length
  kStale,           // the block's modification number differs
};

class TMemoBlockMap {
 public:
  // Walks the file. Throws EDBEngineError (MEMOCORRUPT) when it does not
  // start with a memo header block, and the file's read error.
  explicit TMemoBlockMap(env::TFile& file);

  std::uint64_t FileSize() const { return size_; }
  // Where the walk stopped (the file size when it reached the end), and why
  // it stopped early (empty when it did not).
  std::uint64_t WalkedTo() const { return walkedTo_; }
  const std::string& StopReason() const { return stopReason_; }

  // Checks a reference to a stored value (neither blank nor leader-only)
  // and notes the value as referred to when the reference reaches it.
  TMemoReferenceFault Refer(const TBlobDescriptor& descriptor);

  // A stored value: a single-value block (entry 0xFF) or an entry of a
  // shared block.
  struct TValue {
    std::uint32_t blockOffset = 0;
    std::uint8_t entry = 0;
  };
  // Values of the walked part no reference reached, in file order.
  std::vector<TValue> Unreferenced() const;
  // References that reached a value another reference had reached already.
  std::size_t SharedReferences() const { return sharedReferences_; }

 private:
  struct TBlock {
    std::uint32_t offset = 0;
    memo::TBlockType type = memo::TBlockType::kFree;
    std::uint32_t units = 0;
    memo::TSingleBlockHeader single;  // single-value blocks
    std::size_t firstEntry = 0;       // shared blocks: index into entries_
    std::uint64_t referred = 0;       // a bit per entry (bit 0: a single value)
  };

  void Walk(env::TFile& file);
  void Stop(std::uint64_t offset, const std::string& why);
  void Mark(TBlock& block, unsigned bit);

  std::uint64_t size_ = 0;
  std::uint64_t walkedTo_ = 0;
  std::string stopReason_;
  std::vector<TBlock> blocks_;  // in file order
  std::vector<memo::TSubEntry> entries_;
  std::size_t sharedReferences_ = 0;
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOBLOCKMAP_H_
