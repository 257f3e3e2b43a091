// remdo-table copy SRC DST: rebuilds a whole table family through the engine,
// the way a user repairs one table by hand: a new table DST of the same
// fields, key, level, block size and language driver (name, sort byte and
// code page as the source has them), with every maintained
// single-field secondary index of SRC, gets every record of SRC in its
// order, memo and BLOB values included. DST's family (data file, primary
// index, .Xnn/.Ynn, memo file) is replaced as a whole.
//
// The source's records are read block by block from its data file and go
// straight into DST's load, each memo value read once and written once, so
// the copy holds a block of SRC at a time, whatever SRC's size. A copy that
// fails on the way (SRC found damaged, DST's disk full) removes what it had
// written of DST.
//
// What cannot be carried over is named on the error stream, and the copy
// goes on: a level 3 table is written at level 4 (the engine writes levels
// 4, 5 and 7), composite or named indexes (.XGn) and indexes of tables
// without key are not built, a blob value the memo file no longer holds
// keeps only what its record holds (the leader's first bytes of a memo,
// nothing of a graphic or OLE value). A table the engine cannot read, whose
// alpha keys follow a language driver of unknown order, or a level 3 table
// whose driver is unknown (a level 4 header must name it), is refused
// (exit status 1).
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/engine/Engine.h"
#include "paradox/family/TableFiles.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/FieldValue.h"
#include "paradox/engine/OpenTable.h"
#include "remdo-table/Commands.h"

