// In-place changes to a memo file. The walk of the file's blocks is made on
// the first change and kept up to date in memory (MemoSpace.h), so that no
// value written afterwards walks the file again. New blocks and the shared
// block being filled are batched (MemoWriteBack.h): a value costs a copy in
// memory, and the file gets a few writes per batch. Writes are ordered so
// that the file stays walkable after a crash at any point: the header of a
// split free block's remainder before the block carved from it (in a batch
// of its own), whole blocks in each write, the file growing without holes,
// the header block's hints last and only when they hold for the file.
#include "paradox/memo/MemoFileEditor.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "env/Errors.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"

namespace remdo::paradox {

namespace {

using memo::TBlockType;
using memo::TSubEntry;

constexpr std::uint64_t kLastBlockOffset = 0xFFFFF000u;
// The part of the header block that changes: counter and hints.
constexpr std::size_t kHeaderPatchSize = 0x80;

using TSharedBlock = std::array<std::byte, memo::kUnit>;

TSubEntry EntryAt(const std::byte* block, std::size_t index) {
  return TSubEntry::DecodeFrom(block + memo::kEntryTable + index * memo::kEntrySize);
}

void PutEntry(std::byte* block, std::size_t index, const TSubEntry& entry) {
  entry.EncodeTo(block + memo::kEntryTable + index * memo::kEntrySize);
}

using TBlockUse = TSharedBlockUse;

TBlockUse UseOf(const std::byte* block) {
  TBlockUse use;
  for (std::size_t i = 0; i < memo::kEntryCount; ++i) {
    const std::byte* at = block + memo::kEntryTable + i * memo::kEntrySize;
    if (at[0] == std::byte{0}) {
      ++use.freeEntries;
      use.highestFree = i;
      continue;
    }
    use.inUse = true;
    const TSubEntry e = TSubEntry::DecodeFrom(at);
    if (!e.IsWellFormed()) {
      use.sound = false;
      continue;
    }
    for (std::uint32_t c = e.firstChunk; c < std::uint32_t{e.firstChunk} + e.chunks; ++c) {
      use.sound = use.sound && !use.used[c];
      use.used[c] = true;
    }
  }
  return use;
}

// Room left in a shared block, judged from its entry table.
struct TRoom {
  std::uint32_t freeEntries = 0;
  std::uint32_t freeChunks = 0;
  bool inUse = false;
};

TRoom RoomOf(const TBlockUse& use) {
  if (!use.sound) return {0, 0, true};
  return {use.freeEntries, memo::kDataChunks - static_cast<std::uint32_t>(use.used.count()), use.inUse};
}

TRoom RoomOf(const std::byte* block) { return RoomOf(UseOf(block)); }

// The first run of free chunks of the given length, or 0 when there is none.
// The chunks' use is looked at 64 at a time: every small value asks.
std::uint32_t FindRun(const TBlockUse& use, std::uint32_t chunks) {
  constexpr std::uint32_t kWord = 64;
  static const std::bitset<memo::kChunksPerBlock> kLowWord(~std::uint64_t{0});
  std::array<std::uint64_t, memo::kChunksPerBlock / kWord> words{};
  for (std::size_t k = 0; k < words.size(); ++k) words[k] = ((use.used >> (kWord * k)) & kLowWord).to_ullong();
  // The first chunk from c that is in use (or free), else the block's end.
  const auto next = [&](std::uint32_t c, bool inUse) {
    while (c < memo::kChunksPerBlock) {
      const std::uint64_t word = inUse ? words[c / kWord] : ~words[c / kWord];
      const std::uint64_t ahead = word >> (c % kWord);
      if (ahead != 0) return c + static_cast<std::uint32_t>(std::countr_zero(ahead));
      c = (c / kWord + 1) * kWord;
    }
    return memo::kChunksPerBlock;
  };
  for (std::uint32_t c = next(memo::kFirstDataChunk, false); c < memo::kChunksPerBlock;) {
    const std::uint32_t end = next(c, true);
    if (end - c >= chunks) return c;
    c = next(end, false);
  }
  return 0;
}

// Moves the values of a shared block to the start of its data area, in
// their order, so that its free chunks form one run at the end. Entry
// numbers stay, so the records' references stay valid.
void Compact(std::byte* block) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < memo::kEntryCount; ++i) {
    if (EntryAt(block, i).InUse()) order.push_back(i);
  }
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return EntryAt(block, a).firstChunk < EntryAt(block, b).firstChunk; });
  std::uint32_t next = memo::kFirstDataChunk;
  for (const std::size_t i : order) {
    TSubEntry e = EntryAt(block, i);
    // Moving towards the start never overwrites a value not yet moved.
    std::copy_n(block + e.firstChunk * memo::kChunk, e.chunks * memo::kChunk, block + next * memo::kChunk);
    e.firstChunk = static_cast<std::uint8_t>(next);
    PutEntry(block, i, e);
    next += e.chunks;
  }
  std::fill(block + next * memo::kChunk, block + memo::kUnit, std::byte{0});
}

}  // namespace

