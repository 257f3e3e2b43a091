// The run's rejected files. Refused records are written as a table without
// key, so that records whose keys clash (the commonest reason for a
// refusal) all fit; the memo column that the built-in structure declares as
// alpha is turned into a memo column afterwards, as the swap does for a
// rebuilt table, and its values are copied into a memo file of its own.
#include "repair/RejectedFiles.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "catalogue/TableCreation.h"
#include "env/CodePage.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Database.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/FieldValue.h"
#include "paradox/index/LanguageDriver.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoPack.h"
#include "repair/RepairContext.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {


std::string MakeFolder(const std::string& folder) {
  if (!env::MakeFolders(env::DefaultFileSystem(), folder)) {
    throw env::EFCreateError("Cannot create the folder " + folder + ".");
  }
  return folder;
}

// The fields of a structure as a header describes them, the memo column
// given its real type.
std::vector<paradox::THeaderField> StructureFields(std::int32_t structureNumber) {
  const catalogue::TFieldSpecList specs = catalogue::GetTableSchema(structureNumber);
  const catalogue::TFieldSpecReading reading = catalogue::ReadFieldSpecs(specs);
  const std::optional<int> memo = catalogue::MemoFieldNumber(structureNumber);
  std::vector<paradox::THeaderField> fields;
  for (const auto& spec : reading.fields) {
    paradox::THeaderField field;
    field.type = paradox::FieldTypeFromEngineCode(spec.engineType).value_or(paradox::TFieldType::kAlpha);
    // A real blob column holds its leader and the 10-byte reference.
    int size = paradox::IsBlobType(field.type) ? spec.size + paradox::kBlobReferenceSize : spec.size;
    if (size == 0) size = paradox::FixedWidth(field.type);
    field.size = static_cast<std::uint8_t>(size);
    if (memo && *memo == spec.number) field.type = paradox::TFieldType::kMemo;
    field.name = spec.name;
    fields.push_back(field);
  }
  return fields;
}

// The structure's field list without key marks: a table without key.
catalogue::TFieldSpecList KeylessSchema(std::int32_t structureNumber) {
  catalogue::TFieldSpecList specs = catalogue::GetTableSchema(structureNumber);
  for (auto& spec : specs) std::erase(spec, '*');
  return specs;
}

struct TBlobColumn {
  std::size_t offset = 0;
  std::size_t width = 0;
  paradox::TBlobKind kind = paradox::TBlobKind::kMemo;
};

std::vector<TBlobColumn> BlobColumns(const std::vector<paradox::THeaderField>& fields) {
  std::vector<TBlobColumn> columns;
  std::size_t offset = 0;
  for (const auto& field : fields) {
    const auto width = static_cast<std::size_t>(field.Width());
    const auto kind = paradox::BlobKindOf(static_cast<std::uint8_t>(field.type));
    if (kind) columns.push_back({offset, width, *kind});
    offset += width;
  }
  return columns;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// One value of a record as text (Windows-1252); memo values come from the
// table's own memo file.
std::string ValueText(const paradox::THeaderField& field, std::byte* bytes, std::uint16_t codePage,
                      paradox::TMemoFile* memo) {
  const paradox::TFieldRef ref{field, bytes, codePage};
  if (!paradox::IsBlobType(field.type)) return paradox::GetFieldText(ref);
  if (memo == nullptr) return {};
  try {
    const auto value = memo->ReadField(std::span<const std::byte>(bytes, static_cast<std::size_t>(field.Width())));
    std::string text(reinterpret_cast<const char*>(value.data()), value.size());
    text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
    return env::ConvertCodePage(text, codePage, env::kCodePageWindowsLatin1);
  } catch (const env::EDBEngineError&) {
    return {};
  }
}

void WriteTextFile(const std::string& path, std::string_view text) {
  auto file = env::DefaultFileSystem().Open(path, env::TOpenMode::kCreate);
  file->WriteAt(0, std::as_bytes(std::span<const char>(text.data(), text.size())));
  file->Flush();
  file->Close();
}

void WriteCsv(const std::string& path, const std::vector<paradox::THeaderField>& fields, std::int32_t structureNumber,
              std::vector<std::byte>& records, std::size_t recordSize, paradox::TMemoFile* memo) {
  const paradox::TLanguageDriver* driver =
      paradox::FindLanguageDriver(catalogue::SchemaLanguageDriver(structureNumber));
  const std::uint16_t codePage = driver == nullptr ? 0 : driver->codePage;
  std::string text;
  for (std::size_t i = 0; i < fields.size(); ++i) text += (i == 0 ? "" : ",") + CsvField(fields[i].name);
  text += "\r\n";
  for (std::size_t at = 0; at + recordSize <= records.size(); at += recordSize) {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const auto width = static_cast<std::size_t>(fields[i].Width());
      const std::string value =
          offset + width <= recordSize ? ValueText(fields[i], records.data() + at + offset, codePage, memo) : "";
      text += (i == 0 ? "" : ",") + CsvField(value);
      offset += width;
    }
    text += "\r\n";
  }
  WriteTextFile(path, env::Cp1252ToUtf8(text));
}

// Copies the values of the records' blob fields from the memo file they
// refer to into the new memo file path and points the fields at them.
void CopyMemoValues(const std::string& source, const std::string& path, const std::vector<TBlobColumn>& blobs,
                    std::vector<std::byte>& records, std::size_t recordSize) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  paradox::TMemoFile from(fileSystem, source);
  paradox::TMemoFileBuilder to(fileSystem, path);
  for (std::size_t at = 0; at + recordSize <= records.size(); at += recordSize) {
    std::vector<paradox::TBlobFieldRef> refs;
    for (const auto& blob : blobs) {
      if (blob.offset + blob.width > recordSize) continue;
      refs.push_back({blob.kind, std::span<std::byte>(records.data() + at + blob.offset, blob.width)});
    }
    (void)paradox::CopyBlobValues(from, to, refs);
  }
  to.Finish();
}

