// The damage tool's entry: reads the data file's map, runs the kind's step,
// maps the file again and checks that what the step reported adds up to
// what the walk now finds.
#include "damage/Damage.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <stdexcept>

#include "damage/DamageSteps.h"
#include "env/Path.h"
#include "env/Text.h"

namespace remdo::tools {

namespace {

struct TKindName {
  TDamageKind kind;
  std::string_view name;
};

constexpr std::array<TKindName, 22> kKindNames = {{
    {TDamageKind::kTruncatedFile, "truncated-file"},
    {TDamageKind::kTrailingPartBlock, "trailing-part-block"},
    {TDamageKind::kBlockNextLink, "block-next-link"},
    {TDamageKind::kBlockPrevLink, "block-prev-link"},
    {TDamageKind::kBlockLastOffset, "block-last-offset"},
    {TDamageKind::kZeroedBlock, "zeroed-block"},
    {TDamageKind::kDuplicateKey, "duplicate-key"},
    {TDamageKind::kCountTooHigh, "count-too-high"},
    {TDamageKind::kCountTooLow, "count-too-low"},
    {TDamageKind::kCountZero, "count-zero"},
    {TDamageKind::kMissingPrimaryIndex, "missing-px"},
    {TDamageKind::kStaleIndexes, "stale-indexes"},
    {TDamageKind::kMissingIndexes, "missing-indexes"},
    {TDamageKind::kMissingTable, "missing-table"},
    {TDamageKind::kReadOnly, "read-only"},
    {TDamageKind::kForeignFile, "foreign-file"},
    {TDamageKind::kMemoFlippedBytes, "memo-flipped-bytes"},
    {TDamageKind::kMemoZeroedUnit, "memo-zeroed-unit"},
    {TDamageKind::kMemoTruncated, "memo-truncated"},
    {TDamageKind::kMemoHeader, "memo-header"},
    {TDamageKind::kMemoDescriptor, "memo-descriptor"},
    {TDamageKind::kMemoDeleted, "memo-deleted"},
}};

constexpr std::array<TDamageKind, 22> kAllKinds = [] {
  std::array<TDamageKind, 22> kinds{};
  for (std::size_t i = 0; i < kKindNames.size(); ++i) kinds[i] = kKindNames[i].kind;
  return kinds;
}();

std::optional<TTableMap> MapOf(env::TFileSystem& fileSystem, const std::string& path) {
  if (!fileSystem.FileExists(path)) return std::nullopt;
  auto file = fileSystem.Open(path, env::TOpenMode::kRead);
  return TTableMap::Read(*file);
}

void RunStep(TDamageKind kind, TDamageContext& context) {
  switch (kind) {
    case TDamageKind::kTruncatedFile: return DamageTruncatedFile(context);
    case TDamageKind::kTrailingPartBlock: return DamageTrailingPartBlock(context);
    case TDamageKind::kBlockNextLink: return DamageBlockLink(context, true);
    case TDamageKind::kBlockPrevLink: return DamageBlockLink(context, false);
    case TDamageKind::kBlockLastOffset: return DamageBlockLastOffset(context);
    case TDamageKind::kZeroedBlock: return DamageZeroedBlock(context);
    case TDamageKind::kDuplicateKey: return DamageDuplicateKey(context);
    case TDamageKind::kCountTooHigh:
    case TDamageKind::kCountTooLow:
    case TDamageKind::kCountZero: return DamageRecordCount(context, kind);
    case TDamageKind::kMissingPrimaryIndex: return DamageMissingPrimaryIndex(context);
    case TDamageKind::kStaleIndexes: return DamageIndexes(context, false);
    case TDamageKind::kMissingIndexes: return DamageIndexes(context, true);
    case TDamageKind::kMissingTable: return DamageMissingTable(context);
    case TDamageKind::kReadOnly: return DamageReadOnly(context);
    case TDamageKind::kForeignFile: return DamageForeignFile(context);
    case TDamageKind::kMemoFlippedBytes: return DamageMemoFlippedBytes(context);
    case TDamageKind::kMemoZeroedUnit: return DamageMemoZeroedUnit(context);
    case TDamageKind::kMemoTruncated: return DamageMemoTruncated(context);
    case TDamageKind::kMemoHeader: return DamageMemoHeader(context);
    case TDamageKind::kMemoDescriptor: return DamageMemoDescriptor(context);
    case TDamageKind::kMemoDeleted: return DamageMemoDeleted(context);
  }
}

// The report must add up: every record before is either still found or
// named unreachable, and every record found is an old one or a phantom.
void CheckReport(const TDamageReport& report) {
  const std::int64_t expected = report.recordsBefore - report.UnreachableCount() + report.phantomRecords;
  if (report.recordsAfter != expected) {
    throw std::logic_error("Damage report of " + report.path + " does not add up: " +
                           std::to_string(report.recordsAfter) + " records found, " + std::to_string(expected) +
                           " expected");
  }
}

}  // namespace

std::span<const TDamageKind> AllDamageKinds() { return kAllKinds; }

std::string_view DamageKindName(TDamageKind kind) {
  for (const TKindName& entry : kKindNames) {
    if (entry.kind == kind) return entry.name;
  }
  return "?";
}

std::optional<TDamageKind> DamageKindFromName(std::string_view name) {
  for (const TKindName& entry : kKindNames) {
    if (env::SameText(entry.name, name)) return entry.kind;
  }
  return std::nullopt;
}

std::int64_t TDamageReport::UnreachableCount() const {
  std::int64_t count = 0;
  for (const TRecordRange& range : unreachable) count += range.count;
  return count;
}

bool TDamageReport::IsUnreachable(std::int64_t ordinal) const {
  return std::any_of(unreachable.begin(), unreachable.end(), [ordinal](const TRecordRange& range) {
    return ordinal >= range.first && ordinal < range.first + range.count;
  });
}

TDamageReport Damage(TDamageKind kind, std::string_view path, const TDamageOptions& options,
                     env::TFileSystem& fileSystem) {
  TDamageReport report;
  report.kind = kind;
  report.path = std::string(path);
  TDamageContext context{fileSystem, report.path, options,
                         TRandom(MixSeed(options.seed, static_cast<std::uint64_t>(kind) + 1)),
                         MapOf(fileSystem, report.path), report};
  if (context.before) {
    report.recordsBefore = context.before->Walkable() ? context.before->Records() : 0;
    report.headerCountBefore = context.before->HeaderCount();
  }
  RunStep(kind, context);
  const std::optional<TTableMap> after = MapOf(fileSystem, report.path);
  report.walkableAfter = after && after->Walkable();
  report.recordsAfter = report.walkableAfter ? after->Records() : 0;
  report.headerCountAfter = after ? after->HeaderCount() : 0;
  CheckReport(report);
  return report;
}

std::string FormatDamageReport(const TDamageReport& report) {
  std::ostringstream out;
  out << DamageKindName(report.kind) << ": " << report.summary << "\n";
  out << "records found: " << report.recordsBefore << " before, " << report.recordsAfter << " after"
      << (report.walkableAfter ? "" : " (the data file cannot be walked)") << "\n";
  out << "header count: " << report.headerCountBefore << " before, " << report.headerCountAfter << " after\n";
  for (const TRecordRange& range : report.unreachable) {
    out << "unreachable records: " << range.first << " to " << range.first + range.count - 1 << " (" << range.count
        << ")\n";
  }
  if (report.phantomRecords > 0) out << "phantom records: " << report.phantomRecords << "\n";
  for (const std::int64_t ordinal : report.duplicateKeys) {
    out << "duplicate key: record " << ordinal << " carries the key of record " << ordinal - 1 << "\n";
  }
  if (report.block >= 0) out << "block: " << report.block << "\n";
  if (report.offset >= 0) out << "offset: " << report.offset << "\n";
  for (const std::string& name : report.changedFiles) out << "changed: " << name << "\n";
  for (const std::string& name : report.removedFiles) out << "removed: " << name << "\n";
  return out.str();
}

// --- TDamageContext -----------------------------------------------------------

const TTableMap& TDamageContext::Map() const {
  if (!before) throw EDamageError("There is no data file " + path);
  if (!before->Walkable()) throw EDamageError("The data file " + path + " has no header that can be walked");
  return *before;
}

std::int64_t TDamageContext::ChooseBlock(int minRecords) {
  const std::vector<TBlockMap>& blocks = Map().Blocks();
  if (options.block) {
    const std::int64_t block = *options.block;
    if (block < 0 || block >= static_cast<std::int64_t>(blocks.size()) ||
        blocks[static_cast<std::size_t>(block)].records < minRecords) {
      throw EDamageError("Block " + std::to_string(block) + " of " + path + " does not hold " +
                         std::to_string(minRecords) + " record(s)");
    }
    return block;
  }
  std::vector<std::int64_t> candidates;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (blocks[i].records >= minRecords) candidates.push_back(static_cast<std::int64_t>(i));
  }
  if (candidates.empty()) {
    throw EDamageError("No block of " + path + " holds " + std::to_string(minRecords) + " record(s)");
  }
  return candidates[random.Below(static_cast<std::uint32_t>(candidates.size()))];
}