TMemoFileEditor::TMemoFileEditor(env::TFileSystem& fileSystem, std::string path)
    : fileSystem_(fileSystem), path_(std::move(path)) {
  if (!fileSystem_.FileExists(path_)) {
    throw env::EDBEngineError(kDbiErrBlobFileMissing, "The memo file " + path_ + " is missing");
  }
  file_ = fileSystem_.Open(path_, env::TOpenMode::kReadWrite);
  size_ = CheckMemoHeader(*file_);
  file_->ReadAt(0, header_);
  counter_ = memo::THeaderBlock::DecodeFrom(header_.data()).modificationCounter;
}

TMemoFileEditor::~TMemoFileEditor() {
  // Values no record refers to yet; writing them only spares their space
  // from being taken again by whoever opens the file next.
  try {
    if (file_) WritePending();
  } catch (const env::ERemdoError&) {
  }
}

const std::string& TMemoFileEditor::Path() const { return path_; }

std::vector<std::byte> TMemoFileEditor::ReadField(std::span<const std::byte> field) {
  if (auto inRecord = ValueInRecord(field, path_)) return std::move(*inRecord);
  return ReadStored(TBlobDescriptor::DecodeFrom(field.data() + field.size() - TBlobDescriptor::kSize));
}

std::vector<std::byte> TMemoFileEditor::ReadStored(const TBlobDescriptor& descriptor) {
  if (pending_.Covers(descriptor.blockOffset, memo::kUnit)) WritePending();
  return ReadStoredBlob(File(), size_, descriptor);
}

void TMemoFileEditor::LoadBlocks() {
  if (loaded_) return;
  loaded_ = true;
  std::uint64_t offset = memo::kUnit;
  while (offset < size_) {
    std::array<std::byte, 3> start{};
    if (offset > kLastBlockOffset || offset + memo::kUnit > size_ || file_->ReadAt(offset, start) != start.size()) {
      break;
    }
    const auto type = std::to_integer<std::uint8_t>(start[0]);
    const std::uint32_t units =
        std::to_integer<std::uint32_t>(start[1]) | (std::to_integer<std::uint32_t>(start[2]) << 8);
    const bool known = type == static_cast<std::uint8_t>(TBlockType::kSingle) ||
                       type == static_cast<std::uint8_t>(TBlockType::kFree) ||
                       (type == static_cast<std::uint8_t>(TBlockType::kSubAllocated) && units == 1);
    if (!known || units == 0 || offset + std::uint64_t{units} * memo::kUnit > size_) break;
    TBlock block{static_cast<std::uint32_t>(offset), static_cast<TBlockType>(type), units};
    if (block.type == TBlockType::kSubAllocated) ScanShared(block);
    space_.Put(block);
    offset += std::uint64_t{units} * memo::kUnit;
  }
  walkedAll_ = offset == size_;
}

void TMemoFileEditor::ScanShared(TBlock& block) {
  // The entry table tells all; the values need not be read.
  TSharedBlock raw{};
  file_->ReadAt(block.offset,
                std::span<std::byte>(raw.data(), memo::kEntryTable + memo::kEntryCount * memo::kEntrySize));
  const TRoom room = RoomOf(raw.data());
  block.freeEntries = room.freeEntries;
  block.freeChunks = room.freeChunks;
}

