// Table creation, index addition and restructure: the calls that define a
// table rather than change its records. Each builds the new table in memory
// and writes its whole family through one family commit, so the old family
// stays intact whenever the call answers with an error.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "env/CodePage.h"
#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/engine/OpenTable.h"
#include "paradox/family/FamilyCommit.h"
#include "paradox/family/TableFiles.h"
#include "paradox/index/IndexBuilder.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoPack.h"

namespace remdo::paradox {

namespace {

constexpr int kDefaultLevel = 4;
constexpr std::size_t kMaxFieldNameLength = 25;

std::uint16_t Guard(TDbHandle database) {
  if (!TEngineSession::Instance().Started()) return kDbiErrNotInitialized;
  if (database == nullptr) return kDbiErrInvalidHndl;
  return kDbiErrNone;
}

bool IsParadoxType(std::string_view type) { return type.empty() || env::SameText(type, kParadoxTableType); }

template <typename F>
std::uint16_t Answer(F&& step) {
  try {
    return step();
  } catch (const env::EDBEngineError& error) {
    return error.Code();
  } catch (const env::EReadError&) {
    return kDbiErrReadErr;
  } catch (const env::ERemdoError&) {
    // Files of the memo copy that could not be created or written.
    return kDbiErrWriteErr;
  }
}

// The table's options as a restructure or creation asks for them.
struct TTableOptions {
  std::optional<int> level;
  std::optional<std::uint32_t> blockSize;
  const TLanguageDriver* driver = nullptr;
  // A creation that copies records as they stand keeps the source's driver
  // bytes, known to the engine or not.
  std::string driverName;
  std::optional<std::uint8_t> sortOrder;
  std::optional<std::uint16_t> codePage;
};

// Where options are read: a restructure changes a driver only by its name.
enum class TOptionUse { kCreate, kRestructure };

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  text = env::Trim(text);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::uint16_t ReadOptions(const TCrTblDesc& desc, TOptionUse use, TTableOptions& options) {
  for (const auto& param : desc.optionalParams) {
    const std::size_t end = std::min<std::size_t>(desc.optionalData.size(), std::size_t{param.offset} + param.length);
    if (param.offset > end) return kDbiErrInvalidParam;
    std::string value;
    for (std::size_t i = param.offset; i < end && desc.optionalData[i] != std::byte{0}; ++i) {
      value.push_back(static_cast<char>(desc.optionalData[i]));
    }
    if (env::SameText(param.name, "LEVEL")) {
      const auto level = ParseNumber(value);
      if (!level || !IsWritableLevel(*level)) return kDbiErrInvalidParam;
      options.level = *level;
    } else if (env::SameText(param.name, "BLOCK SIZE")) {
      const auto size = ParseNumber(value);
      if (!size || *size < 1024 || *size > static_cast<int>(kMaxBlockSize) || *size % 1024 != 0) return kDbiErrInvalidParam;
      options.blockSize = static_cast<std::uint32_t>(*size);
    } else if (env::SameText(param.name, "LANGDRIVER")) {
      options.driver = FindLanguageDriver(value);
      options.driverName = value;
      if (options.driver == nullptr && (use == TOptionUse::kRestructure || value.empty())) return kDbiErrInvalidLangDrv;
    } else if (use == TOptionUse::kCreate && env::SameText(param.name, "SORT ORDER")) {
      const auto order = ParseNumber(value);
      if (!order || *order < 0 || *order > 0xFF) return kDbiErrInvalidParam;
      options.sortOrder = static_cast<std::uint8_t>(*order);
    } else if (use == TOptionUse::kCreate && env::SameText(param.name, "CODE PAGE")) {
      const auto codePage = ParseNumber(value);
      if (!codePage || *codePage < 0 || *codePage > 0xFFFF) return kDbiErrInvalidParam;
      options.codePage = static_cast<std::uint16_t>(*codePage);
    } else {
      return kDbiErrInvalidOption;
    }
  }
  // A driver the engine does not know is written only with its bytes.
  if (options.driver == nullptr && !options.driverName.empty() && !(options.sortOrder && options.codePage)) {
    return kDbiErrInvalidLangDrv;
  }
  return kDbiErrNone;
}

int RequiredLevel(const std::vector<THeaderField>& fields) {
  int level = 3;
  for (const auto& field : fields) level = std::max(level, MinimumLevel(field.type));
  return level;
}

// Applies options to a header. The level must admit every field type and the
// block must hold a record.
std::uint16_t ApplyOptions(const TTableOptions& options, TTableHeader& header) {
  if (options.level) {
    if (*options.level < RequiredLevel(header.fields)) return kDbiErrInvalidFldType;
    header.versionCode = VersionCodeOfLevel(*options.level);
  }
  if (options.blockSize) {
    if (header.ComputedRecordSize() + 6 > *options.blockSize) return kDbiErrRecTooBig;
    header.blockSize = *options.blockSize;
  }
  if (options.driver != nullptr) {
    header.sortOrder = options.driver->sortOrder;
    header.sortOrderName = std::string(options.driver->name);
    header.codePage = options.driver->codePage;
  } else if (!options.driverName.empty()) {
    header.sortOrderName = options.driverName;
  }
  if (options.sortOrder) header.sortOrder = *options.sortOrder;
  if (options.codePage) header.codePage = *options.codePage;
  return kDbiErrNone;
}

std::uint16_t ReadField(const TFldDesc& desc, std::size_t position, THeaderField& field) {
  const auto type = FieldTypeFromEngineCode(desc.type);
  if (!type) return kDbiErrInvalidFldType;
  if (desc.name.empty() || desc.name.size() > kMaxFieldNameLength) return kDbiErrInvalidFldDesc;
  int size = FixedWidth(*type);
  if (*type == TFieldType::kAlpha || *type == TFieldType::kBytes) size = desc.units1;
  if (IsBlobType(*type)) size = desc.units1 + kBlobReferenceSize;
  if (*type == TFieldType::kBcd) size = desc.units2 != 0 ? desc.units2 : desc.units1;
  if (!IsValidFieldSize(*type, size)) return kDbiErrInvalidFldDesc;
  field = {*type, static_cast<std::uint8_t>(size), desc.name, static_cast<std::uint16_t>(position + 1)};
  return kDbiErrNone;
}

// The primary key length an index descriptor asks for, or an error code.
std::uint16_t PrimaryKeyLength(const TIdxDesc& index, const std::vector<THeaderField>& fields, int& length) {
  if (index.keyFields.empty() || index.descending || index.caseInsensitive || index.expression || index.subset) {
    return kDbiErrInvalidIndexStruct;
  }
  for (std::size_t i = 0; i < index.keyFields.size(); ++i) {
    if (index.keyFields[i] != i + 1 || i >= fields.size()) return kDbiErrInvalidIndexStruct;
    if (IsBlobType(fields[i].type)) return kDbiErrInvalidIndexStruct;
  }
  length = static_cast<int>(index.keyFields.size());
  return kDbiErrNone;
}

TTableHeader NewTableHeader(const std::string& fileName, std::vector<THeaderField> fields) {
  TTableHeader header;
  const TLanguageDriver& driver = DefaultLanguageDriver();
  header.fields = std::move(fields);
  header.versionCode = VersionCodeOfLevel(std::max(kDefaultLevel, RequiredLevel(header.fields)));
  header.blockSize = kDefaultBlockSize;
  while (header.ComputedRecordSize() + 6 > header.blockSize && header.blockSize < kMaxBlockSize) header.blockSize *= 2;
  header.sortOrder = driver.sortOrder;
  header.sortOrderName = std::string(driver.name);
  header.codePage = driver.codePage;
  header.tableName = fileName;
  return header;
}

// The field (0-based) a secondary index descriptor asks a maintained
// single-field index for, or an error code. Only the indexes named after
// their field, on one field, ascending, case-sensitive and maintained are
// built (.Xnn/.Ynn); composite and other named indexes (.XGn) are not.
std::uint16_t SecondaryIndexField(const TIdxDesc& index, const std::vector<THeaderField>& fields, std::size_t& field) {
  if (index.keyFields.size() != 1 || index.expression || index.subset) return kDbiErrInvalidIndexStruct;
  const std::size_t number = index.keyFields[0];
  if (number < 1 || number > fields.size() || IsBlobType(fields[number - 1].type)) return kDbiErrInvalidIndexStruct;
  if (!index.maintained || index.unique || index.descending || index.caseInsensitive) return kDbiErrNotSupported;
  if (!index.name.empty() && !env::SameText(index.name, fields[number - 1].name)) return kDbiErrNotSupported;
  field = number - 1;
  return kDbiErrNone;
}

// A memo file whose values could not all be copied stays beside the table
// under the first free name of <memo>.lost, <memo>.lost2, ..., so that no
// byte of it is lost with the pack.
void KeepDamagedMemoFile(const std::string& memoPath) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  std::string keep = memoPath + ".lost";
  for (int n = 2; fileSystem.FileExists(keep); ++n) keep = memoPath + ".lost" + std::to_string(n);
  env::CopyWholeFile(fileSystem, memoPath, keep);
}

// Translates the text of alpha fields between code pages, in place.
void TranslateAlpha(const TOpenTable& target, std::vector<std::byte>& record, std::uint16_t from, std::uint16_t to) {
  for (std::size_t i = 0; i < target.Header().fields.size(); ++i) {
    const THeaderField& field = target.Header().fields[i];
    if (field.type != TFieldType::kAlpha) continue;
    auto* text = reinterpret_cast<char*>(record.data() + target.FieldOffset(i));
    const std::string converted = env::ConvertCodePage(std::string_view(text, strnlen(text, field.size)), from, to);
    std::fill_n(text, field.size, '\0');
    std::copy_n(converted.data(), std::min<std::size_t>(converted.size(), field.size), text);
  }
}

// Copies the blob values of a restructured table into a new memo file.
class TMemoCopy {
 public:
  TMemoCopy(const TOpenTable& source, std::uint16_t from, std::uint16_t to)
      : memoPath_(source.MemoPath()),
        scratchName_(std::string(env::NamePart(memoPath_)) + std::string(kMemoPackSuffix) + std::string(kNewSuffix)),
        scratchPath_(source.Files().folder + scratchName_),
        reader_(env::DefaultFileSystem(), memoPath_),
        builder_(env::DefaultFileSystem(), scratchPath_) {
    if (from != 0 && to != 0 && from != to) {
      transform_ = [from, to](TBlobKind kind, std::vector<std::byte>& value) {
        if (kind != TBlobKind::kMemo) return;
        const std::string text = env::ConvertCodePage(
            std::string_view(reinterpret_cast<const char*>(value.data()), value.size()), from, to);
        value.assign(reinterpret_cast<const std::byte*>(text.data()), reinterpret_cast<const std::byte*>(text.data()) + text.size());
      };
    }
  }
  ~TMemoCopy() {
    if (!adopted_) (void)env::DefaultFileSystem().Remove(scratchPath_);
  }

