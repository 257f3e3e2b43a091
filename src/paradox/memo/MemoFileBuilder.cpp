// The one-pass memo file writer. Single-value blocks are written as they
// come; shared blocks with room stay in memory, each at the place in the
// file where it was started, until they are full or the file is finished
// (the engine lays files out the same way). The header goes last.
#include "paradox/memo/MemoFileBuilder.h"

#include <algorithm>
#include <utility>

#include "env/Errors.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/memo/MemoFile.h"

namespace remdo::paradox {

namespace {

constexpr std::uint16_t kBulkModification = 1;
// The last block start a reference can hold in its 32 bits.
constexpr std::uint64_t kLastBlockOffset = 0xFFFFF000u;

}  // namespace

TMemoFileBuilder::TMemoFileBuilder(env::TFileSystem& fileSystem, std::string path)
    : file_(fileSystem.Open(path, env::TOpenMode::kCreate)) {}

TMemoFileBuilder::~TMemoFileBuilder() = default;

std::uint32_t TMemoFileBuilder::TakeUnits(std::uint64_t units) {
  if (end_ > kLastBlockOffset) {
    ThrowMemoError(kDbiErrTableFull, file_->Path(), "the file cannot grow beyond 4 GB");
  }
  const auto offset = static_cast<std::uint32_t>(end_);
  end_ += units * memo::kUnit;
  return offset;
}

TBlobDescriptor TMemoFileBuilder::Add(TBlobKind kind, std::span<const std::byte> value, std::size_t leaderSize) {
  if (!file_) throw env::EWriteError("Memo file: a value was added after the file was finished");
  if (value.empty()) return {};
  if (value.size() > 0xFFFFFFFFu) {
    ThrowMemoError(kDbiErrInvalidBlobLen, file_->Path(), "a value of more than 4 GB cannot be stored");
  }
  const auto length = static_cast<std::uint32_t>(value.size());
  if (FitsInLeader(kind, length, leaderSize)) return {0, 0, length, 0};
  return length <= memo::kSubAllocThreshold ? AddShared(value) : AddSingle(value);
}

void TMemoFileBuilder::AddToField(std::span<std::byte> field, TBlobKind kind, std::span<const std::byte> value) {
  const TBlobDescriptor d = Add(kind, value, LeaderSizeOf(field.size()));
  EncodeBlobField(field, kind, value, d);
}

TBlobDescriptor TMemoFileBuilder::AddShared(std::span<const std::byte> value) {
  const auto length = static_cast<std::uint32_t>(value.size());
  const std::uint32_t chunks = memo::ChunksFor(length);
  TOpenBlock& block = OpenBlockFor(chunks);
  const auto entryIndex = static_cast<std::uint8_t>(block.nextEntry--);
  const memo::TSubEntry entry{static_cast<std::uint8_t>(block.nextChunk), static_cast<std::uint8_t>(chunks),
                              kBulkModification, static_cast<std::uint8_t>(length - (chunks - 1) * memo::kChunk)};
  entry.EncodeTo(block.data.data() + memo::kEntryTable + entryIndex * memo::kEntrySize);
  std::copy(value.begin(), value.end(), block.data.begin() + block.nextChunk * memo::kChunk);
  block.nextChunk += chunks;
  const TBlobDescriptor d{block.offset, entryIndex, length, kBulkModification};
  for (std::size_t i = 0; i < open_.size(); ++i) {
    if (open_[i]->Room() == 0) {
      Retire(i);
      break;
    }
  }
  return d;
}

// The first open shared block with room for the chunks, or a new one at the
// end of the file. With all places for open blocks taken, the one with the
// least room is written and forgotten first.
TMemoFileBuilder::TOpenBlock& TMemoFileBuilder::OpenBlockFor(std::uint32_t chunks) {
  for (const auto& block : open_) {
    if (block->Fits(chunks)) return *block;
  }
  if (open_.size() == memo::kMaxHints) {
    const auto least = std::min_element(open_.begin(), open_.end(),
                                        [](const auto& a, const auto& b) { return a->Room() < b->Room(); });
    Retire(static_cast<std::size_t>(least - open_.begin()));
  }
  auto block = std::make_unique<TOpenBlock>();
  block->offset = TakeUnits(1);
  memo::EncodeBlockStart(block->data.data(), memo::TBlockType::kSubAllocated, 1);
  open_.push_back(std::move(block));
  return *open_.back();
}

void TMemoFileBuilder::Retire(std::size_t index) {
  const TOpenBlock& block = *open_[index];
  file_->WriteAt(block.offset, block.data);
  if (block.Room() > 0) {
    hints_.push_back({block.offset, memo::THintKind::kSubAllocated, static_cast<std::uint16_t>(block.Room())});
  }
  open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(index));
}

TBlobDescriptor TMemoFileBuilder::AddSingle(std::span<const std::byte> value) {
  const auto length = static_cast<std::uint32_t>(value.size());
  const std::uint32_t units = memo::UnitsForSingle(length);
  if (units > memo::kMaxBlockUnits) {
    ThrowMemoError(kDbiErrInvalidBlobLen, file_->Path(),
                   "a value of " + std::to_string(length) + " bytes is longer than one memo block can hold");
  }
  const std::uint32_t offset = TakeUnits(units);
  std::array<std::byte, memo::kSingleHeaderSize> header{};
  memo::TSingleBlockHeader{static_cast<std::uint16_t>(units), length, kBulkModification}.EncodeTo(header.data());
  file_->WriteAt(offset, header);
  file_->WriteAt(offset + memo::kSingleHeaderSize, value);
  // Zero the tail, so that the file's length is whole units and no stale
  // bytes of an earlier file remain.
  const std::uint64_t used = memo::kSingleHeaderSize + std::uint64_t{length};
  // Less than one unit by the choice of units above.
  const std::vector<std::byte> tail(static_cast<std::size_t>(units * std::uint64_t{memo::kUnit} - used));
  if (!tail.empty()) file_->WriteAt(offset + used, tail);
  return {offset, TBlobDescriptor::kSingleBlockIndex, length, kBulkModification};
}

void TMemoFileBuilder::Finish() {
  if (!file_) return;
  while (!open_.empty()) Retire(0);
  memo::THeaderBlock header;
  header.modificationCounter = kBulkModification;
  header.hints = ChooseHints(std::move(hints_));
  std::array<std::byte, memo::kUnit> raw{};
  header.EncodeTo(raw.data());
  file_->WriteAt(0, raw);
  file_->Flush();
  file_->Close();
  file_.reset();
}

std::vector<memo::TFreeHint> ChooseHints(std::vector<memo::TFreeHint> candidates) {
  const auto room = [](const memo::TFreeHint& h) {
    return h.kind == memo::THintKind::kFree ? std::uint64_t{h.amount} * memo::kUnit
                                            : std::uint64_t{h.amount} * memo::kChunk;
  };
  if (candidates.size() > memo::kMaxHints) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const auto& a, const auto& b) { return room(a) > room(b); });
    candidates.resize(memo::kMaxHints);
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const auto& a, const auto& b) { return a.blockOffset < b.blockOffset; });
  return candidates;
}

void CreateEmptyMemoFile(env::TFileSystem& fileSystem, const std::string& path) {
  TMemoFileBuilder builder(fileSystem, path);
  builder.Finish();
}

}  // namespace remdo::paradox
