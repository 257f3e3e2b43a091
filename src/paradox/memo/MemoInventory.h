// What a memo file (.MB) still holds, found without trusting it: a walk from
// block to block by type and length, and where the walk breaks (an unknown
// type, an impossible length, a zeroed unit), a probe of every following
// 4 KiB boundary for a block that is plausible on its own, from which the
// walk goes on. The header block is needed only for its constants; its
// counter and free-space hints are never used. The result lists every
// stored value found and every part of the file that could not be read.
// Nothing is written.
#ifndef REMDO_PARADOX_MEMO_MEMOINVENTORY_H_
#define REMDO_PARADOX_MEMO_MEMOINVENTORY_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "paradox/format/BlobDescriptor.h"

namespace remdo::paradox {

// One value stored in the file: a single-value block (slot 0xFF) or an
// entry (slot 0 to 63) of a shared block.
struct TStoredValue {
  std::uint32_t blockOffset = 0;
  std::uint8_t slot = 0;
  std::uint32_t length = 0;
  std::uint16_t modification = 0;
  std::uint64_t dataOffset = 0;  // where its bytes start in the file
  std::uint64_t firstBytesAt = 0;  // into the inventory's first-bytes store
  std::uint16_t firstBytesSize = 0;
};

// A part of the file that holds no readable block, or a block whose
// entries are partly damaged.
struct TUnreadableRegion {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::string reason;
};

class TMemoInventory {
 public:
  // The first bytes kept of each value: the longest leader (240 bytes)
  // after a graphic or OLE value's 8-byte prefix.
  static constexpr std::size_t kFirstBytes = 248;

  // Reads the file, keeping up to firstBytesKept (at most kFirstBytes) of
  // each value's first bytes: a caller whose leaders are short keeps less
  // of a large file in memory. Throws only the file's read errors.
  explicit TMemoInventory(env::TFile& file, std::size_t firstBytesKept = kFirstBytes);

  std::uint64_t FileSize() const { return size_; }
  // Whether the header block lacks its type, length or constants (the file
  // is still read; a file shorter than one unit counts as damaged too).
  bool HeaderDamaged() const { return headerDamaged_; }
  // In file order.
  const std::vector<TStoredValue>& Values() const { return values_; }
  const std::vector<TUnreadableRegion>& Unreadable() const { return unreadable_; }
  // Whether the file needs no salvage: a sound header, nothing unreadable.
  bool Sound() const { return !headerDamaged_ && unreadable_.empty(); }

  // The value at this block and slot; nullptr when none was found there.
  const TStoredValue* Find(std::uint32_t blockOffset, std::uint8_t slot) const;
  // The first bytes of a value (up to kFirstBytes).
  std::span<const std::byte> FirstBytes(const TStoredValue& value) const;

 private:
  // What one block start turned out to be.
  struct TBlockStart {
    bool readable = false;
    std::uint32_t units = 0;  // how far the walk goes on
    std::string why;          // why it is not readable
  };

  void Walk(env::TFile& file);
  TBlockStart Examine(env::TFile& file, std::uint64_t offset, bool keep);
  bool Plausible(env::TFile& file, std::uint64_t offset);
  TBlockStart ExamineSingle(std::uint64_t offset, std::span<const std::byte> unit, bool keep);
  TBlockStart ExamineShared(std::uint64_t offset, std::span<const std::byte> unit, bool keep);
  void Keep(TStoredValue value, std::span<const std::byte> firstBytes);

  std::uint64_t size_ = 0;
  std::size_t firstBytesKept_ = kFirstBytes;
  bool headerDamaged_ = false;
  std::vector<TStoredValue> values_;
  std::vector<TUnreadableRegion> unreadable_;
  // The values' first bytes, in chunks that are filled and never moved (a
  // large file's would otherwise be copied each time one store grows).
  static constexpr std::size_t kFirstBytesChunk = std::size_t{1} << 20;
  std::vector<std::vector<std::byte>> firstBytes_;
};

// The whole bytes of a value the inventory found. Throws EReadError, and
// EDBEngineError (MEMOCORRUPT) when the file has become shorter.
std::vector<std::byte> ReadStoredValue(env::TFile& file, const TStoredValue& value);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_MEMO_MEMOINVENTORY_H_