namespace remdo::tools {

namespace {

using paradox::TOpenTable;
using paradox::TTable;

constexpr int kLowestWrittenLevel = 4;

struct TCopyReport {
  std::size_t records = 0;
  std::size_t storedValues = 0;
  std::size_t lostValues = 0;
};

void AddOption(paradox::TCrTblDesc& desc, const std::string& name, const std::string& value) {
  paradox::TFldDesc param;
  param.name = name;
  param.offset = static_cast<std::uint16_t>(desc.optionalData.size());
  param.length = static_cast<std::uint16_t>(value.size() + 1);
  for (const char c : value) desc.optionalData.push_back(static_cast<std::byte>(c));
  desc.optionalData.push_back(std::byte{0});
  desc.optionalParams.push_back(param);
}

// The records are copied as they stand, so their text stays in the
// source's code page: the copy gets the source's driver name, sort byte and
// code page as they are, whether the engine knows the driver or not. A
// level 3 header has the sort byte alone; its driver must be known to be
// named at level 4.
void AddDriverOptions(paradox::TCrTblDesc& desc, const paradox::TOpenTable& table) {
  const paradox::TTableHeader& header = table.Header();
  if (!header.HasExtension()) {
    if (table.Driver() == nullptr) {
      throw ECommandFailure(table.Files().DataPath() + ": its language driver (sort order " +
                            std::to_string(header.sortOrder) +
                            ") is not known, so it cannot be named in the level 4 copy");
    }
    AddOption(desc, "LANGDRIVER", std::string(table.Driver()->name));
    return;
  }
  if (header.sortOrderName.empty()) {
    throw ECommandFailure(table.Files().DataPath() + ": its header names no language driver");
  }
  AddOption(desc, "LANGDRIVER", header.sortOrderName);
  AddOption(desc, "SORT ORDER", std::to_string(header.sortOrder));
  AddOption(desc, "CODE PAGE", std::to_string(header.codePage));
}

// The creation descriptor of a table like source's, named name.
paradox::TCrTblDesc DescriptorLike(TOpenTable& table, const std::string& name, std::ostream& err) {
  const paradox::TTableHeader& header = table.Header();
  paradox::TCrTblDesc desc;
  desc.tableName = name;
  desc.tableType = std::string(paradox::kParadoxTableType);
  for (const auto& field : header.fields) {
    paradox::TFldDesc f;
    f.name = field.name;
    f.type = paradox::EngineCodeOfType(field.type);
    f.units1 = static_cast<std::int16_t>(paradox::IsBlobType(field.type) ? field.size - paradox::kBlobReferenceSize
                                                                         : field.size);
    desc.fields.push_back(f);
  }
  if (header.keyFieldCount > 0) {
    paradox::TIdxDesc primary;
    primary.primary = primary.unique = primary.maintained = true;
    for (int i = 1; i <= header.keyFieldCount; ++i) primary.keyFields.push_back(static_cast<std::uint16_t>(i));
    desc.indexes.push_back(primary);
  }
  for (std::size_t i = 0; i < table.SecondaryIndexCount(); ++i) {
    paradox::TIdxDesc index;
    index.name = table.SecondaryIndexAt(i).Name();
    index.maintained = true;
    index.keyFields.push_back(static_cast<std::uint16_t>(table.SecondaryIndexAt(i).FieldNumber()));
    desc.indexes.push_back(index);
  }
  int level = header.Level();
  if (level < kLowestWrittenLevel) {
    err << "remdo-table: note: the level " << level << " table is written at level " << kLowestWrittenLevel << "\n";
    level = kLowestWrittenLevel;
  }
  AddOption(desc, "LEVEL", std::to_string(level));
  AddOption(desc, "BLOCK SIZE", std::to_string(header.blockSize));
  AddDriverOptions(desc, table);
  return desc;
}

// The index files of source's family that the copy does not rebuild.
void NoteIndexesNotCopied(TOpenTable& table, std::ostream& err) {
  for (const std::string& name : table.Files().secondary) {
    bool copied = false;
    for (std::size_t i = 0; i < table.SecondaryIndexCount(); ++i) {
      const auto& index = table.SecondaryIndexAt(i);
      copied = copied || env::SameText(index.dataFile, name) || env::SameText(index.treeFile, name);
    }
    if (!copied) {
      err << "remdo-table: note: " << env::Cp1252ToUtf8(name)
          << " is not copied (only maintained single-field indexes are built)\n";
    }
  }
}

// What a record keeps of a blob value that cannot be read.
std::vector<std::byte> WhatTheRecordHolds(const paradox::THeaderField& field, std::span<const std::byte> bytes) {
  const auto kind = paradox::BlobKindOf(static_cast<std::uint8_t>(field.type));
  if (!kind || paradox::HasBlobPrefix(*kind)) return {};
  const std::size_t leader = bytes.size() - paradox::TBlobDescriptor::kSize;
  const auto d = paradox::TBlobDescriptor::DecodeFrom(bytes.data() + leader);
  return std::vector<std::byte>(bytes.begin(),
                                bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(leader, d.length)));
}

bool IsAllZero(std::span<const std::byte> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

// Copies records from an open source into an open target, the way a post
// of each record through the components would: blob values stored anew,
// a blank autoincrement field numbered.
class TRecordCopier {
 public:
  TRecordCopier(TOpenTable& source, TOpenTable& target, TCopyReport& report, std::ostream& err)
      : source_(source), target_(target), report_(report), err_(err), record_(source.RecordSize()) {
    const auto& fields = source.Header().fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (paradox::IsBlobType(fields[i].type)) blobFields_.push_back(i);
      if (fields[i].type == paradox::TFieldType::kAutoIncrement) autoIncrementFields_.push_back(i);
    }
  }

  void Copy(std::span<const std::byte> from) {
    std::copy(from.begin(), from.end(), record_.begin());
    stored_.clear();
    try {
      for (const std::size_t i : blobFields_) CopyBlob(i, from);
      for (const std::size_t i : autoIncrementFields_) {
        const paradox::TFieldRef ref{target_.Header().fields[i], record_.data() + target_.FieldOffset(i), 0};
        if (paradox::FieldIsNull(ref)) paradox::SetFieldInteger(ref, target_.TakeAutoIncrement());
      }
      const std::uint16_t code = target_.Insert(record_, target_.RecordCount(), nullptr);
      if (code != paradox::kDbiErrNone) paradox::CheckEngineResult(code, "Posting a record to the copy");
    } catch (const env::ERemdoError&) {
      for (const paradox::TBlobDescriptor& d : stored_) target_.DiscardBlob(d);
      throw;
    }
    ++report_.records;
  }

 private:
  void CopyBlob(std::size_t i, std::span<const std::byte> from) {
    const paradox::THeaderField& field = source_.Header().fields[i];
    const std::size_t offset = source_.FieldOffset(i);
    const auto width = static_cast<std::size_t>(field.Width());
    const auto bytes = from.subspan(offset, width);
    // A blank field is already what the copied bytes hold.
    if (IsAllZero(bytes)) return;
    std::vector<std::byte> value;
    try {
      value = source_.ReadBlob(bytes);
      if (paradox::IsStoredBlob(paradox::DescriptorOfField(bytes))) ++report_.storedValues;
    } catch (const env::EDBEngineError& e) {
      ++report_.lostValues;
      err_ << "remdo-table: warning: record " << report_.records + 1 << ", field \""
           << env::Cp1252ToUtf8(field.name) << "\": " << env::Cp1252ToUtf8(e.what()) << "\n";
      value = WhatTheRecordHolds(field, bytes);
    }
    const std::span<std::byte> to(record_.data() + offset, width);
    stored_.push_back(target_.StoreBlob(to, *paradox::BlobKindOf(static_cast<std::uint8_t>(field.type)), value));
  }

  TOpenTable& source_;
  TOpenTable& target_;
  TCopyReport& report_;
  std::ostream& err_;
  std::vector<std::size_t> blobFields_;
  std::vector<std::size_t> autoIncrementFields_;
  std::vector<std::byte> record_;
  std::vector<paradox::TBlobDescriptor> stored_;
};

// Removes the files of the table at dataPath that a failed copy wrote.
void RemoveFamily(const std::string& dataPath) {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const paradox::TTableFiles files = paradox::FindTableFiles(fileSystem, dataPath);
  (void)fileSystem.Remove(files.DataPath());
  for (const std::string& name : files.Family()) (void)fileSystem.Remove(files.folder + name);
}

}  // namespace

