// The damage kinds' implementations and what they share: the table's data
// file and its map before the damage, the random stream of the seed, and
// the report they fill in. Private to the damage tool.
#ifndef REMDO_TOOLS_DAMAGE_DAMAGESTEPS_H_
#define REMDO_TOOLS_DAMAGE_DAMAGESTEPS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "damage/Damage.h"
#include "damage/TableMap.h"
#include "generator/Random.h"

namespace remdo::tools {

struct TDamageContext {
  env::TFileSystem& fileSystem;
  const std::string path;
  const TDamageOptions& options;
  TRandom random;
  // The data file's map before the damage; nothing when there is no file.
  std::optional<TTableMap> before;
  TDamageReport& report;

  // The map, or EDamageError when the damage needs a data file that can be
  // walked.
  const TTableMap& Map() const;
  // The block the options name, or one chosen by the seed among the blocks
  // holding at least minRecords records; EDamageError when there is none.
  std::int64_t ChooseBlock(int minRecords);
  // Marks ordinals first to first + count - 1 unreachable.
  void Unreachable(std::int64_t first, std::int64_t count);
  // Writes bytes into the data file at offset.
  void WriteData(std::int64_t offset, const std::vector<std::byte>& bytes);
  // The names (without folder) of the table's files: same name, any
  // extension, found without regard to case.
  std::vector<std::string> FamilyFiles() const;
  std::string Folder() const;
};

void DamageTruncatedFile(TDamageContext& context);
void DamageTrailingPartBlock(TDamageContext& context);
void DamageBlockLink(TDamageContext& context, bool next);
void DamageBlockLastOffset(TDamageContext& context);
void DamageZeroedBlock(TDamageContext& context);

void DamageDuplicateKey(TDamageContext& context);
void DamageRecordCount(TDamageContext& context, TDamageKind kind);

void DamageMissingPrimaryIndex(TDamageContext& context);
void DamageIndexes(TDamageContext& context, bool remove);
void DamageMissingTable(TDamageContext& context);
void DamageReadOnly(TDamageContext& context);
void DamageForeignFile(TDamageContext& context);

void DamageMemoFlippedBytes(TDamageContext& context);
void DamageMemoZeroedUnit(TDamageContext& context);
void DamageMemoTruncated(TDamageContext& context);
void DamageMemoHeader(TDamageContext& context);
void DamageMemoDescriptor(TDamageContext& context);
void DamageMemoDeleted(TDamageContext& context);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_DAMAGE_DAMAGESTEPS_H_
