// Damage to the data file's blocks: cutting the file, spoiling a block
// header's links or last-record offset, and zeroing a block. The records
// each leaves to the raw walk follow from the walk's rules (TTableMap).
#include <string>
#include <vector>

#include "damage/DamageSteps.h"
#include "paradox/codes/Coding.h"

namespace remdo::tools {

namespace {

void CutDataFile(TDamageContext& context, std::int64_t size) {
  auto file = context.fileSystem.Open(context.path, env::TOpenMode::kReadWrite);
  file->Truncate(static_cast<std::uint64_t>(size));
  file->Close();
  context.report.offset = size;
  context.report.changedFiles.push_back(context.path.substr(context.Folder().size()));
}

std::vector<std::byte> U16Bytes(std::uint16_t value) {
  std::vector<std::byte> bytes(2);
  paradox::PutU16(bytes.data(), value);
  return bytes;
}

// The last block that holds records.
std::int64_t LastBlockWithRecords(const TTableMap& image) {
  for (auto i = static_cast<std::int64_t>(image.Blocks().size()) - 1; i >= 0; --i) {
    if (image.Blocks()[static_cast<std::size_t>(i)].records > 0) return i;
  }
  return -1;
}

}  // namespace

// Without a block named, the cut keeps at least the first block when the
// table has records beyond it.
void DamageTruncatedFile(TDamageContext& context) {
  const TTableMap& image = context.Map();
  std::int64_t block = context.ChooseBlock(1);
  if (!context.options.block && block == 0) {
    for (std::size_t i = 1; i < image.Blocks().size(); ++i) {
      if (image.Blocks()[i].records > 0) {
        block = static_cast<std::int64_t>(i);
        break;
      }
    }
  }
  const TBlockMap& cut = image.Blocks()[static_cast<std::size_t>(block)];
  context.report.block = block;
  context.Unreachable(cut.firstOrdinal, image.Records() - cut.firstOrdinal);
  CutDataFile(context, cut.start);
  context.report.summary = "the file ends where block " + std::to_string(block) + " starts (offset " +
                           std::to_string(cut.start) + ")";
}

void DamageTrailingPartBlock(TDamageContext& context) {
  const TTableMap& image = context.Map();
  const std::int64_t block = LastBlockWithRecords(image);
  if (block < 0) throw EDamageError("No block of " + context.path + " holds records");
  const TBlockMap& last = image.Blocks()[static_cast<std::size_t>(block)];
  const std::int64_t kept = context.options.amount.value_or(context.random.Below(static_cast<std::uint32_t>(last.records)));
  if (kept < 0 || kept >= last.records) {
    throw EDamageError("The last block of " + context.path + " holds " + std::to_string(last.records) +
                       " records; keeping " + std::to_string(kept) + " of them cuts nothing");
  }
  // Part of the next record stays too, so the cut falls inside a record.
  const int rest = image.RecordSize() > 1 ? context.random.Between(1, image.RecordSize() - 1) : 0;
  const std::int64_t size = last.start + TTableMap::kBlockHeaderSize + kept * image.RecordSize() + rest;
  context.report.block = block;
  context.Unreachable(last.firstOrdinal + kept, image.Records() - last.firstOrdinal - kept);
  CutDataFile(context, size);
  context.report.summary = "the file ends " + std::to_string(size - last.start) + " bytes into block " +
                           std::to_string(block) + ", after " + std::to_string(kept) + " of its " +
                           std::to_string(last.records) + " records";
}

// Block numbers in links count from 1; 0 ends the chain.
void DamageBlockLink(TDamageContext& context, bool next) {
  const TTableMap& image = context.Map();
  const std::int64_t block = context.ChooseBlock(1);
  const TBlockMap& target = image.Blocks()[static_cast<std::size_t>(block)];
  const bool loop = context.random.PerMille(500);
  const auto beyond = static_cast<std::int64_t>(image.Blocks().size()) + 1 + context.random.Below(100);
  const auto value = static_cast<std::uint16_t>(loop ? block + 1 : beyond);
  context.report.block = block;
  context.WriteData(target.start + (next ? 0 : 2), U16Bytes(value));
  context.report.summary = std::string(next ? "next" : "previous") + " link of block " + std::to_string(block) +
                           " set to " + std::to_string(value) + (loop ? " (the block itself)" : " (past the file)");
}

void DamageBlockLastOffset(TDamageContext& context) {
  const TTableMap& image = context.Map();
  const std::int64_t block = context.ChooseBlock(1);
  const TBlockMap& target = image.Blocks()[static_cast<std::size_t>(block)];
  const int size = image.RecordSize();
  const int area = image.BlockSize() - TTableMap::kBlockHeaderSize;
  const int real = (target.records - 1) * size;
  int variant = static_cast<int>(context.random.Below(4));
  if (variant == 0 && size == 1) variant = 1;       // every offset is a multiple of 1
  if (variant == 3 && target.records < 2) variant = 1;  // nothing to cut short
  int offset = 0;
  std::string how;
  switch (variant) {
    case 0:
      offset = real + context.random.Between(1, size - 1);
      how = "not a multiple of the record size";
      break;
    case 1:
      offset = -size;
      how = "negative (an empty block)";
      break;
    case 2:
      offset = area / size * size;
      how = "leaving the last record outside the block";
      break;
    default:
      offset = (context.random.Between(1, target.records - 1) - 1) * size;
      how = "cut short";
      break;
  }
  const int left = image.RecordsOfBlock(static_cast<std::int16_t>(offset), target.bytes);
  context.report.block = block;
  context.Unreachable(target.firstOrdinal + left, target.records - left);
  context.WriteData(target.start + 4, U16Bytes(static_cast<std::uint16_t>(static_cast<std::int16_t>(offset))));
  context.report.summary = "last-record offset of block " + std::to_string(block) + " set from " +
                           std::to_string(real) + " to " + std::to_string(offset) + ", " + how;
}

// An all-zero block header says "one record at offset 0", but the reader
// passes a block of zeros over whole: no phantom record is found there.
void DamageZeroedBlock(TDamageContext& context) {
  const TTableMap& image = context.Map();
  const std::int64_t block = context.ChooseBlock(1);
  const TBlockMap& target = image.Blocks()[static_cast<std::size_t>(block)];
  context.report.block = block;
  context.Unreachable(target.firstOrdinal, target.records);
  context.WriteData(target.start, std::vector<std::byte>(static_cast<std::size_t>(target.bytes)));
  context.report.summary = "block " + std::to_string(block) + " (" + std::to_string(target.bytes) +
                           " bytes at offset " + std::to_string(target.start) + ") zeroed";
}

}  // namespace remdo::tools