std::uint16_t TMemoFileEditor::NextModification() {
  const std::uint16_t stamp = counter_ == 0 ? 1 : counter_;
  counter_ = stamp == 0xFFFF ? 1 : static_cast<std::uint16_t>(stamp + 1);
  return stamp;
}

TBlobDescriptor TMemoFileEditor::Store(TBlobKind kind, std::span<const std::byte> value, std::size_t leaderSize) {
  if (value.empty()) return {};
  if (value.size() > 0xFFFFFFFFu) {
    ThrowMemoError(kDbiErrInvalidBlobLen, path_, "a value of more than 4 GB cannot be stored");
  }
  const auto length = static_cast<std::uint32_t>(value.size());
  if (FitsInLeader(kind, length, leaderSize)) return {0, 0, length, 0};
  if (length > memo::kSubAllocThreshold && memo::UnitsForSingle(length) > memo::kMaxBlockUnits) {
    ThrowMemoError(kDbiErrInvalidBlobLen, path_,
                   "a value of " + std::to_string(length) + " bytes is longer than one memo block can hold");
  }
  (void)File();
  LoadBlocks();
  const std::uint16_t stamp = NextModification();
  return length <= memo::kSubAllocThreshold ? StoreShared(value, stamp) : StoreSingle(value, stamp);
}

void TMemoFileEditor::StoreToField(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value) {
  const TBlobDescriptor d = Store(kind, value, LeaderSizeOf(field.size()));
  EncodeBlobField(field, kind, value, d);
}

TBlobDescriptor TMemoFileEditor::StoreShared(std::span<const std::byte> value, std::uint16_t stamp) {
  const auto length = static_cast<std::uint32_t>(value.size());
  const std::uint32_t chunks = memo::ChunksFor(length);
  const auto fits = [&](const TBlock* b) {
    return b != nullptr && b->type == TBlockType::kSubAllocated && b->freeEntries > 0 && b->freeChunks >= chunks;
  };
  // The block the last small value went to, else the roomiest: if that one
  // cannot take the value, no shared block can. A block taken up here is
  // written whole; the kept one gets only the value's bytes and its entry.
  bool whole = !(currentKept_ && RoomOf(currentUse_).freeEntries > 0 && RoomOf(currentUse_).freeChunks >= chunks);
  // The kept bytes are another block's, or half changed, until the write.
  currentKept_ = false;
  std::byte* raw = currentBytes_.data();
  if (whole) {
    SettleRoom();
    const TBlock* target = space_.Find(current_);
    if (!fits(target)) target = space_.RoomiestShared();
    bool taken = false;
    if (fits(target)) {
      current_ = target->offset;
      ReadBlock(current_, currentBytes_);
      currentUse_ = UseOf(raw);
      // The picture may promise room the block no longer has (its file was
      // changed behind the editor's back): the value would land on the
      // block's header. The picture learns the real room; a new block takes
      // the value.
      const TRoom room = RoomOf(currentUse_);
      taken = room.freeEntries > 0 && room.freeChunks >= chunks;
      if (!taken) space_.Put({current_, TBlockType::kSubAllocated, 1, room.freeEntries, room.freeChunks});
    }
    if (!taken) {
      current_ = TakeSpace(1);
      currentBytes_.fill(std::byte{0});
      memo::EncodeBlockStart(raw, TBlockType::kSubAllocated, 1);
      currentUse_ = UseOf(raw);
    }
  }
  TBlockUse& use = currentUse_;
  const std::size_t entry = use.highestFree;
  std::uint32_t first = FindRun(use, chunks);
  if (first == 0) {
    Compact(raw);
    use = UseOf(raw);
    first = FindRun(use, chunks);
    whole = true;
  }
  const std::size_t valueAt = first * std::size_t{memo::kChunk};
  const std::size_t entryAt = memo::kEntryTable + entry * memo::kEntrySize;
  std::copy(value.begin(), value.end(), raw + valueAt);
  PutEntry(raw, entry,
           {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(chunks), stamp,
            static_cast<std::uint8_t>(length - (chunks - 1) * memo::kChunk)});
  if (whole) {
    Put(current_, currentBytes_);
  } else {
    // The value before the entry that names it.
    Put(current_ + valueAt, std::span<const std::byte>(raw + valueAt, length));
    Put(current_ + entryAt, std::span<const std::byte>(raw + entryAt, memo::kEntrySize));
  }
  for (std::uint32_t c = first; c < first + chunks; ++c) use.used[c] = true;
  --use.freeEntries;
  use.inUse = true;
  // The entries above the one taken are all in use.
  use.highestFree = memo::kEntryCount;
  for (std::size_t i = entry; use.freeEntries > 0 && i-- > 0;) {
    if (raw[memo::kEntryTable + i * memo::kEntrySize] == std::byte{0}) {
      use.highestFree = i;
      break;
    }
  }
  currentKept_ = true;
  roomOwed_ = true;
  // A block newly taken up is known as shared at once, so that its space is
  // never taken again; the kept one's room is told when it is asked for.
  if (whole) SettleRoom();
  return {current_, static_cast<std::uint8_t>(entry), length, stamp};
}