  void Copy(const TOpenTable& table, std::vector<std::byte>& record) {
    std::vector<TBlobFieldRef> refs;
    for (std::size_t i = 0; i < table.Header().fields.size(); ++i) {
      const THeaderField& field = table.Header().fields[i];
      if (!IsBlobType(field.type)) continue;
      refs.push_back({*BlobKindOf(static_cast<std::uint8_t>(field.type)),
                      std::span<std::byte>(record).subspan(table.FieldOffset(i), static_cast<std::size_t>(field.Width()))});
    }
    lost_ += CopyBlobValues(reader_, builder_, refs, transform_).size();
  }

  // Finishes the new file and hands it to target for its next write.
  void HandTo(TOpenTable& target) {
    builder_.Finish();
    reader_.Close();
    if (lost_ > 0 && env::DefaultFileSystem().FileExists(memoPath_)) KeepDamagedMemoFile(memoPath_);
    target.AdoptMemoFile(scratchName_);
  }
  // The write is done: the scratch file is the table's memo file now, or
  // was renamed back to its scratch name by a failed commit.
  void Adopted(bool done) { adopted_ = done; }

 private:
  const std::string memoPath_;
  const std::string scratchName_;
  const std::string scratchPath_;
  TMemoFile reader_;
  TMemoFileBuilder builder_;
  TBlobTransform transform_;
  std::size_t lost_ = 0;
  bool adopted_ = false;
};

// Moves every record of source into a table of the new header (translating
// alpha and memo text when the code page changes), with source's secondary
// indexes and the extra one asked for, copying the blob values into a new
// memo file, and writes that table's family.
std::uint16_t RewriteAs(TOpenTable& source, TTableHeader header, std::optional<std::size_t> extraIndex = std::nullopt) {
  TOpenTable target(env::DefaultFileSystem(), source.Files(), std::move(header));
  if (target.IsKeyed() && !target.CanOrderKeys()) return kDbiErrNotSupported;
  for (std::size_t i = 0; i < source.SecondaryIndexCount(); ++i) {
    if (const std::uint16_t code = target.AddSecondaryIndex(source.SecondaryIndexAt(i).Field())) return code;
  }
  if (extraIndex) {
    if (const std::uint16_t code = target.AddSecondaryIndex(*extraIndex)) return code;
  }
  const std::uint16_t from = source.CodePage();
  const std::uint16_t to = target.CodePage();
  const bool translate = from != 0 && to != 0 && from != to;
  std::unique_ptr<TMemoCopy> memo;
  if (target.HasBlobFields()) memo = std::make_unique<TMemoCopy>(source, from, to);
  std::vector<std::byte> copy(source.RecordSize());
  std::uint16_t code = kDbiErrNone;
  source.Records().ForEach([&](std::span<const std::byte> record) {
    if (code != kDbiErrNone) return;
    std::copy(record.begin(), record.end(), copy.begin());
    if (translate) TranslateAlpha(target, copy, from, to);
    if (memo) memo->Copy(target, copy);
    code = target.Insert(copy, target.RecordCount(), nullptr);
  });
  if (code != kDbiErrNone) return code;
  if (memo) memo->HandTo(target);
  try {
    target.WriteFamily(TWriteMode::kRewrite);
  } catch (...) {
    if (memo) memo->Adopted(false);
    throw;
  }
  if (memo) memo->Adopted(true);
  return kDbiErrNone;
}

// Loads a closed table of the database's folder for a definition change.
std::unique_ptr<TOpenTable> LoadClosed(TDbHandle database, std::string_view tableName, std::uint16_t& code) {
  const std::string path = TableDataPath(database->Folder(), tableName);
  if (TEngineSession::Instance().FindOpenTable(path) != nullptr) {
    code = kDbiErrNeedExclAccess;
    return nullptr;
  }
  auto table = TOpenTable::Load(env::DefaultFileSystem(), path);
  if (table->Header().IsEncrypted()) code = kDbiErrTblEncrypted;
  return table;
}

}  // namespace