int RunCopy(TCommandContext& context) {
  RequireArguments(context, 2);
  const std::string& sourcePath = context.arguments[0];
  const std::string& targetPath = context.arguments[1];
  const std::string sourceData = paradox::TableDataPath(env::FolderPart(sourcePath), env::NamePart(sourcePath));
  const std::string targetData = paradox::TableDataPath(env::FolderPart(targetPath), env::NamePart(targetPath));
  if (env::SameText(sourceData, targetData)) throw EUsageError("the copy must go to another table");
  (void)paradox::DbiInit(nullptr);
  // Connecting settles what a crash left in the source's folder before the
  // table is read; its records stay on disk until the copy reads them.
  const paradox::TConnectionLease sourceFolder =
      paradox::TEngineSession::Instance().Lease(env::FolderPart(sourceData));
  const std::unique_ptr<TOpenTable> source =
      TOpenTable::Load(env::DefaultFileSystem(), sourceData, paradox::TRecordLoading::kOnDisk);
  paradox::TDatabase database;
  database.SetDatabaseName(std::string(env::FolderPart(targetData)));
  database.Open();
  // What the engine did when it settled the folders (refused markers and
  // journals, leftovers removed).
  for (const std::string& warning : paradox::TEngineSession::Instance().TakeWarnings()) {
    context.err << "remdo-table: note: " << env::Cp1252ToUtf8(warning) << "\n";
  }
  const std::string targetName(env::NamePart(targetData));
  const std::uint16_t code =
      paradox::DbiCreateTable(database.Handle(), true, DescriptorLike(*source, targetName, context.err));
  if (code == paradox::kDbiErrNotSupported) {
    throw ECommandFailure(sourceData +
                          ": the sort order of its language driver is not known, so its alpha keys "
                          "cannot be placed in order: " +
                          paradox::EngineErrorDescription(code));
  }
  if (code != 0) {
    throw ECommandFailure(targetData + ": the table cannot be created: " + paradox::EngineErrorDescription(code));
  }
  NoteIndexesNotCopied(*source, context.err);
  TCopyReport report;
  try {
    TTable target;
    target.SetDatabaseName(database.DatabaseName());
    target.SetTableName(targetName);
    target.SetExclusive(true);
    target.Open();
    TRecordCopier copier(*source, target.Handle()->Table(), report, context.err);
    const std::size_t size = source->RecordSize();
    source->ForEachRecordBlock([&](std::span<const std::byte> records, std::size_t count) {
      for (std::size_t i = 0; i < count; ++i) copier.Copy(records.subspan(i * size, size));
    });
    target.Close();
  } catch (...) {
    RemoveFamily(targetData);
    throw;
  }
  context.out << "copied " << report.records << " record" << (report.records == 1 ? "" : "s") << " ("
              << report.storedValues << " stored memo value" << (report.storedValues == 1 ? "" : "s");
  if (report.lostValues > 0) context.out << ", " << report.lostValues << " lost";
  context.out << ") from " << env::Cp1252ToUtf8(sourceData) << " to " << env::Cp1252ToUtf8(targetData) << "\n";
  return report.lostValues > 0 ? kExitFailure : kExitOk;
}

}  // namespace remdo::tools