void TDamageContext::Unreachable(std::int64_t first, std::int64_t count) {
  if (count > 0) report.unreachable.push_back({first, count});
}

void TDamageContext::WriteData(std::int64_t offset, const std::vector<std::byte>& bytes) {
  auto file = fileSystem.Open(path, env::TOpenMode::kReadWrite);
  file->WriteAt(static_cast<std::uint64_t>(offset), bytes);
  file->Close();
  if (report.offset < 0) report.offset = offset;
  if (report.changedFiles.empty()) report.changedFiles.push_back(std::string(env::NamePart(path)));
}

std::string TDamageContext::Folder() const { return std::string(env::FolderPart(path)); }

std::vector<std::string> TDamageContext::FamilyFiles() const {
  const std::string_view name = env::NamePart(path);
  const std::string stem(name.substr(0, name.find('.')));
  std::vector<std::string> names;
  const std::uint32_t mask = env::attr::kReadOnly | env::attr::kHidden | env::attr::kSystem | env::attr::kArchive;
  for (const env::TFindEntry& entry : fileSystem.Find(Folder() + stem + ".*", mask)) {
    const std::size_t dot = entry.name.find('.');
    if (env::SameText(entry.name.substr(0, dot), stem) && entry.name.find('.', dot + 1) == std::string::npos) {
      names.push_back(entry.name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace remdo::tools