std::uint16_t DbiCreateTable(TDbHandle database, bool overwrite, const TCrTblDesc& desc) {
  if (const std::uint16_t code = Guard(database)) return code;
  if (!IsParadoxType(desc.tableType)) return kDbiErrUnknownTblType;
  if (desc.tableName.empty()) return kDbiErrInvalidTableName;
  if (desc.fields.empty() || desc.fields.size() > TTableHeader::kMaxFields) return kDbiErrInvalidFldDesc;
  std::vector<THeaderField> fields(desc.fields.size());
  for (std::size_t i = 0; i < desc.fields.size(); ++i) {
    if (const std::uint16_t code = ReadField(desc.fields[i], i, fields[i])) return code;
    for (std::size_t j = 0; j < i; ++j) {
      if (env::SameText(fields[j].name, fields[i].name)) return kDbiErrInvalidFldDesc;
    }
  }
  int keyLength = 0;
  std::vector<std::size_t> indexed;
  for (const auto& index : desc.indexes) {
    if (!index.primary) continue;
    if (const std::uint16_t code = PrimaryKeyLength(index, fields, keyLength)) return code;
  }
  for (const auto& index : desc.indexes) {
    if (index.primary) continue;
    std::size_t field = 0;
    if (const std::uint16_t code = SecondaryIndexField(index, fields, field)) return code;
    // Maintained indexes need a primary key.
    if (keyLength == 0) return kDbiErrNotSupported;
    indexed.push_back(field);
  }
  const std::string path = TableDataPath(database->Folder(), desc.tableName);
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  if (TEngineSession::Instance().FindOpenTable(path) != nullptr) return kDbiErrTableOpen;
  if (!overwrite && fileSystem.FileExists(path)) return kDbiErrTableExists;
  TTableHeader header = NewTableHeader(std::string(env::NamePart(path)), std::move(fields));
  header.keyFieldCount = static_cast<std::int16_t>(keyLength);
  TTableOptions options;
  if (const std::uint16_t code = ReadOptions(desc, TOptionUse::kCreate, options)) return code;
  if (const std::uint16_t code = ApplyOptions(options, header)) return code;
  if (header.ComputedRecordSize() + 6 > header.blockSize) return kDbiErrRecTooBig;
  return Answer([&] {
    TOpenTable table(fileSystem, FindTableFiles(fileSystem, path), std::move(header));
    if (table.IsKeyed() && !table.CanOrderKeys()) return kDbiErrNotSupported;
    for (const std::size_t field : indexed) {
      if (const std::uint16_t code = table.AddSecondaryIndex(field)) return code;
    }
    table.WriteFamily(TWriteMode::kCreate);
    return kDbiErrNone;
  });
}

