// The structures of a memo file (.MB): the header block, the header of a
// single-blob block, the entries of a suballocated block, and the format
// constants. Every structure reads and writes itself from bytes; the layout
// is described in MemoFormat.cpp.
#ifndef REMDO_PARADOX_FORMAT_MEMOFORMAT_H_
#define REMDO_PARADOX_FORMAT_MEMOFORMAT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace remdo::paradox::memo {

// The file is a sequence of 4 KiB units; every block starts on one.
constexpr std::uint32_t kUnit = 4096;
// Values up to this length share suballocated blocks; longer ones get a
// block of their own.
constexpr std::uint32_t kSubAllocThreshold = 2048;
// Suballocated blocks: 64 entries of 5 bytes from offset 12, data in 16-byte
// chunks 21 to 255 (offsets 0x150 to 0xFFF).
constexpr std::size_t kEntryCount = 64;
constexpr std::size_t kEntryTable = 12;
constexpr std::size_t kEntrySize = 5;
constexpr std::uint32_t kChunk = 16;
constexpr std::uint32_t kFirstDataChunk = 21;
constexpr std::uint32_t kChunksPerBlock = kUnit / kChunk;
constexpr std::uint32_t kDataChunks = kChunksPerBlock - kFirstDataChunk;
// Single-blob blocks: the value starts after a 9-byte block header.
constexpr std::uint32_t kSingleHeaderSize = 9;
// The largest number of 4 KiB units a block header can state.
constexpr std::uint32_t kMaxBlockUnits = 0xFFFF;
// Free-space hints kept in the header block.
constexpr std::size_t kMaxHints = 10;

enum class TBlockType : std::uint8_t {
  kHeader = 0,
  kSingle = 2,
  kSubAllocated = 3,
  kFree = 4,
};

// What a free-space hint points at.
enum class THintKind : std::uint8_t {
  kSubAllocated = 2,  // a suballocated block with free chunks (amount: chunks)
  kFree = 3,          // a free block (amount: 4 KiB units)
};

struct TFreeHint {
  std::uint32_t blockOffset = 0;
  THintKind kind = THintKind::kFree;
  std::uint16_t amount = 0;

  friend bool operator==(const TFreeHint&, const TFreeHint&) = default;
};

// The header block at offset 0.
struct THeaderBlock {
  static constexpr std::size_t kSize = kUnit;
  std::uint16_t modificationCounter = 1;
  std::vector<TFreeHint> hints;  // at most kMaxHints

  // Writes all 4096 bytes.
  void EncodeTo(std::byte* p) const;
  // Writes only the counter and the hints into an existing header, keeping
  // its other bytes.
  void PatchInto(std::byte* p) const;
  // Reads the counter and the hints; the caller has checked the type byte.
  static THeaderBlock DecodeFrom(const std::byte* p);
  // Whether the first kConstantsEnd bytes carry the type, the length and
  // the constants every header holds; the counter and the hints may be
  // anything.
  static bool HasConstants(const std::byte* p);
  static constexpr std::size_t kConstantsEnd = 0x15;
};

// The first 9 bytes of a single-blob block; the value follows.
struct TSingleBlockHeader {
  static constexpr std::size_t kSize = kSingleHeaderSize;
  std::uint16_t units = 0;
  std::uint32_t length = 0;
  std::uint16_t modification = 0;

  void EncodeTo(std::byte* p) const;
  static TSingleBlockHeader DecodeFrom(const std::byte* p);
};

// One entry of a suballocated block's table.
struct TSubEntry {
  static constexpr std::size_t kSize = kEntrySize;
  std::uint8_t firstChunk = 0;  // 0 = entry not in use
  std::uint8_t chunks = 0;
  std::uint16_t modification = 0;
  std::uint8_t lastChunkBytes = 0;  // 1 to 16

  bool InUse() const { return firstChunk != 0; }
  std::uint32_t Length() const;
  // Whether the entry's chunks lie inside the data area and its byte count
  // is possible.
  bool IsWellFormed() const;

  void EncodeTo(std::byte* p) const;
  static TSubEntry DecodeFrom(const std::byte* p);
};

// The chunks a value of this length occupies (at least 1).
std::uint32_t ChunksFor(std::uint32_t length);
// The 4 KiB units a single-blob block for a value of this length occupies.
std::uint32_t UnitsForSingle(std::uint32_t length);

// Writes the first 3 bytes shared by every block: its type and its units.
void EncodeBlockStart(std::byte* p, TBlockType type, std::uint16_t units);

}  // namespace remdo::paradox::memo

#endif  // REMDO_PARADOX_FORMAT_MEMOFORMAT_H_
