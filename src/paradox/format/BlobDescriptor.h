// The blob reference inside a record. A blob field (memo, binary, formatted
// memo, OLE, graphic) of width w holds a leader of w - 10 bytes, a copy of
// the value's first bytes, followed by the 10-byte descriptor that tells
// where the whole value lives: in the record alone (short values), in an
// entry of a suballocated block of the memo file, or in a block of its own.
#ifndef REMDO_PARADOX_FORMAT_BLOBDESCRIPTOR_H_
#define REMDO_PARADOX_FORMAT_BLOBDESCRIPTOR_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace remdo::paradox {

// The kinds of blob field, with their field type codes.
enum class TBlobKind : std::uint8_t {
  kMemo = 12,
  kBinary = 13,
  kFormattedMemo = 14,
  kOle = 15,
  kGraphic = 16,
};

// The blob kind of a field type code; nothing for every other type.
std::optional<TBlobKind> BlobKindOf(std::uint8_t fieldType);

// Graphic and OLE values begin with an 8-byte prefix (a 4-byte tag and the
// payload length) that is part of the stored value and counts in its length;
// the leader copies the payload after it.
constexpr std::size_t kBlobPrefixSize = 8;
bool HasBlobPrefix(TBlobKind kind);

// The bytes a leader copies: the value itself, or for graphic and OLE values
// the payload after the prefix (empty when the value is shorter than it).
std::span<const std::byte> BlobPayload(TBlobKind kind, std::span<const std::byte> value);

class TBlobDescriptor {
 public:
  static constexpr std::size_t kSize = 10;
  // The index byte of a value that has a memo block of its own.
  static constexpr std::uint8_t kSingleBlockIndex = 0xFF;
  // Entries of a suballocated block are numbered 0 to 63.
  static constexpr std::uint8_t kMaxEntryIndex = 63;

  std::uint32_t blockOffset = 0;   // memo-file offset of the block; 0 = none
  std::uint8_t index = 0;          // 0xFF single block, 0-63 entry number
  std::uint32_t length = 0;        // length of the whole value in bytes
  std::uint16_t modification = 0;  // stamp repeated from the memo file; 0 = none

  // Reads and writes the 10 little-endian bytes.
  static TBlobDescriptor DecodeFrom(const std::byte* p);
  void EncodeTo(std::byte* p) const;

  // No value at all (the whole field is zero).
  bool IsBlank() const { return length == 0; }
  // The value lives in the leader alone; the memo file is not needed.
  bool IsLeaderOnly() const { return length != 0 && blockOffset == 0 && index == 0; }
  bool IsSingleBlock() const { return index == kSingleBlockIndex; }

  friend bool operator==(const TBlobDescriptor&, const TBlobDescriptor&) = default;
};

// Decodes the descriptor at the end of a blob field. Throws EDBEngineError
// (MEMOCORRUPT) when the field is shorter than a descriptor.
TBlobDescriptor DescriptorOfField(std::span<const std::byte> field);

// The leader size of a blob field of this width (width - 10). Throws
// EDBEngineError (MEMOCORRUPT) for a width below 10.
std::size_t LeaderSizeOf(std::size_t fieldWidth);

// Whether a value of this kind and length lives in the record alone: a
// non-empty memo, binary or formatted-memo value no longer than the leader.
// Graphic and OLE values always go to the memo file, so that their prefix
// is kept and their leader shows the payload.
bool FitsInLeader(TBlobKind kind, std::size_t length, std::size_t leaderSize);

// Fills a blob field: the leader with the first bytes of the value's payload
// (zero padded) and the descriptor. Throws like LeaderSizeOf.
void EncodeBlobField(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value,
                     const TBlobDescriptor& descriptor);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_BLOBDESCRIPTOR_H_
