// Memo file layout. The file is a sequence of 4 KiB units; its length is a
// multiple of 4096. Each block starts with a type byte and a u16 length in
// units. All numbers are little-endian.
//
// Header block (offset 0, one unit):
//   00 u8  0 (header)          01 u16 1 (units)
//   03 u16 modification counter: the stamp the next stored value gets
//   05     82 73 02 00 29 00   0B u16 0x1000   0D u16 0x1000   0F u8 0
//   10 u8  0x10 (chunk size)   11 u16 0x40 (entries per suballocated block)
//   13 u16 0x0800 (largest suballocated value)
//   29 u16 0x02A1
//   38     free-space hints, 6 bytes each, ended by a zero one:
//          u32 block offset | kind (2 = suballocated block with free
//          chunks, 3 = free block), u16 amount (free 16-byte chunks or
//          free units)
//
// Single-blob block (type 2), for values longer than 2048 bytes:
//   00 u8 2   01 u16 units = ceil((9 + length) / 4096)
//   03 u32 length   07 u16 modification number   09 the value
//
// Suballocated block (type 3, one unit), for values up to 2048 bytes:
//   00 u8 3   01 u16 1   03 nine bytes of no known meaning (written 0)
//   0C 64 entries of 5 bytes: u8 first chunk (offset / 16; 0 = unused),
//      u8 chunks, u16 modification number, u8 bytes used in the last chunk
//   0x150 data area: chunks 21 to 255
//   Entries are handed out from 63 downwards; a value's length is
//   (chunks - 1) * 16 + bytes in the last chunk.
//
// Free block (type 4): 00 u8 4, 01 u16 units; the rest is stale.
#include "paradox/format/MemoFormat.h"

#include <algorithm>
#include <cstring>

#include "paradox/codes/Coding.h"

namespace remdo::paradox::memo {

namespace {

constexpr std::size_t kCounterAt = 0x03;
constexpr std::size_t kHintsAt = 0x38;
constexpr std::size_t kHintSize = 6;

// The constant part of the header from offset 5 to 0x14, as every engine
// file carries it.
constexpr unsigned char kHeaderConstants[] = {0x82, 0x73, 0x02, 0x00, 0x29, 0x00, 0x00, 0x10,
                                              0x00, 0x10, 0x00, 0x10, 0x40, 0x00, 0x00, 0x08};
constexpr std::size_t kHeaderConstantsAt = 0x05;
constexpr std::size_t kSignatureAt = 0x29;
constexpr std::uint16_t kSignature = 0x02A1;

}  // namespace

void THeaderBlock::EncodeTo(std::byte* p) const {
  std::memset(p, 0, kSize);
  EncodeBlockStart(p, TBlockType::kHeader, 1);
  for (std::size_t i = 0; i < sizeof kHeaderConstants; ++i) {
    p[kHeaderConstantsAt + i] = static_cast<std::byte>(kHeaderConstants[i]);
  }
  PutU16(p + kSignatureAt, kSignature);
  PatchInto(p);
}

void THeaderBlock::PatchInto(std::byte* p) const {
  PutU16(p + kCounterAt, modificationCounter);
  // Clear the hint area and one terminating entry.
  std::memset(p + kHintsAt, 0, (kMaxHints + 1) * kHintSize);
  const std::size_t count = std::min(hints.size(), kMaxHints);
  for (std::size_t i = 0; i < count; ++i) {
    std::byte* h = p + kHintsAt + i * kHintSize;
    PutU32(h, hints[i].blockOffset | static_cast<std::uint8_t>(hints[i].kind));
    PutU16(h + 4, hints[i].amount);
  }
}

THeaderBlock THeaderBlock::DecodeFrom(const std::byte* p) {
  THeaderBlock header;
  header.modificationCounter = GetU16(p + kCounterAt);
  for (std::size_t i = 0; i < kMaxHints; ++i) {
    const std::byte* h = p + kHintsAt + i * kHintSize;
    const std::uint32_t where = GetU32(h);
    if (where == 0) break;
    const auto kind = static_cast<std::uint8_t>(where & 0xFF);
    // Engine files also keep entries of other kinds; only the two known
    // ones are of use.
    if (kind != static_cast<std::uint8_t>(THintKind::kSubAllocated) &&
        kind != static_cast<std::uint8_t>(THintKind::kFree)) {
      continue;
    }
    header.hints.push_back({where & ~std::uint32_t{0xFF}, static_cast<THintKind>(kind), GetU16(h + 4)});
  }
  return header;
}

bool THeaderBlock::HasConstants(const std::byte* p) {
  // The signature at 0x29 is not checked: other writers leave it zero.
  if (p[0] != std::byte{0} || GetU16(p + 1) != 1) return false;
  for (std::size_t i = 0; i < sizeof kHeaderConstants; ++i) {
    if (p[kHeaderConstantsAt + i] != static_cast<std::byte>(kHeaderConstants[i])) return false;
  }
  return true;
}

void TSingleBlockHeader::EncodeTo(std::byte* p) const {
  EncodeBlockStart(p, TBlockType::kSingle, units);
  PutU32(p + 3, length);
  PutU16(p + 7, modification);
}

TSingleBlockHeader TSingleBlockHeader::DecodeFrom(const std::byte* p) {
  return {GetU16(p + 1), GetU32(p + 3), GetU16(p + 7)};
}

std::uint32_t TSubEntry::Length() const {
  return chunks == 0 ? 0 : (std::uint32_t{chunks} - 1) * kChunk + lastChunkBytes;
}

bool TSubEntry::IsWellFormed() const {
  return firstChunk >= kFirstDataChunk && chunks != 0 && std::uint32_t{firstChunk} + chunks <= kChunksPerBlock &&
         lastChunkBytes >= 1 && lastChunkBytes <= kChunk;
}

void TSubEntry::EncodeTo(std::byte* p) const {
  p[0] = static_cast<std::byte>(firstChunk);
  p[1] = static_cast<std::byte>(chunks);
  PutU16(p + 2, modification);
  p[4] = static_cast<std::byte>(lastChunkBytes);
}

TSubEntry TSubEntry::DecodeFrom(const std::byte* p) {
  return {std::to_integer<std::uint8_t>(p[0]), std::to_integer<std::uint8_t>(p[1]), GetU16(p + 2),
          std::to_integer<std::uint8_t>(p[4])};
}

std::uint32_t ChunksFor(std::uint32_t length) { return length == 0 ? 1 : (length + kChunk - 1) / kChunk; }

std::uint32_t UnitsForSingle(std::uint32_t length) {
  return static_cast<std::uint32_t>((std::uint64_t{length} + kSingleHeaderSize + kUnit - 1) / kUnit);
}

void EncodeBlockStart(std::byte* p, TBlockType type, std::uint16_t units) {
  p[0] = static_cast<std::byte>(type);
  PutU16(p + 1, units);
}

}  // namespace remdo::paradox::memo
