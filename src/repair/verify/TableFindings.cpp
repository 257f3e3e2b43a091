// The verify-only findings of one table: the block walk, the counts and the
// layout. The key checks are in KeyFindings.cpp.
#include "repair/verify/TableFindings.h"

#include <algorithm>
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

struct TBlockWalk {
  std::vector<TPlace> passedOver;       // one reason per block passed over
  std::optional<std::string> partial;   // the trailing part block
  std::int64_t empty = 0;               // blocks that say they hold no record
};

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
      walk.passedOver.emplace_back("block " + std::to_string(reader.CurrentBlock()) + ": " + error.what(),
                                   reader.CurrentBlock());
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
    walk.passedOver.emplace_back(name + ": " + reason, block);
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
    findings.findings.push_back(MakeFinding(TFindingCode::kLayoutAsStructure, {std::to_string(structureNumber)}));
    return;
  }
  // A current-layout folder table may still have the earlier folder layout,
  // which a repair converts.
  if ((structureNumber == catalogue::kFolderStructure || structureNumber == catalogue::kFolderThreeStructure) &&
      table == StructureSignature(catalogue::kEarlierFolderStructure)) {
    findings.findings.push_back(MakeFinding(TFindingCode::kEarlierFolderLayout));
    findings.damaged = true;
    return;
  }
  TFinding format = MakeFinding(TFindingCode::kIncorrectTableFormat);
  format.examples.emplace_back("fields " + table + ", structure " + std::to_string(structureNumber) + " " + wanted);
  findings.findings.push_back(std::move(format));
  findings.damaged = true;
}

void AddRecordFindings(paradox::TPxObject& reader, const std::string& path, std::int32_t structureNumber,
                       TTableFindings& findings) {
  auto& found = findings.findings;
  const TBlockWalk blocks = WalkBlocks(reader, path);
  const TKeyFindings keys = FindKeyDamage(reader);
  const std::int64_t header = reader.RecordCount();
  found.push_back(MakeFinding(TFindingCode::kRecordsFound, {std::to_string(keys.records)}));
  if (keys.records != header) findings.damaged = true;
  if (keys.records < header) {
    found.push_back(MakeFinding(TFindingCode::kRecordsNotFound, {std::to_string(header - keys.records)}));
  }
  if (keys.records > header) {
    found.push_back(MakeFinding(TFindingCode::kRecordsPastHeaderCount, {std::to_string(keys.records - header)}));
  }
  if (!blocks.passedOver.empty()) {
    findings.damaged = true;
    const auto count = static_cast<std::int64_t>(blocks.passedOver.size());
    TFinding passed = MakeFinding(TFindingCode::kBlocksPassedOver, {std::to_string(count)});
    passed.count = count;
    const std::size_t listed = std::min(blocks.passedOver.size(), kBlocksListed);
    passed.examples.assign(blocks.passedOver.begin(), blocks.passedOver.begin() + static_cast<std::ptrdiff_t>(listed));
    passed.examplesLeftOut = blocks.passedOver.size() > kBlocksListed;
    found.push_back(std::move(passed));
  }
  // Free blocks are empty too; an empty block counts as damage only when
  // records are missing.
  if (blocks.empty > 0) found.push_back(MakeFinding(TFindingCode::kEmptyBlocks, {std::to_string(blocks.empty)}));
  if (blocks.partial) {
    findings.damaged = true;
    found.push_back(MakeFinding(TFindingCode::kPartialBlock, {*blocks.partial}));
  }
  AddLayoutFindings(reader, structureNumber, findings);
  found.insert(found.end(), keys.findings.begin(), keys.findings.end());
  if (keys.damaged) findings.damaged = true;
  // The index files and the memo file against the data file. The indexes
  // the structure asks for are named, so that a missing one is a finding.
  TIndexMemoOptions options;
  options.encryptionMarkIsDamage = reader.IsEncrypted();  // only a mark over plain blocks gets here
  if (structureNumber != 0) {
    options.indexedFields = catalogue::ReadFieldSpecs(catalogue::GetTableSchema(structureNumber)).IndexedFields();
  }
  const TIndexMemoAudit audit = AuditIndexesAndMemo(env::DefaultFileSystem(), path, options);
  found.insert(found.end(), audit.findings.begin(), audit.findings.end());
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
    findings.findings.push_back(MakeFinding(TFindingCode::kUnreadableTable, {error.what()}));
    findings.unreadable = findings.damaged = true;
    return findings;
  }
  findings.findings.push_back(MakeFinding(TFindingCode::kHeaderRecords, {std::to_string(reader->RecordCount())}));
  const bool enciphered = reader->IsEncrypted() && !reader->DataBlocksReadPlain();
  if (!reader->HasHeader() || !reader->HasFields() || enciphered) {
    findings.findings.push_back(
        MakeFinding(enciphered ? TFindingCode::kMarkedEncrypted : TFindingCode::kUnreadableTableFormat));
    findings.unreadable = findings.damaged = true;
    return findings;
  }
  if (reader->IsEncrypted()) {
    // A repair rebuilds such a table as any other.
    findings.findings.push_back(MakeFinding(TFindingCode::kEncryptionMarkOverPlainBlocks));
    findings.damaged = true;
  }
  try {
    AddRecordFindings(*reader, dataPath, structureNumber, findings);
  } catch (const env::EReadError& error) {
    // No block size, or a record size no block can hold.
    findings.findings.push_back(MakeFinding(TFindingCode::kUnreadableTable, {error.what()}));
    findings.unreadable = findings.damaged = true;
  }
  return findings;
}

std::int32_t StructureOfTable(std::string_view tableName, bool currentLayout) {
  if (const auto folder = catalogue::FolderTableNumber(std::string(tableName) + ".db")) {
    if (!currentLayout) return catalogue::kEarlierFolderStructure;
    return *folder == 3 ? catalogue::kFolderThreeStructure : catalogue::kFolderStructure;
  }
  for (const TSequenceRow& row : SequenceRows(currentLayout)) {
    if (env::SameText(row.tableName, tableName)) return row.structureNumber;
  }
  return 0;
}

}  // namespace remdo::repair