std::uint16_t DbiAddIndex(TDbHandle database, TCursorHandle cursor, std::string_view tableName,
                          std::string_view driverType, const TIdxDesc& index, std::string_view /*keyViolationTable*/) {
  if (const std::uint16_t code = Guard(database)) return code;
  if (!IsParadoxType(driverType)) return kDbiErrUnknownTblType;
  if (cursor != nullptr) return kDbiErrNeedExclAccess;  // indexes are added to closed tables only
  return Answer([&] {
    std::uint16_t code = kDbiErrNone;
    auto table = LoadClosed(database, tableName, code);
    if (code != kDbiErrNone) return code;
    TTableHeader header = table->Header();
    if (!index.primary) {
      std::size_t field = 0;
      if ((code = SecondaryIndexField(index, header.fields, field)) != kDbiErrNone) return code;
      if (header.keyFieldCount == 0) return kDbiErrNotSupported;  // maintained indexes need a primary key
      for (std::size_t i = 0; i < table->SecondaryIndexCount(); ++i) {
        if (table->SecondaryIndexAt(i).Field() == field) return kDbiErrIndexExists;
      }
      return RewriteAs(*table, std::move(header), field);
    }
    int keyLength = 0;
    if ((code = PrimaryKeyLength(index, header.fields, keyLength)) != kDbiErrNone) return code;
    if (header.keyFieldCount == keyLength) return kDbiErrIndexExists;
    if (header.keyFieldCount != 0) return kDbiErrPrimaryKeyRedefine;
    header.keyFieldCount = static_cast<std::int16_t>(keyLength);
    return RewriteAs(*table, std::move(header));
  });
}

