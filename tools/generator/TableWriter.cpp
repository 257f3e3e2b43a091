// Tables are written through the engine so that every byte of the data
// file and its indexes is the engine's own; only the memo values go around
// it for now: they are written in one pass by the memo file builder, the
// way a restructure lays a memo file out, and the records carry their
// references when they are inserted raw.
#include "generator/TableWriter.h"

#include <cstring>

#include "catalogue/FieldSpec.h"
#include "catalogue/TableCreation.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/engine/OpenTable.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/memo/MemoFileBuilder.h"

namespace remdo::tools {

namespace {

constexpr std::string_view kMemoScratchExtension = ".mb.gen";

}  // namespace

int MemoFieldNumber(int structureNumber) { return catalogue::MemoFieldNumber(structureNumber).value_or(0); }

catalogue::TFieldSpecList GeneratedSchema(int structureNumber) {
  catalogue::TFieldSpecList specs = catalogue::GetTableSchema(structureNumber);
  const int memoField = MemoFieldNumber(structureNumber);
  if (memoField == 0 || memoField > static_cast<int>(specs.size())) return specs;
  std::string& spec = specs[static_cast<std::size_t>(memoField - 1)];
  const catalogue::TFieldSpec read = catalogue::ReadFieldSpec(spec, memoField);
  // A memo of leader n occupies n + 10 bytes, the alpha column's width.
  spec = read.name + ", M" + std::to_string(read.size - paradox::kBlobReferenceSize);
  return specs;
}

paradox::TFieldRef TRecordBuilder::Ref(int column) {
  const auto index = static_cast<std::size_t>(column);
  return paradox::TFieldRef{*writer_.fields_[index], bytes_.data() + writer_.offsets_[index], writer_.codePage_};
}

void TRecordBuilder::SetInteger(int column, std::int64_t value) { paradox::SetFieldInteger(Ref(column), value); }
void TRecordBuilder::SetFloat(int column, double value) { paradox::SetFieldFloat(Ref(column), value); }
void TRecordBuilder::SetText(int column, std::string_view text) { paradox::SetFieldText(Ref(column), text); }
void TRecordBuilder::SetBoolean(int column, bool value) { paradox::SetFieldBoolean(Ref(column), value); }

void TRecordBuilder::SetMemo(int column, std::string_view text) {
  const paradox::TFieldRef ref = Ref(column);
  if (ref.field.type != paradox::TFieldType::kMemo) {
    throw EGeneratorError("Column " + ref.field.name + " of " + writer_.tableName_ + " is not a memo field");
  }
  if (!writer_.memo_) {
    writer_.memo_ = std::make_unique<paradox::TMemoFileBuilder>(
        env::DefaultFileSystem(), writer_.folder_ + writer_.tableName_ + std::string(kMemoScratchExtension));
  }
  const auto width = static_cast<std::size_t>(ref.field.Width());
  ++writer_.memoValues_;
  writer_.memo_->AddToField(std::span<std::byte>(ref.bytes, width), paradox::TBlobKind::kMemo,
                            std::as_bytes(std::span<const char>(text.data(), text.size())));
}

std::size_t TRecordBuilder::MemosSoFar() const { return writer_.memoValues_; }

TTableWriter::TTableWriter(paradox::TDatabase& database, std::string tableName, int structureNumber)
    : database_(database),
      tableName_(std::move(tableName)),
      folder_(env::IncludeTrailingSeparator(database.DatabaseName())),
      record_(*this) {
  const bool created =
      catalogue::CreateParadoxTable(database.Handle(), tableName_ + ".db", catalogue::SchemaLanguageDriver(structureNumber),
                                  GeneratedSchema(structureNumber), catalogue::SchemaLevel(structureNumber));
  if (!created) throw EGeneratorError("Could not create table " + tableName_ + ".db");
  table_.SetDatabaseName(folder_);
  table_.SetTableName(tableName_ + ".db");
  table_.SetExclusive(true);
  table_.Open();
  for (int i = 0; i < table_.FieldCount(); ++i) {
    fields_.push_back(&table_.FieldDef(static_cast<std::size_t>(i)));
    offsets_.push_back(static_cast<std::size_t>(table_.Fields(i).Offset()));
  }
  codePage_ = table_.Handle()->Table().CodePage();
  record_.bytes_.resize(table_.Handle()->Table().RecordSize());
}

TTableWriter::~TTableWriter() {
  if (finished_) return;
  try {
    memo_.reset();
    table_.Close();
    env::DefaultFileSystem().Remove(folder_ + tableName_ + std::string(kMemoScratchExtension));
  } catch (...) {
    // Quiet: an error is already on its way, and the table is half made.
  }
}

int TTableWriter::Column(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (env::SameText(fields_[i]->name, name)) return static_cast<int>(i);
  }
  throw EGeneratorError("Table " + tableName_ + " has no column " + std::string(name));
}

int TTableWriter::Width(int column) const { return fields_[static_cast<std::size_t>(column)]->Width(); }

TRecordBuilder& TTableWriter::NewRecord() {
  std::memset(record_.bytes_.data(), 0, record_.bytes_.size());
  return record_;
}

void TTableWriter::Insert() {
  const std::uint16_t code = paradox::DbiInsertRecord(table_.Handle(), paradox::TDbiLock::kNoLock, record_.bytes_);
  if (code != 0) {
    throw EGeneratorError("The engine refused record " + std::to_string(records_ + 1) + " of " + tableName_ +
                          " (code " + std::to_string(code) + ")");
  }
  ++records_;
}

std::int64_t TTableWriter::Finish() {
  table_.Close();
  WriteMemoFile();
  SpellExtensions();
  finished_ = true;
  return records_;
}

// The engine gave the table an empty memo file; the one built from the
// values takes its place.
void TTableWriter::WriteMemoFile() {
  if (!memo_) return;
  memo_->Finish();
  memo_.reset();
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  const std::string built = folder_ + tableName_ + std::string(kMemoScratchExtension);
  const env::TIoResult renamed = fileSystem.Rename(built, folder_ + tableName_ + ".mb", true);
  if (!renamed) throw EGeneratorError("Could not rename " + built + ": " + renamed.reason);
}

// The engine names new files with upper-case extensions (Books.PX); the
// catalogue's files have lower-case ones. A name that differs only in case
// is renamed through a temporary name, because a file system that ignores
// case takes the two names for one file.
void TTableWriter::SpellExtensions() {
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  for (const env::TFindEntry& entry : fileSystem.Find(folder_ + tableName_ + ".*", env::attr::kReadOnly)) {
    const std::string_view extension = env::ExtensionPart(entry.name);
    const std::string wanted = tableName_ + env::LowerCase(extension);
    if (entry.name == wanted) continue;
    const std::string from = folder_ + entry.name;
    const std::string step = from + ".case";
    env::TIoResult result = fileSystem.Rename(from, step, true);
    if (result) result = fileSystem.Rename(step, folder_ + wanted, true);
    if (!result) throw EGeneratorError("Could not rename " + from + ": " + result.reason);
  }
}

}  // namespace remdo::tools