void TMemoFileEditor::SettleRoom() {
  if (!roomOwed_) return;
  roomOwed_ = false;
  const TRoom room = RoomOf(currentUse_);
  space_.Put({current_, TBlockType::kSubAllocated, 1, room.freeEntries, room.freeChunks});
}

TBlobDescriptor TMemoFileEditor::StoreSingle(std::span<const std::byte> value, std::uint16_t stamp) {
  const auto length = static_cast<std::uint32_t>(value.size());
  const std::uint32_t units = memo::UnitsForSingle(length);
  const std::uint32_t offset = TakeSpace(units);
  // The whole block in one write, so that a crash leaves the file's length
  // whole and the space either still free or holding the complete value.
  std::vector<std::byte> block(units * std::size_t{memo::kUnit});
  memo::TSingleBlockHeader{static_cast<std::uint16_t>(units), length, stamp}.EncodeTo(block.data());
  std::copy(value.begin(), value.end(), block.begin() + memo::kSingleHeaderSize);
  Put(offset, block);
  space_.Put({offset, TBlockType::kSingle, units});
  return {offset, TBlobDescriptor::kSingleBlockIndex, length, stamp};
}

// Finds room for a block of the given units and returns its offset: the
// largest free block, split, or the end of the file. The space is left a
// free block of those units; the caller writes the block.
std::uint32_t TMemoFileEditor::TakeSpace(std::uint32_t units) {
  if (const TBlock* free = space_.LargestFree(); free != nullptr && free->units >= units) {
    return SplitFree(*free, units);
  }
  std::uint64_t offset = (size_ + memo::kUnit - 1) / memo::kUnit * memo::kUnit;
  if (const TBlock* last = space_.Last(); walkedAll_ && last != nullptr && last->type == TBlockType::kFree) {
    // A free block at the end of the file grows into the new one.
    offset = last->offset;
    space_.Erase(last->offset);
  }
  if (offset > kLastBlockOffset) ThrowMemoError(kDbiErrTableFull, path_, "the file cannot grow beyond 4 GB");
  space_.Put({static_cast<std::uint32_t>(offset), TBlockType::kFree, units});
  size_ = std::max(size_, offset + std::uint64_t{units} * memo::kUnit);
  return static_cast<std::uint32_t>(offset);
}

std::uint32_t TMemoFileEditor::SplitFree(TBlock block, std::uint32_t units) {
  if (block.units > units) {
    const TBlock rest{block.offset + units * memo::kUnit, TBlockType::kFree, block.units - units};
    std::array<std::byte, 3> start{};
    memo::EncodeBlockStart(start.data(), TBlockType::kFree, static_cast<std::uint16_t>(rest.units));
    Put(rest.offset, start);
    WriteOut(false);
    block.units = units;
    space_.Put(block);
    space_.Put(rest);
  }
  return block.offset;
}

bool TMemoFileEditor::Release(const TBlobDescriptor& d) {
  if (d.IsBlank() || d.blockOffset == 0) return false;
  (void)File();
  LoadBlocks();
  SettleRoom();
  WritePending();
  try {
    (void)LocateBlob(*file_, size_, d);
  } catch (const env::EDBEngineError&) {
    return false;
  }
  const TBlock* block = space_.Find(d.blockOffset);
  if (block == nullptr) return false;
  currentKept_ = false;
  WriteHeader(false);
  if (d.IsSingleBlock()) {
    FreeBlock(d.blockOffset);
  } else {
    ReleaseEntry(*block, d);
  }
  WriteHeader(true);
  return true;
}

