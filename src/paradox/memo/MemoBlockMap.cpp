// The walk reads only the start of each block: the type and length in units,
// the 9-byte header of a single-value block, the entry table of a shared
// block. Values themselves are never read.
#include "paradox/memo/MemoBlockMap.h"

#include <algorithm>
#include <array>

#include "paradox/memo/MemoFile.h"

namespace remdo::paradox {

namespace {

using memo::TBlockType;

constexpr std::size_t kEntryTableEnd = memo::kEntryTable + memo::kEntryCount * memo::kEntrySize;
// References hold 32-bit offsets: no block beyond this can be referred to.
constexpr std::uint64_t kLastReachable = 0xFFFFF000u;

std::string Offset(std::uint64_t offset) { return "offset " + std::to_string(offset); }

}  // namespace

TMemoBlockMap::TMemoBlockMap(env::TFile& file) {
  size_ = CheckMemoHeader(file);
  Walk(file);
}

void TMemoBlockMap::Stop(std::uint64_t offset, const std::string& why) {
  walkedTo_ = offset;
  stopReason_ = why;
}

void TMemoBlockMap::Walk(env::TFile& file) {
  std::uint64_t offset = memo::kUnit;
  std::array<std::byte, kEntryTableEnd> raw{};
  while (offset < size_) {
    if (offset > kLastReachable) return Stop(offset, "the file is larger than a reference can reach");
    if (offset + memo::kUnit > size_) return Stop(offset, "the file ends inside the block at " + Offset(offset));
    const std::size_t got = file.ReadAt(offset, raw);
    const auto type = std::to_integer<std::uint8_t>(raw[0]);
    const std::uint32_t units = std::to_integer<std::uint32_t>(raw[1]) | (std::to_integer<std::uint32_t>(raw[2]) << 8);
    const bool known = type == static_cast<std::uint8_t>(TBlockType::kSingle) ||
                       type == static_cast<std::uint8_t>(TBlockType::kFree) ||
                       type == static_cast<std::uint8_t>(TBlockType::kSubAllocated);
    if (got < raw.size() || !known) {
      return Stop(offset, "the block at " + Offset(offset) + " is of unknown type " + std::to_string(type));
    }
    if (units == 0 || (type == static_cast<std::uint8_t>(TBlockType::kSubAllocated) && units != 1)) {
      return Stop(offset, "the block at " + Offset(offset) + " states an impossible length");
    }
    if (offset + std::uint64_t{units} * memo::kUnit > size_) {
      return Stop(offset, "the block at " + Offset(offset) + " runs past the end of the file");
    }
    TBlock block{static_cast<std::uint32_t>(offset), static_cast<TBlockType>(type), units, {}, entries_.size(), 0};
    if (block.type == TBlockType::kSingle) block.single = memo::TSingleBlockHeader::DecodeFrom(raw.data());
    if (block.type == TBlockType::kSubAllocated) {
      for (std::size_t i = 0; i < memo::kEntryCount; ++i) {
        entries_.push_back(memo::TSubEntry::DecodeFrom(raw.data() + memo::kEntryTable + i * memo::kEntrySize));
      }
    }
    blocks_.push_back(block);
    offset += std::uint64_t{units} * memo::kUnit;
  }
  walkedTo_ = size_;
}

void TMemoBlockMap::Mark(TBlock& block, unsigned bit) {
  const std::uint64_t mask = std::uint64_t{1} << bit;
  if ((block.referred & mask) != 0) ++sharedReferences_;
  block.referred |= mask;
}

TMemoReferenceFault TMemoBlockMap::Refer(const TBlobDescriptor& d) {
  using F = TMemoReferenceFault;
  if (!d.IsSingleBlock() && d.index > TBlobDescriptor::kMaxEntryIndex) return F::kNotBlockStart;
  if (d.blockOffset < memo::kUnit) return F::kIntoHeader;
  if (d.blockOffset >= size_) return F::kOutsideFile;
  if (d.blockOffset >= walkedTo_) return F::kUnwalked;
  const auto it = std::lower_bound(blocks_.begin(), blocks_.end(), d.blockOffset,
                                   [](const TBlock& b, std::uint32_t offset) { return b.offset < offset; });
  if (it == blocks_.end() || it->offset != d.blockOffset) return F::kNotBlockStart;
  TBlock& block = *it;
  const TBlockType wanted = d.IsSingleBlock() ? TBlockType::kSingle : TBlockType::kSubAllocated;
  if (block.type != wanted) return F::kWrongBlockType;
  std::uint32_t length = 0;
  std::uint16_t modification = 0;
  if (d.IsSingleBlock()) {
    if (memo::UnitsForSingle(block.single.length) > block.units) return F::kPastBlock;
    length = block.single.length;
    modification = block.single.modification;
  } else {
    const memo::TSubEntry& entry = entries_[block.firstEntry + d.index];
    if (!entry.InUse()) return F::kEntryEmpty;
    if (!entry.IsWellFormed()) return F::kPastBlock;
    length = entry.Length();
    modification = entry.modification;
  }
  Mark(block, d.IsSingleBlock() ? 0 : d.index);
  if (length != d.length) return F::kLengthDiffers;
  if (modification != d.modification) return F::kStale;
  return F::kNone;
}

std::vector<TMemoBlockMap::TValue> TMemoBlockMap::Unreferenced() const {
  std::vector<TValue> values;
  for (const TBlock& block : blocks_) {
    if (block.type == TBlockType::kSingle && block.referred == 0) {
      values.push_back({block.offset, TBlobDescriptor::kSingleBlockIndex});
    }
    if (block.type != TBlockType::kSubAllocated) continue;
    for (unsigned i = 0; i < memo::kEntryCount; ++i) {
      if (entries_[block.firstEntry + i].InUse() && (block.referred & (std::uint64_t{1} << i)) == 0) {
        values.push_back({block.offset, static_cast<std::uint8_t>(i)});
      }
    }
  }
  return values;
}

}  // namespace remdo::paradox
