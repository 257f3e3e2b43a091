// The walk reads each block's first unit: the type and length, a single
// value's 9-byte header and first bytes, a shared block's entry table and
// data area. A block is taken on two standards. Met on the walk (its start
// follows from the block before), it needs only to be possible: a known
// type, a length inside the file, a single value's units covering it. Met
// by a probe after a break, it must look as the engine writes it: a single
// block exactly as long as its value needs, with a modification number; a
// shared block with at least one entry and all entries well formed and
// apart; a free block followed by a block of either kind or the end.
#include "paradox/memo/MemoInventory.h"

#include <algorithm>
#include <array>

#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/format/MemoFormat.h"
#include "paradox/memo/MemoFile.h"

namespace remdo::paradox {

namespace {

using memo::TBlockType;

// References hold 32-bit offsets: no block beyond this can be referred to.
constexpr std::uint64_t kLastReachable = 0xFFFFF000u;

std::string At(std::uint64_t offset) { return " at offset " + std::to_string(offset); }

// The shared block's entries that are in use, well formed or not.
struct TEntries {
  std::array<memo::TSubEntry, memo::kEntryCount> all{};
  unsigned inUse = 0;
  unsigned damaged = 0;      // in use but not well formed
  bool overlapping = false;  // two well-formed entries share chunks
};

TEntries ReadEntries(std::span<const std::byte> unit) {
  TEntries entries;
  std::array<std::uint8_t, memo::kChunksPerBlock> owner{};
  for (std::size_t i = 0; i < memo::kEntryCount; ++i) {
    const memo::TSubEntry e = memo::TSubEntry::DecodeFrom(unit.data() + memo::kEntryTable + i * memo::kEntrySize);
    entries.all[i] = e;
    if (!e.InUse()) continue;
    ++entries.inUse;
    if (!e.IsWellFormed()) {
      ++entries.damaged;
      continue;
    }
    for (std::uint32_t c = e.firstChunk; c < std::uint32_t{e.firstChunk} + e.chunks; ++c) {
      if (owner[c] != 0) entries.overlapping = true;
      owner[c] = 1;
    }
  }
  return entries;
}

}  // namespace

TMemoInventory::TMemoInventory(env::TFile& file, std::size_t firstBytesKept)
    : size_(file.Size()), firstBytesKept_(std::min(firstBytesKept, kFirstBytes)) {
  std::array<std::byte, memo::THeaderBlock::kConstantsEnd> header{};
  headerDamaged_ = size_ < memo::kUnit || file.ReadAt(0, header) < header.size() ||
                   !memo::THeaderBlock::HasConstants(header.data());
  if (size_ < memo::kUnit) {
    if (size_ > 0) unreadable_.push_back({0, size_, "the file is shorter than its header block"});
    return;
  }
  Walk(file);
}

void TMemoInventory::Walk(env::TFile& file) {
  std::uint64_t offset = memo::kUnit;
  while (offset < size_) {
    if (offset > kLastReachable) {
      unreadable_.push_back({offset, size_ - offset, "the file goes on past what a reference can reach"});
      return;
    }
    const TBlockStart block = Examine(file, offset, /*keep=*/true);
    if (block.readable) {
      offset += std::uint64_t{block.units} * memo::kUnit;
      continue;
    }
    std::uint64_t next = offset + memo::kUnit;
    while (next < size_ && next <= kLastReachable && !Plausible(file, next)) next += memo::kUnit;
    next = std::min(next, size_);
    unreadable_.push_back({offset, next - offset, block.why});
    offset = next;
  }
}

bool TMemoInventory::Plausible(env::TFile& file, std::uint64_t offset) {
  const TBlockStart block = Examine(file, offset, /*keep=*/false);
  if (!block.readable) return false;
  std::array<std::byte, 1> type{};
  (void)file.ReadAt(offset, type);
  if (type[0] != static_cast<std::byte>(TBlockType::kFree)) return true;
  // A free block's start is two bytes of little meaning; the block after it
  // must be one of the engine's own (free blocks next to each other are
  // merged, so it is not another free one).
  const std::uint64_t end = offset + std::uint64_t{block.units} * memo::kUnit;
  if (end >= size_) return end == size_;
  (void)file.ReadAt(end, type);
  return type[0] != static_cast<std::byte>(TBlockType::kFree) && Examine(file, end, false).readable;
}

TMemoInventory::TBlockStart TMemoInventory::Examine(env::TFile& file, std::uint64_t offset, bool keep) {
  std::array<std::byte, memo::kUnit> raw{};
  const std::size_t got = file.ReadAt(offset, raw);
  const std::span<const std::byte> unit(raw.data(), got);
  if (got < 3) return {false, 0, "the file ends" + At(offset)};
  const auto type = std::to_integer<std::uint8_t>(raw[0]);
  const std::uint32_t units = GetU16(raw.data() + 1);
  if (units == 0) return {false, 0, "the block" + At(offset) + " states no length"};
  switch (static_cast<TBlockType>(type)) {
    case TBlockType::kSingle:
      return ExamineSingle(offset, unit, keep);
    case TBlockType::kSubAllocated:
      return ExamineShared(offset, unit, keep);
    case TBlockType::kFree:
      if (offset + std::uint64_t{units} * memo::kUnit > size_) {
        return {false, 0, "the free block" + At(offset) + " runs past the end of the file"};
      }
      return {true, units, {}};
    default:
      return {false, 0, "the block" + At(offset) + " is of unknown type " + std::to_string(type)};
  }
}

TMemoInventory::TBlockStart TMemoInventory::ExamineSingle(std::uint64_t offset, std::span<const std::byte> unit,
                                                          bool keep) {
  if (unit.size() < memo::kSingleHeaderSize) return {false, 0, "the file ends inside the block" + At(offset)};
  const memo::TSingleBlockHeader header = memo::TSingleBlockHeader::DecodeFrom(unit.data());
  const std::uint32_t needed = memo::UnitsForSingle(header.length);
  if (header.length == 0 || header.units < needed) {
    return {false, 0, "the single-value block" + At(offset) + " states a length its block cannot hold"};
  }
  if (!keep && (header.units != needed || header.modification == 0)) return {false, 0, {}};
  if (offset + memo::kSingleHeaderSize + header.length > size_) {
    return {false, 0, "the file ends inside the value" + At(offset)};
  }
  if (keep) {
    const std::size_t first = std::min<std::size_t>(kFirstBytes, header.length);
    Keep({static_cast<std::uint32_t>(offset), TBlobDescriptor::kSingleBlockIndex, header.length,
          header.modification, offset + memo::kSingleHeaderSize},
         unit.subspan(memo::kSingleHeaderSize, std::min(first, unit.size() - memo::kSingleHeaderSize)));
  }
  // A block longer than its value needs is walked past by the value's own
  // length: a damaged unit count must not hide the blocks after it.
  return {true, needed, {}};
}

TMemoInventory::TBlockStart TMemoInventory::ExamineShared(std::uint64_t offset, std::span<const std::byte> unit,
                                                          bool keep) {
  if (GetU16(unit.data() + 1) != 1) return {false, 0, "the shared block" + At(offset) + " states a wrong length"};
  if (unit.size() < memo::kUnit) return {false, 0, "the file ends inside the shared block" + At(offset)};
  const TEntries entries = ReadEntries(unit);
  if (!keep) return {entries.inUse > 0 && entries.damaged == 0 && !entries.overlapping, 1, {}};
  for (std::size_t i = 0; i < memo::kEntryCount; ++i) {
    const memo::TSubEntry& e = entries.all[i];
    if (!e.InUse() || !e.IsWellFormed()) continue;
    const std::uint32_t start = std::uint32_t{e.firstChunk} * memo::kChunk;
    Keep({static_cast<std::uint32_t>(offset), static_cast<std::uint8_t>(i), e.Length(), e.modification, offset + start},
         unit.subspan(start, std::min<std::size_t>(kFirstBytes, e.Length())));
  }
  if (entries.damaged > 0) {
    unreadable_.push_back({offset, memo::kUnit,
                           std::to_string(entries.damaged) + " entries of the shared block" + At(offset) +
                               " are damaged"});
  }
  return {true, 1, {}};
}

void TMemoInventory::Keep(TStoredValue value, std::span<const std::byte> firstBytes) {
  firstBytes = firstBytes.first(std::min(firstBytes.size(), firstBytesKept_));
  if (firstBytes_.empty() || firstBytes_.back().size() + firstBytes.size() > kFirstBytesChunk) {
    firstBytes_.emplace_back().reserve(kFirstBytesChunk);
  }
  std::vector<std::byte>& chunk = firstBytes_.back();
  value.firstBytesAt = (firstBytes_.size() - 1) * kFirstBytesChunk + chunk.size();
  value.firstBytesSize = static_cast<std::uint16_t>(firstBytes.size());
  chunk.insert(chunk.end(), firstBytes.begin(), firstBytes.end());
  values_.push_back(value);
}

const TStoredValue* TMemoInventory::Find(std::uint32_t blockOffset, std::uint8_t slot) const {
  const auto it = std::lower_bound(values_.begin(), values_.end(), std::pair{blockOffset, slot},
                                   [](const TStoredValue& v, const std::pair<std::uint32_t, std::uint8_t>& key) {
                                     return std::pair{v.blockOffset, v.slot} < key;
                                   });
  if (it == values_.end() || it->blockOffset != blockOffset || it->slot != slot) return nullptr;
  return &*it;
}

std::span<const std::byte> TMemoInventory::FirstBytes(const TStoredValue& value) const {
  return std::span(firstBytes_[value.firstBytesAt / kFirstBytesChunk])
      .subspan(value.firstBytesAt % kFirstBytesChunk, value.firstBytesSize);
}

std::vector<std::byte> ReadStoredValue(env::TFile& file, const TStoredValue& value) {
  std::vector<std::byte> bytes(value.length);
  if (file.ReadAt(value.dataOffset, bytes) < bytes.size()) {
    ThrowMemoError(kDbiErrMemoCorrupt, file.Path(), "the file ended while reading" + At(value.dataOffset));
  }
  return bytes;
}

}  // namespace remdo::paradox