void TMemoFileEditor::ReleaseEntry(TBlock block, const TBlobDescriptor& d) {
  TSharedBlock raw{};
  file_->ReadAt(block.offset, raw);
  PutEntry(raw.data(), d.index, {});
  const TRoom room = RoomOf(raw.data());
  if (!room.inUse) {
    FreeBlock(block.offset);
    return;
  }
  file_->WriteAt(block.offset, raw);
  block.freeEntries = room.freeEntries;
  block.freeChunks = room.freeChunks;
  space_.Put(block);
}

// Turns a block into a free one, merged with free neighbours that touch it
// into the first of them.
void TMemoFileEditor::FreeBlock(std::uint32_t offset) {
  const auto touches = [](const TBlock& a, const TBlock& b) {
    return a.type == TBlockType::kFree && b.type == TBlockType::kFree && a.offset + a.units * memo::kUnit == b.offset &&
           a.units + b.units <= memo::kMaxBlockUnits;
  };
  TBlock block = *space_.Find(offset);
  block = {block.offset, TBlockType::kFree, block.units};
  if (const TBlock* next = space_.After(offset); next != nullptr && touches(block, *next)) {
    block.units += next->units;
    space_.Erase(next->offset);
  }
  if (const TBlock* before = space_.Before(offset); before != nullptr && touches(*before, block)) {
    const TBlock merged{before->offset, TBlockType::kFree, before->units + block.units};
    space_.Erase(offset);
    block = merged;
  }
  space_.Put(block);
  std::array<std::byte, 3> start{};
  memo::EncodeBlockStart(start.data(), TBlockType::kFree, static_cast<std::uint16_t>(block.units));
  file_->WriteAt(block.offset, start);
}

// Every change is framed by two header writes: the first, before any block
// is touched, carries the new counter and no hints; the last the hints of
// the new state. So after a crash at any point the header never promises
// room that is not there, and its counter is above every stored stamp.
void TMemoFileEditor::WriteHeader(bool withHints) {
  memo::THeaderBlock header;
  header.modificationCounter = counter_;
  if (withHints) {
    SettleRoom();
    header.hints = ChooseHints(space_.HintCandidates(memo::kMaxHints));
  }
  header.PatchInto(header_.data());
  File().WriteAt(0, std::span<const std::byte>(header_.data(), kHeaderPatchSize));
}

env::TFile& TMemoFileEditor::File() {
  if (!file_) throw env::EWriteError("Memo file " + path_ + ": used after it was closed");
  return *file_;
}

// A write that does not continue the batch ends it first, so that the file
// sees the writes in the order they were made.
void TMemoFileEditor::Put(std::uint64_t offset, std::span<const std::byte> bytes) {
  pending_.Take(offset, bytes);
  if (pending_.Full()) WriteOut(false);
}

void TMemoFileEditor::ReadBlock(std::uint64_t offset, std::span<std::byte> out) {
  if (pending_.CopyOut(offset, out)) return;
  if (pending_.Covers(offset, out.size())) WriteOut(false);
  File().ReadAt(offset, out);
}

// Every batch is framed by the header: first the counter, above every stamp
// of the batch, without hints; after it the hints, but only when no change
// is half made (settled), since the blocks in memory may then be ahead of
// the file.
void TMemoFileEditor::WriteOut(bool settled) {
  if (!pending_.Empty()) {
    WriteHeader(false);
    pending_.WriteTo(File());
    hintsOwed_ = true;
  }
  if (settled && hintsOwed_) {
    WriteHeader(true);
    hintsOwed_ = false;
  }
}

void TMemoFileEditor::WritePending() { WriteOut(true); }

void TMemoFileEditor::Flush() {
  WritePending();
  File().Flush();
}

void TMemoFileEditor::Close() {
  if (!file_) return;
  WritePending();
  file_->Flush();
  file_->Close();
  file_.reset();
}

}  // namespace remdo::paradox
