// The blob descriptor of a record's blob field. Layout of a field of width w
// (control numbers little-endian, unlike the other field values):
//
//   0        leader, w - 10 bytes: the first bytes of the value's payload,
//            zero padded when the value is shorter
//   w-10 u32 block offset | index: the block's file offset (a multiple of
//            4096, so its low byte is free) or'ed with 0xFF for a value with
//            a block of its own, or with the entry number 0-63 of a
//            suballocated block; 0 when the value lives in the leader alone
//   w-6  u32 length of the value in bytes; 0 = blank
//   w-2  u16 modification number of the stored value; 0 in the leader-only
//            and blank forms
#include "paradox/format/BlobDescriptor.h"

#include <algorithm>
#include <string>

#include "env/Errors.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"

namespace remdo::paradox {

std::optional<TBlobKind> BlobKindOf(std::uint8_t fieldType) {
  if (fieldType < static_cast<std::uint8_t>(TBlobKind::kMemo) ||
      fieldType > static_cast<std::uint8_t>(TBlobKind::kGraphic)) {
    return std::nullopt;
  }
  return static_cast<TBlobKind>(fieldType);
}

bool HasBlobPrefix(TBlobKind kind) { return kind == TBlobKind::kOle || kind == TBlobKind::kGraphic; }

std::span<const std::byte> BlobPayload(TBlobKind kind, std::span<const std::byte> value) {
  if (!HasBlobPrefix(kind)) return value;
  return value.size() <= kBlobPrefixSize ? value.subspan(value.size()) : value.subspan(kBlobPrefixSize);
}

TBlobDescriptor TBlobDescriptor::DecodeFrom(const std::byte* p) {
  TBlobDescriptor d;
  const std::uint32_t where = GetU32(p);
  d.blockOffset = where & ~std::uint32_t{0xFF};
  d.index = static_cast<std::uint8_t>(where & 0xFF);
  d.length = GetU32(p + 4);
  d.modification = GetU16(p + 8);
  return d;
}

void TBlobDescriptor::EncodeTo(std::byte* p) const {
  PutU32(p, (blockOffset & ~std::uint32_t{0xFF}) | index);
  PutU32(p + 4, length);
  PutU16(p + 8, modification);
}

std::size_t LeaderSizeOf(std::size_t fieldWidth) {
  if (fieldWidth < TBlobDescriptor::kSize) {
    throw env::EDBEngineError(kDbiErrMemoCorrupt, "A blob field of " + std::to_string(fieldWidth) +
                                                      " bytes is too short to hold its memo reference");
  }
  return fieldWidth - TBlobDescriptor::kSize;
}

TBlobDescriptor DescriptorOfField(std::span<const std::byte> field) {
  const std::size_t leader = LeaderSizeOf(field.size());
  return TBlobDescriptor::DecodeFrom(field.data() + leader);
}

bool FitsInLeader(TBlobKind kind, std::size_t length, std::size_t leaderSize) {
  return !HasBlobPrefix(kind) && length != 0 && length <= leaderSize;
}

void EncodeBlobField(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value,
                     const TBlobDescriptor& descriptor) {
  const std::size_t leader = LeaderSizeOf(field.size());
  const auto payload = BlobPayload(kind, value);
  const std::size_t copied = std::min(leader, payload.size());
  std::copy_n(payload.begin(), copied, field.begin());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(copied), field.begin() + static_cast<std::ptrdiff_t>(leader),
            std::byte{0});
  descriptor.EncodeTo(field.data() + leader);
}

}  // namespace remdo::paradox
