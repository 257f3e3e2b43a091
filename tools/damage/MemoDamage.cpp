// Damage to a table's memo file (.MB): bytes flipped inside a block that
// holds values, a whole 4 KiB unit of values zeroed, the file cut after
// such a unit, the header block spoilt, the file deleted; and a record's
// reference into it spoilt. The raw walk finds every record as before.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "damage/DamageSteps.h"
#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/Coding.h"

namespace remdo::tools {

namespace {

constexpr std::int64_t kUnit = 4096;
constexpr int kSingleBlob = 2;
constexpr int kSuballocated = 3;

struct TMemoFile {
  std::string name;  // without folder
  std::vector<std::byte> bytes;
};

TMemoFile FindMemoFile(TDamageContext& context) {
  for (const std::string& name : context.FamilyFiles()) {
    if (!env::SameText(env::ExtensionPart(name), ".mb")) continue;
    auto file = context.fileSystem.Open(context.Folder() + name, env::TOpenMode::kRead);
    TMemoFile memo{name, std::vector<std::byte>(static_cast<std::size_t>(file->Size()))};
    memo.bytes.resize(file->ReadAt(0, memo.bytes));
    return memo;
  }
  throw EDamageError("The table " + context.path + " has no memo file");
}

int ByteAt(const TMemoFile& memo, std::int64_t offset) {
  return std::to_integer<int>(memo.bytes[static_cast<std::size_t>(offset)]);
}

// The first unit of every block that holds values (type 2 or 3), found by
// walking the blocks by their type and length after the header block.
std::vector<std::int64_t> ValueUnits(const TMemoFile& memo) {
  std::vector<std::int64_t> units;
  const auto count = static_cast<std::int64_t>(memo.bytes.size()) / kUnit;
  std::int64_t unit = 1;
  while (unit < count) {
    const std::int64_t start = unit * kUnit;
    const int type = ByteAt(memo, start);
    const int length = ByteAt(memo, start + 1) | (ByteAt(memo, start + 2) << 8);
    if (type == kSingleBlob || type == kSuballocated) units.push_back(unit);
    unit += length > 0 ? length : 1;
  }
  return units;
}

// The unit the options name (--block), or one chosen by the seed.
std::int64_t ChooseValueUnit(TDamageContext& context, const TMemoFile& memo) {
  const std::vector<std::int64_t> units = ValueUnits(memo);
  if (context.options.block) {
    for (const std::int64_t unit : units) {
      if (unit == *context.options.block) return unit;
    }
    throw EDamageError("Unit " + std::to_string(*context.options.block) + " of " + memo.name +
                       " does not start a block that holds values");
  }
  if (units.empty()) throw EDamageError("The memo file " + memo.name + " holds no values");
  return units[context.random.Below(static_cast<std::uint32_t>(units.size()))];
}

void WriteMemo(TDamageContext& context, const TMemoFile& memo, std::int64_t offset,
               const std::vector<std::byte>& bytes) {
  auto file = context.fileSystem.Open(context.Folder() + memo.name, env::TOpenMode::kReadWrite);
  file->WriteAt(static_cast<std::uint64_t>(offset), bytes);
  file->Close();
  context.report.offset = offset;
  context.report.changedFiles.push_back(memo.name);
}

// Every byte of the range changes: xor with a non-zero value.
std::vector<std::byte> Flipped(TDamageContext& context, const TMemoFile& memo, std::int64_t offset,
                               std::int64_t count) {
  std::vector<std::byte> bytes;
  for (std::int64_t i = 0; i < count; ++i) {
    bytes.push_back(static_cast<std::byte>(ByteAt(memo, offset + i) ^ context.random.Between(1, 255)));
  }
  return bytes;
}

}  // namespace

// The flipped bytes lie past the block's own header (its first 12 bytes),
// in the values or, in a suballocated block, in their entries.
void DamageMemoFlippedBytes(TDamageContext& context) {
  const TMemoFile memo = FindMemoFile(context);
  const std::int64_t unit = ChooseValueUnit(context, memo);
  const std::int64_t count = context.options.amount.value_or(context.random.Between(1, 16));
  if (count < 1 || count > 64) throw EDamageError("Between 1 and 64 bytes can be flipped");
  const std::int64_t offset = unit * kUnit + 12 + context.random.Below(static_cast<std::uint32_t>(kUnit - 12 - count));
  context.report.block = unit;
  WriteMemo(context, memo, offset, Flipped(context, memo, offset, count));
  context.report.summary = std::to_string(count) + " byte(s) of " + memo.name + " flipped at offset " +
                           std::to_string(offset) + " (unit " + std::to_string(unit) + ")";
}

void DamageMemoZeroedUnit(TDamageContext& context) {
  const TMemoFile memo = FindMemoFile(context);
  const std::int64_t unit = ChooseValueUnit(context, memo);
  context.report.block = unit;
  WriteMemo(context, memo, unit * kUnit, std::vector<std::byte>(static_cast<std::size_t>(kUnit)));
  context.report.summary = "unit " + std::to_string(unit) + " of " + memo.name + " (offset " +
                           std::to_string(unit * kUnit) + ") zeroed";
}

// The cut falls where a block of values starts, so that block and all after
// it are gone.
void DamageMemoTruncated(TDamageContext& context) {
  const TMemoFile memo = FindMemoFile(context);
  const std::int64_t unit = ChooseValueUnit(context, memo);
  auto file = context.fileSystem.Open(context.Folder() + memo.name, env::TOpenMode::kReadWrite);
  file->Truncate(static_cast<std::uint64_t>(unit * kUnit));
  file->Close();
  context.report.block = unit;
  context.report.offset = unit * kUnit;
  context.report.changedFiles.push_back(memo.name);
  context.report.summary = memo.name + " cut from " + std::to_string(memo.bytes.size()) + " to " +
                           std::to_string(unit * kUnit) + " bytes (where unit " + std::to_string(unit) + " starts)";
}

// The header's type, length and constants (its first 16 bytes) and its
// free-space hint (0x38 to 0x3C) are flipped.
void DamageMemoHeader(TDamageContext& context) {
  const TMemoFile memo = FindMemoFile(context);
  if (static_cast<std::int64_t>(memo.bytes.size()) < kUnit) throw EDamageError(memo.name + " has no header block");
  const bool hint = context.random.PerMille(300);
  const std::int64_t offset = hint ? 0x38 : context.random.Below(12);
  const std::int64_t count = hint ? 5 : 4;
  context.report.block = 0;
  WriteMemo(context, memo, offset, Flipped(context, memo, offset, count));
  context.report.summary = std::to_string(count) + " byte(s) of the header block of " + memo.name +
                           " flipped at offset " + std::to_string(offset);
}

// A record whose blob field refers to a block of the .MB (a non-zero
// offset in its reference) gets bytes of that 10-byte reference flipped;
// the leader and the record's other fields stay.
void DamageMemoDescriptor(TDamageContext& context) {
  const TTableMap& image = context.Map();
  auto file = context.fileSystem.Open(context.path, env::TOpenMode::kRead);
  struct TReference {
    std::int64_t ordinal;
    std::int64_t offset;  // of the 10 bytes in the file
    int field;
  };
  std::vector<TReference> references;
  const std::int64_t first = context.options.record.value_or(0);
  const std::int64_t last = context.options.record ? first + 1 : image.Records();
  for (std::int64_t ordinal = first; ordinal < last; ++ordinal) {
    const std::int64_t record = image.RecordOffset(ordinal);
    for (const TBlobField& field : image.BlobFields()) {
      if (context.options.field && *context.options.field != field.number) continue;
      const std::int64_t at = record + field.offset + field.width - 10;
      std::array<std::byte, 4> blockOffset{};
      if (record >= 0 && file->ReadAt(static_cast<std::uint64_t>(at), blockOffset) == blockOffset.size() &&
          paradox::GetU32(blockOffset.data()) != 0) {
        references.push_back({ordinal, at, field.number});
      }
    }
  }
  file->Close();
  if (references.empty()) throw EDamageError("No record of " + context.path + " there refers into its memo file");
  const TReference chosen = references[context.random.Below(static_cast<std::uint32_t>(references.size()))];
  std::vector<std::byte> bytes(10);
  auto reread = context.fileSystem.Open(context.path, env::TOpenMode::kRead);
  reread->ReadAt(static_cast<std::uint64_t>(chosen.offset), bytes);
  reread->Close();
  // One to four bytes anywhere in the reference (offset, length, modification number).
  const int count = context.random.Between(1, 4);
  for (int i = 0; i < count; ++i) {
    std::byte& target = bytes[context.random.Below(10)];
    target ^= static_cast<std::byte>(context.random.Between(1, 255));
  }
  context.report.block = image.BlockOfRecord(chosen.ordinal);
  context.WriteData(chosen.offset, bytes);
  context.report.summary = "the memo reference of field " + std::to_string(chosen.field) + " of record " +
                           std::to_string(chosen.ordinal) + " spoilt (offset " + std::to_string(chosen.offset) + ")";
}

void DamageMemoDeleted(TDamageContext& context) {
  const TMemoFile memo = FindMemoFile(context);
  const env::TIoResult removed = context.fileSystem.Remove(context.Folder() + memo.name);
  if (!removed) throw env::EWriteError("Could not delete " + context.Folder() + memo.name + ". " + removed.reason);
  context.report.removedFiles.push_back(memo.name);
  context.report.summary = memo.name + " deleted";
}

}  // namespace remdo::tools