std::uint16_t DbiDoRestructure(TDbHandle database, std::uint16_t descCount, const TCrTblDesc* desc,
                               std::string_view saveAs, std::string_view /*keyViolationTable*/,
                               std::string_view /*problemTable*/, bool analyzeOnly) {
  if (const std::uint16_t code = Guard(database)) return code;
  if (descCount != 1 || desc == nullptr) return kDbiErrInvalidParam;
  if (!IsParadoxType(desc->tableType)) return kDbiErrUnknownTblType;
  if (!saveAs.empty() || analyzeOnly || !desc->fields.empty() || !desc->indexes.empty()) return kDbiErrNotSupported;
  TTableOptions options;
  if (const std::uint16_t code = ReadOptions(*desc, TOptionUse::kRestructure, options)) return code;
  return Answer([&] {
    std::uint16_t code = kDbiErrNone;
    auto table = LoadClosed(database, desc->tableName, code);
    if (code != kDbiErrNone) return code;
    TTableHeader header = table->Header();
    if (!IsWritableLevel(header.Level())) {
      // An older table is written at level 4 unless the restructure names a
      // level. Its header names the driver by the sort byte alone: one the
      // engine does not know gives no name or code page to write, and
      // another would make the text read in another code page.
      header.versionCode = VersionCodeOfLevel(kDefaultLevel);
      if (table->Driver() == nullptr && options.driver == nullptr) return kDbiErrInvalidLangDrv;
      const TLanguageDriver* driver = table->Driver() != nullptr ? table->Driver() : options.driver;
      header.sortOrderName = std::string(driver->name);
      header.codePage = table->CodePage() != 0 ? table->CodePage() : driver->codePage;
      for (std::size_t i = 0; i < header.fields.size(); ++i) header.fields[i].number = static_cast<std::uint16_t>(i + 1);
    }
    if ((code = ApplyOptions(options, header)) != kDbiErrNone) return code;
    return RewriteAs(*table, std::move(header));
  });
}

}  // namespace remdo::paradox
