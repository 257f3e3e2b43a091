// Damage to records and to the header's record count.
#include <string>
#include <vector>

#include "damage/DamageSteps.h"
#include "paradox/codes/Coding.h"

namespace remdo::tools {

namespace {

constexpr std::int64_t kRecordCountOffset = 6;

std::vector<std::byte> ReadData(TDamageContext& context, std::int64_t offset, std::size_t count) {
  std::vector<std::byte> bytes(count);
  auto file = context.fileSystem.Open(context.path, env::TOpenMode::kRead);
  if (file->ReadAt(static_cast<std::uint64_t>(offset), bytes) != count) {
    throw EDamageError("The data file " + context.path + " ends inside the record at offset " +
                       std::to_string(offset));
  }
  return bytes;
}

}  // namespace

// The key fields lead the record; the record after the chosen one gets
// them, so two records carry one key and the engine must refuse one.
void DamageDuplicateKey(TDamageContext& context) {
  const TTableMap& image = context.Map();
  if (image.KeyWidth() == 0) throw EDamageError("The table " + context.path + " has no primary key");
  if (image.Records() < 2) throw EDamageError("The table " + context.path + " has fewer than two records");
  const std::int64_t record =
      context.options.record.value_or(context.random.Below(static_cast<std::uint32_t>(image.Records() - 1)));
  if (record < 0 || record + 1 >= image.Records()) {
    throw EDamageError("Record " + std::to_string(record) + " of " + context.path + " has no record after it");
  }
  const std::vector<std::byte> key =
      ReadData(context, image.RecordOffset(record), static_cast<std::size_t>(image.KeyWidth()));
  context.report.block = image.BlockOfRecord(record + 1);
  context.report.duplicateKeys.push_back(record + 1);
  context.WriteData(image.RecordOffset(record + 1), key);
  context.report.summary = "the key of record " + std::to_string(record) + " (" + std::to_string(key.size()) +
                           " bytes) copied onto record " + std::to_string(record + 1);
}

void DamageRecordCount(TDamageContext& context, TDamageKind kind) {
  const TTableMap& image = context.Map();
  const std::int32_t count = image.HeaderCount();
  std::int64_t changed = 0;
  if (kind == TDamageKind::kCountZero) {
    if (count == 0) throw EDamageError("The header count of " + context.path + " is 0 already");
  } else {
    const std::int64_t amount = context.options.amount.value_or(context.random.Between(1, 10));
    changed = kind == TDamageKind::kCountTooHigh ? count + amount : count - amount;
    if (amount < 1 || changed < 0 || changed > 2147483647) {
      throw EDamageError("The header count " + std::to_string(count) + " of " + context.path +
                         " cannot be changed by " + std::to_string(amount));
    }
  }
  std::vector<std::byte> bytes(4);
  paradox::PutU32(bytes.data(), static_cast<std::uint32_t>(changed));
  context.WriteData(kRecordCountOffset, bytes);
  context.report.summary =
      "header record count changed from " + std::to_string(count) + " to " + std::to_string(changed);
}

}  // namespace remdo::tools
