// The verify-only findings of one table: the block walk, the counts and the
// layout. The key checks are in KeyFindings.cpp.
#include "repair/verify/TableFindings.h"

#include <array>
#include <memory>
#include <optional>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Text.h"
#include "paradox/format/FieldType.h"
#include "paradox/format/PxObject.h"
#include "repair/TableSequence.h"
#include "repair/verify/IndexMemoAudit.h"
#include "repair/verify/KeyFindings.h"

namespace remdo::repair {

namespace {

// More blocks than this are summed up in one line.
constexpr std::size_t kBlocksListed = 10;
constexpr int kCurrentFolderStructure = 21;
constexpr int kCurrentFolderThreeStructure = 22;
constexpr int kEarlierFolderStructure = 14;

struct TBlockWalk {
  std::vector<std::string> passedOver;  // one reason per block passed over
  std::optional<std::string> partial;   // the trailing part block
  std::int64_t empty = 0;               // blocks that say they hold no record
};

std::string Plural(std::int64_t n, std::string_view word) {
  return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

// The last-record offset a block's header holds (bytes 4 and 5).
std::int16_t LastRecordOffset(const std::string& path, std::int64_t start) {
  std::array<std::byte, 2> bytes{};
  const auto file = env::DefaultFileSystem().Open(path, env::TOpenMode::kRead);
  if (file->ReadAt(static_cast<std::uint64_t>(start + 4), bytes) != bytes.size()) return 0;
  return static_cast<std::int16_t>(std::to_integer<int>(bytes[0]) | (std::to_integer<int>(bytes[1]) << 8));
}

std::string DamagedBlockReason(paradox::TPxObject& reader, const std::string& path, std::int64_t start) {
  const int offset = LastRecordOffset(path, start);
  const int recordArea = reader.BlockSize() - static_cast<int>(paradox::TPxObject::kBlockHeaderSize);
  if (offset >= recordArea) return "last-record offset " + std::to_string(offset) + " beyond the block";
  return "last-record offset " + std::to_string(offset) + " not a multiple of the record size " +
         std::to_string(reader.RecordSize());
}

TBlockWalk WalkBlocks(paradox::TPxObject& reader, const std::string& path) {
  TBlockWalk walk;
  const auto headerSize = static_cast<std::int64_t>(reader.HeaderBytes().size());
  const std::int64_t wholeBlocks = reader.BlockCount();
  for (;;) {
    const std::int64_t before = reader.CurrentBlock();
    const std::int64_t passedBefore = reader.PassedOverBlocks();
    try {
      if (!reader.NextBlock()) break;
    } catch (const env::EReadError& error) {
      if (reader.CurrentBlock() == before) break;
      walk.passedOver.push_back("block " + std::to_string(reader.CurrentBlock()) + ": " + error.what());
      continue;
    }
    const std::int64_t block = reader.CurrentBlock();
    const std::int64_t start = headerSize + block * reader.BlockSize();
    const std::string name = "block " + std::to_string(block);
    if (block >= wholeBlocks) {
      walk.partial = "file ends " + std::to_string(reader.FileSize() - start) + " bytes into " + name;
    }
    if (reader.BlockState() == paradox::TBlockState::kEmpty) ++walk.empty;
    if (reader.PassedOverBlocks() == passedBefore) continue;
    // A block the reader skipped whole, or one the end of the file cut.
    const bool damaged = reader.BlockState() == paradox::TBlockState::kDamaged && block < wholeBlocks;
    std::string reason = damaged ? DamagedBlockReason(reader, path, start) : "records cut off by the end of the file";
    if (reader.BlockState() == paradox::TBlockState::kZeroed) reason = "every byte zero, no record";
    walk.passedOver.push_back(name + ": " + reason);
  }
  const std::int64_t rest = reader.FileSize() - headerSize - wholeBlocks * reader.BlockSize();
  if (!walk.partial && rest > 0) {
    walk.partial = "file ends " + std::to_string(rest) + " bytes into block " + std::to_string(wholeBlocks);
  }
  return walk;
}

// "|4|30|20": the widths of the fields, as the check's format test
// compares them.
std::string FileSignature(const paradox::TPxObject& reader) {
  std::string text;
  for (int i = 0; i < reader.FieldCount(); ++i) text += "|" + std::to_string(reader.FieldByNumber(i).Width());
  return text;
}

// The same widths as a table created with the structure has them.
std::string StructureSignature(std::int32_t structureNumber) {
  const catalogue::TFieldSpecList specs = catalogue::GetTableSchema(structureNumber);
  std::string text;
  for (const auto& spec : catalogue::ReadFieldSpecs(specs).fields) {
    const auto type = paradox::FieldTypeFromEngineCode(spec.engineType);
    if (!type) return "?";
    int size = paradox::FixedWidth(*type);
    if (*type == paradox::TFieldType::kAlpha || *type == paradox::TFieldType::kBytes) size = spec.size;
    if (paradox::IsBlobType(*type)) size = spec.size + paradox::kBlobReferenceSize;
    text += "|" + std::to_string(paradox::FieldWidth(*type, size));
  }
  return text;
}

void AddLayoutFindings(const paradox::TPxObject& reader, std::int32_t structureNumber, TTableFindings& findings) {
  if (structureNumber == 0) return;
  const std::string table = FileSignature(reader);
  const std::string wanted = StructureSignature(structureNumber);
  if (table == wanted) {
    findings.lines.push_back("    layout             : as structure " + std::to_string(structureNumber));
    return;
  }
  // A current-layout folder table may still have the earlier folder layout,
  // which a repair converts.
  if ((structureNumber == kCurrentFolderStructure || structureNumber == kCurrentFolderThreeStructure) &&
      table == StructureSignature(kEarlierFolderStructure)) {
    findings.lines.push_back("    layout             : earlier folder layout (structure 14)");
    findings.damaged = true;
    return;
  }
  findings.lines.push_back("  -- incorrect table format");
  findings.lines.push_back("     fields " + table + ", structure " + std::to_string(structureNumber) + " " + wanted);
  findings.damaged = true;
}

void AddRecordFindings(paradox::TPxObject& reader, const std::string& path, std::int32_t structureNumber,
                       TTableFindings& findings) {
  auto& lines = findings.lines;
  const TBlockWalk blocks = WalkBlocks(reader, path);
  const TKeyFindings keys = FindKeyDamage(reader);
  const std::int64_t header = reader.RecordCount();
  lines.push_back("    records found      : " + std::to_string(keys.records));
  if (keys.records != header) findings.damaged = true;
  if (keys.records < header) lines.push_back("  -- " + Plural(header - keys.records, "record") + " not found");
  if (keys.records > header) {
    lines.push_back("  -- " + Plural(keys.records - header, "record") + " past the header count");
  }
  if (!blocks.passedOver.empty()) {
    findings.damaged = true;
    lines.push_back("  -- " + Plural(static_cast<std::int64_t>(blocks.passedOver.size()), "block") + " passed over");
    for (std::size_t i = 0; i < blocks.passedOver.size() && i < kBlocksListed; ++i) {
      lines.push_back("     " + blocks.passedOver[i]);
    }
    if (blocks.passedOver.size() > kBlocksListed) {
      lines.push_back("     and " + std::to_string(blocks.passedOver.size() - kBlocksListed) + " more");
    }
  }
  // Free blocks are empty too; an empty block counts as damage only when
  // records are missing.
  if (blocks.empty > 0) lines.push_back("    empty blocks       : " + std::to_string(blocks.empty));
  if (blocks.partial) {
    findings.damaged = true;
    lines.push_back("  -- partial block: " + *blocks.partial);
  }
  AddLayoutFindings(reader, structureNumber, findings);
  for (const auto& line : keys.lines) lines.push_back(line);
  if (keys.damaged) findings.damaged = true;
  // The index files and the memo file against the data file. The indexes
  // the structure asks for are named, so that a missing one is a finding.
  TIndexMemoOptions options;
  options.encryptionMarkIsDamage = reader.IsEncrypted();  // only a mark over plain blocks gets here
  if (structureNumber != 0) {
    options.indexedFields = catalogue::ReadFieldSpecs(catalogue::GetTableSchema(structureNumber)).IndexedFields();
  }
  const TIndexMemoAudit audit = AuditIndexesAndMemo(env::DefaultFileSystem(), path, options);
  // Each of its lines names damage, and is marked so.
  for (const auto& line : audit.lines) lines.push_back("  -- " + line.substr(line.find_first_not_of(' ')));
  if (audit.counts.IsDamaged()) findings.damaged = true;
}

}  // namespace

TTableFindings FindTableDamage(const std::string& dataPath, std::int32_t structureNumber) {
  TTableFindings findings;
  std::unique_ptr<paradox::TPxObject> reader;
  try {
    reader = std::make_unique<paradox::TPxObject>(
        env::TFileStream(env::DefaultFileSystem(), dataPath, env::TOpenMode::kRead));
  } catch (const env::EReadError& error) {
    findings.lines.push_back("  -- unreadable table: " + std::string(error.what()));
    findings.unreadable = findings.damaged = true;
    return findings;
  }
  findings.lines.push_back("    header records     : " + std::to_string(reader->RecordCount()));
  const bool enciphered = reader->IsEncrypted() && !reader->DataBlocksReadPlain();
  if (!reader->HasHeader() || !reader->HasFields() || enciphered) {
    findings.lines.push_back(enciphered ? "  -- file marked as encrypted" : "  -- unreadable table format");
    findings.unreadable = findings.damaged = true;
    return findings;
  }
  if (reader->IsEncrypted()) {
    // A repair rebuilds such a table as any other.
    findings.lines.push_back("  -- encryption mark over plain data blocks: header damage");
    findings.damaged = true;
  }
  try {
    AddRecordFindings(*reader, dataPath, structureNumber, findings);
  } catch (const env::EReadError& error) {
    // No block size, or a record size no block can hold.
    findings.lines.push_back("  -- unreadable table: " + std::string(error.what()));
    findings.unreadable = findings.damaged = true;
  }
  return findings;
}

std::int32_t StructureOfTable(std::string_view tableName, bool currentLayout) {
  if (const auto folder = catalogue::FolderTableNumber(std::string(tableName) + ".db")) {
    if (!currentLayout) return kEarlierFolderStructure;
    return *folder == 3 ? kCurrentFolderThreeStructure : kCurrentFolderStructure;
  }
  for (const TSequenceRow& row : SequenceRows(currentLayout)) {
    if (env::SameText(row.tableName, tableName)) return row.structureNumber;
  }
  return 0;
}

}  // namespace remdo::repair