void CreateKeylessTable(const std::string& folder, const std::string& fileName, std::int32_t structureNumber) {
  paradox::TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  if (!catalogue::CreateParadoxTable(database.Handle(), fileName, catalogue::SchemaLanguageDriver(structureNumber),
                                   KeylessSchema(structureNumber), catalogue::SchemaLevel(structureNumber))) {
    throw env::EFCreateError("Cannot create the table " + folder + fileName + ".");
  }
}

void InsertRecords(const std::string& folder, const std::string& fileName, const std::vector<std::byte>& records,
                   std::size_t recordSize) {
  paradox::TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName(fileName);
  table.SetExclusive(true);
  table.Open();
  for (std::size_t at = 0; at + recordSize <= records.size(); at += recordSize) {
    const std::uint16_t code = paradox::DbiInsertRecord(
        table.Handle(), paradox::TDbiLock::kNoLock, std::span<const std::byte>(records.data() + at, recordSize));
    paradox::CheckEngineResult(code, "Keeping a refused record in " + folder + fileName);
  }
  table.Close();
}

}  // namespace

std::string RejectedFolder(TRepairContext& context) {
  return MakeFolder(TRepairContext::DataFolder() + context.RejectedFolderName());
}

std::string OriginalFilesFolder(TRepairContext& context) {
  const std::string folder = RejectedFolder(context);
  return MakeFolder(folder + "Original" + env::SeparatorOf(folder));
}

std::string FreeTableName(const std::string& folder, std::string_view tableName) {
  std::string name(tableName);
  for (int n = 2; !env::DefaultFileSystem().Find(folder + name + ".*", env::attr::kAnyFile).empty(); ++n) {
    name = std::string(tableName) + "_" + std::to_string(n);
  }
  return name;
}

void TRejectedRecords::Reset(std::size_t recordSize) {
  recordSize_ = recordSize;
  bytes_.clear();
}

void TRejectedRecords::Add(std::span<const std::byte> record) {
  const std::size_t size = std::min(record.size(), recordSize_);
  bytes_.insert(bytes_.end(), record.begin(), record.begin() + static_cast<std::ptrdiff_t>(size));
  bytes_.resize(bytes_.size() + (recordSize_ - size), std::byte{0});
}

std::string TRejectedRecords::Keep(TRepairContext& context, std::string_view tableName, std::int32_t structureNumber,
                                   const std::string& memoSource) const {
  const std::string folder = RejectedFolder(context);
  const std::string name = FreeTableName(folder, tableName);
  const auto fields = StructureFields(structureNumber);
  const auto blobs = BlobColumns(fields);
  std::vector<std::byte> records = bytes_;
  // The table first: creating a table with memo columns makes an empty memo
  // file, which the copied values then replace.
  CreateKeylessTable(folder, name + ".db", structureNumber);
  if (!blobs.empty()) CopyMemoValues(memoSource, folder + name + ".mb", blobs, records, recordSize_);
  InsertRecords(folder, name + ".db", records, recordSize_);
  if (const auto memoField = catalogue::MemoFieldNumber(structureNumber)) WriteMemoTypeCode(folder + name + ".db", *memoField);
  std::unique_ptr<paradox::TMemoFile> memo;
  if (!blobs.empty()) memo = std::make_unique<paradox::TMemoFile>(env::DefaultFileSystem(), folder + name + ".mb");
  WriteCsv(folder + name + ".csv", fields, structureNumber, records, recordSize_, memo.get());
  return context.RejectedFolderName() + name + ".db";
}

namespace {

// Hands each of a table's files in the data folder, with the path it gets
// under a free table name in Rejected\<run>\Original\, to place; answers
// that folder relative to the data folder.
template <typename Place>
std::string PlaceOriginalFiles(TRepairContext& context, std::string_view tableName,
                               const std::vector<std::string>& names, Place place) {
  const std::string folder = OriginalFilesFolder(context);
  const std::string base = FreeTableName(folder, tableName);
  const std::string dataFolder = TRepairContext::DataFolder();
  for (const auto& name : names) place(dataFolder + name, folder + base + std::string(env::ExtensionPart(name)));
  return folder.substr(dataFolder.size());
}

}  // namespace

std::string KeepOriginalFiles(TRepairContext& context, std::string_view tableName,
                              const std::vector<std::string>& names) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  return PlaceOriginalFiles(context, tableName, names, [&](const std::string& from, const std::string& to) {
    env::CopyWholeFile(fileSystem, from, to);
  });
}

std::string MoveOriginalFiles(TRepairContext& context, std::string_view tableName,
                              const std::vector<std::string>& names) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string relative =
      PlaceOriginalFiles(context, tableName, names, [&](const std::string& from, const std::string& to) {
        const env::TIoResult moved = fileSystem.Rename(from, to, false);
        if (!moved) throw env::EWriteError("Cannot move " + from + " to " + to + ": " + moved.reason);
      });
  (void)fileSystem.SyncFolder(TRepairContext::DataFolder() + relative);
  (void)fileSystem.SyncFolder(TRepairContext::DataFolder());
  return relative;
}

bool IsTableFamilyFile(std::string_view name) {
  const std::string_view extension = env::ExtensionPart(name);
  if (extension.size() < 2) return false;
  const std::string upper = env::UpperCase(extension.substr(1));
  return upper == "DB" || upper == "PX" || upper == "MB" || upper[0] == 'X' || upper[0] == 'Y';
}

}  // namespace remdo::repair
