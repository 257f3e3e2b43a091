// Shared ground for the repair tests: a scratch drive C: with the data
// folder C:\FENRO\, a recording run reporter, the engine connected on the
// data folder, a repair context, and helpers that build tables of the
// catalogue's structures record by record, damage their files byte by byte
// and read them back without the engine.
#ifndef REMDO_TESTS_REPAIR_REPAIRFIXTURE_H_
#define REMDO_TESTS_REPAIR_REPAIRFIXTURE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/AppTestPlatform.h"
#include "catalogue/FieldSpec.h"
#include "catalogue/TableCatalogue.h"
#include "catalogue/TableCreation.h"
#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/PxlibReader.h"
#include "paradox/codes/Coding.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/FieldValue.h"
#include "paradox/format/PxObject.h"
#include "paradox/index/LanguageDriver.h"
#include "paradox/memo/MemoFile.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "repair/RepairContext.h"
#include "repair/RunReporter.h"
#include "repair/TableCheck.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace remdo::repair::testing {

using Record = std::vector<std::byte>;

// A run that records what the steps report and can be stopped after a
// number of KeepGoing calls.
class TRecordingRun final : public TRunReporter {
 public:
  TRunState& State() override { return state; }
  bool LogLine(std::string_view text) override {
    lines.emplace_back(text);
    return true;
  }
  bool KeepGoing() override {
    if (goes >= stopAfter) state.Running = false;
    ++goes;
    return state.Running;
  }
  void ProcessMessages() override {
    ++messagesProcessed;
    if (onMessages) onMessages();
  }
  bool RunOption(std::string_view word) const override { return options.count(std::string(word)) != 0; }
  void SetMessage(std::string_view text) override {
    message = std::string(text);
    if (!message.empty()) messages.push_back(message);
  }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void ShowWaitPanel(bool show) override { waitPanel = show; }
  void SetBusyCursor(bool busy) override { busyCursor = busy; }
  void SetCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
  void SetChoiceEnabled(TChoice choice, bool enabled) override { choices[choice] = enabled; }
  std::string DateTimeText(std::int64_t t) override { return "at " + std::to_string(t); }

  // The lines as the run log file gets them ("~" dropped).
  std::vector<std::string> FileLines() const {
    std::vector<std::string> out;
    for (const auto& line : lines) out.push_back(!line.empty() && line[0] == '~' ? line.substr(1) : line);
    return out;
  }

  TRunState state;
  std::set<std::string> options;
  std::vector<std::string> lines;
  std::vector<std::string> messages;
  std::string message;
  std::vector<int> progress;
  std::map<TChoice, bool> choices;
  bool waitPanel = false;
  bool busyCursor = false;
  bool cancelEnabled = true;
  std::int64_t goes = 0;
  std::int64_t stopAfter = std::int64_t{1} << 40;
  std::int64_t messagesProcessed = 0;
  // Called on every ProcessMessages: a step's loops, where a test can make
  // something fail half-way.
  std::function<void()> onMessages;
};

// Dialogs that record every box and answer questions No; for tests that
// look at boxes afterwards or do not care about them.
class TRecordingDialogs final : public env::TDialogs {
 public:
  bool Show(const env::TMessageBox& box) override {
    boxes.push_back(box);
    return false;
  }
  std::vector<env::TMessageBox> boxes;
};

// Builds record images of a structure field by field.
class TRecordMaker {
 public:
  explicit TRecordMaker(std::int32_t structureNumber) {
    const auto specs = catalogue::GetTableSchema(structureNumber);
    const auto reading = catalogue::ReadFieldSpecs(specs);
    std::size_t offset = 0;
    for (const auto& spec : reading.fields) {
      paradox::THeaderField field;
      field.type = *paradox::FieldTypeFromEngineCode(spec.engineType);
      int size = paradox::IsBlobType(field.type) ? spec.size + 10 : spec.size;
      field.size = static_cast<std::uint8_t>(size != 0 ? size : paradox::FixedWidth(field.type));
      field.name = spec.name;
      fields_.push_back(field);
      offsets_.push_back(offset);
      offset += static_cast<std::size_t>(field.Width());
    }
    size_ = offset;
    const auto* driver = paradox::FindLanguageDriver(catalogue::SchemaLanguageDriver(structureNumber));
    codePage_ = driver ? driver->codePage : 0;
  }

  std::size_t Size() const { return size_; }
  std::size_t Offset(std::string_view name) const { return offsets_[Index(name)]; }
  std::size_t Width(std::string_view name) const { return static_cast<std::size_t>(fields_[Index(name)].Width()); }

  // A record with the named fields set; the others blank.
  Record Make(std::initializer_list<std::pair<std::string_view, paradox::TValue>> values) const {
    Record record(size_);
    for (const auto& [name, value] : values) Set(record, name, value);
    return record;
  }
  void Set(Record& record, std::string_view name, const paradox::TValue& value) const {
    const std::size_t i = Index(name);
    paradox::SetFieldValue({fields_[i], record.data() + offsets_[i], codePage_}, value);
  }
  std::string Text(const Record& record, std::string_view name) const {
    const std::size_t i = Index(name);
    Record copy = record;
    return paradox::GetFieldText({fields_[i], copy.data() + offsets_[i], codePage_});
  }

 private:
  std::size_t Index(std::string_view name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (env::SameText(fields_[i].name, name)) return i;
    }
    ADD_FAILURE() << "no field " << name;
    return 0;
  }

  std::vector<paradox::THeaderField> fields_;
  std::vector<std::size_t> offsets_;
  std::size_t size_ = 0;
  std::uint16_t codePage_ = 0;
};

// The record images the raw reader sees in a file, in file order.
inline std::vector<Record> RawRecords(const std::string& path) {
  std::vector<Record> records;
  paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), path, env::TOpenMode::kRead));
  try {
    if (!reader.FirstRecord()) return records;
    do {
      const auto data = reader.RecordData();
      records.emplace_back(data.begin(), data.end());
    } while (reader.NextRecord());
  } catch (const env::EReadError&) {
  }
  return records;
}

// Where each record of a data file lies in the file, in file order: the
// blocks as they follow the header, each block's records after its 6-byte
// header.
inline std::vector<std::size_t> RecordOffsets(const std::string& path) {
  const auto bytes = test::ReadWholeFile(path);
  const std::size_t recordSize = paradox::GetU16(bytes.data());
  const std::size_t headerSize = paradox::GetU16(bytes.data() + 2);
  const std::size_t blockSize = std::to_integer<std::size_t>(bytes[5]) * 1024;
  std::vector<std::size_t> offsets;
  for (std::size_t block = headerSize; block + blockSize <= bytes.size(); block += blockSize) {
    const int last = paradox::GetS16(bytes.data() + block + 4);
    if (last < 0) continue;
    for (std::size_t at = 0; at <= static_cast<std::size_t>(last); at += recordSize) {
      offsets.push_back(block + 6 + at);
    }
  }
  return offsets;
}

// Overwrites bytes of a file at an offset.
inline void PatchFile(const std::string& path, std::size_t offset, const std::vector<std::byte>& bytes) {
  auto file = env::DefaultFileSystem().Open(path, env::TOpenMode::kReadWrite);
  file->WriteAt(offset, bytes);
  file->Close();
}
inline void PatchU32(const std::string& path, std::size_t offset, std::uint32_t value) {
  std::vector<std::byte> bytes(4);
  paradox::PutU32(bytes.data(), value);
  PatchFile(path, offset, bytes);
}
inline void TruncateFile(const std::string& path, std::uint64_t size) {
  auto file = env::DefaultFileSystem().Open(path, env::TOpenMode::kReadWrite);
  file->Truncate(size);
  file->Close();
}

class TRepairTest : public ::testing::Test {
 protected:
  TRepairTest() : dialogsInstalled_(dialogs) {
    (void)paradox::DbiInit(nullptr);
    database.SetDatabaseName(test::kDataFolder);
    database.Open();
    run.state.Running = true;
    context = std::make_unique<TRepairContext>(run, database);
  }
  ~TRepairTest() override {
    context.reset();
    database.Close();
  }

  static std::string Data(std::string_view name) { return test::kDataFolder + std::string(name); }
  bool Exists(std::string_view name) const { return env::DefaultFileSystem().FileExists(Data(name)); }
  // The host path of a data-folder file, for independent readers.
  std::string HostPath(std::string_view name) const {
    std::string host = platform.drive.HostRoot() + "FENRO/" + std::string(name);
    std::replace(host.begin(), host.end(), '\\', '/');
    return env::DefaultFileSystem().FileExists(host) ? host : Data(name);
  }

  // Creates tableName (no extension) of a structure in the data folder (or
  // in folder) and inserts the records raw; returns how many went in.
  std::size_t MakeTable(std::string_view tableName, std::int32_t structure, const std::vector<Record>& records,
                        const std::string& folder = test::kDataFolder) {
    paradox::TDatabase db;
    db.SetDatabaseName(folder);
    db.Open();
    EXPECT_TRUE(catalogue::CreateParadoxTable(db.Handle(), std::string(tableName) + ".db",
                                            catalogue::SchemaLanguageDriver(structure),
                                            catalogue::GetTableSchema(structure), catalogue::SchemaLevel(structure)));
    paradox::TTable table;
    table.SetDatabaseName(folder);
    table.SetTableName(std::string(tableName) + ".db");
    table.SetExclusive(true);
    table.Open();
    std::size_t inserted = 0;
    for (const auto& record : records) {
      if (paradox::DbiInsertRecord(table.Handle(), paradox::TDbiLock::kNoLock, record) == 0) ++inserted;
    }
    table.Close();
    return inserted;
  }

  // A table of a structure with a memo column (Books 31, BookInfo 3, ...):
  // made, its memo values stored in its memo file (records[i] gets
  // memos[i]; an empty text leaves the field blank), the records inserted,
  // and the memo column marked as memo in the header, as the catalogue
  // application has it.
  void MakeMemoTable(std::string_view tableName, std::int32_t structure, std::vector<Record> records,
                     const std::vector<std::string>& memos, const std::string& folder = test::kDataFolder);

  // Reads a repaired table back three ways: the engine opens it and walks
  // count records in key order, the raw reader sees the same images in
  // file order, and pxlib (given the data file alone, never a memo file)
  // reads them too.
  void ExpectReadable(std::string_view tableName, std::size_t count) {
    const auto raw = RawRecords(Data(std::string(tableName) + ".db"));
    EXPECT_EQ(raw.size(), count) << tableName;
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName(std::string(tableName));
    table.Open();
    std::vector<Record> walked;
    for (table.First(); !table.Eof(); table.Next()) {
      const auto buffer = table.ActiveBuffer();
      walked.emplace_back(buffer.begin(), buffer.end());
    }
    table.Close();
    EXPECT_EQ(walked, raw) << tableName;
    if (paradox::testing::HavePxlib()) {
      const auto pxlib = paradox::testing::ReadWithPxlib(HostPath(std::string(tableName) + ".db"));
      ASSERT_TRUE(pxlib.has_value()) << tableName;
      EXPECT_EQ(pxlib->records, raw) << tableName;
    }
  }

  // The file names of the data folder matching a pattern, sorted.
  std::vector<std::string> Files(std::string_view pattern) const {
    std::vector<std::string> names;
    for (const auto& entry : env::DefaultFileSystem().Find(Data(pattern), 47)) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TAppPlatform platform;
  TRecordingDialogs dialogs;
  test::TInstalledDialogs dialogsInstalled_;
  TRecordingRun run;
  paradox::TDatabase database;
  std::unique_ptr<TRepairContext> context;
};

inline void TRepairTest::MakeMemoTable(std::string_view tableName, std::int32_t structure, std::vector<Record> records,
                                       const std::vector<std::string>& memos, const std::string& folder) {
  MakeTable(tableName, structure, {}, folder);
  const int memoField = *catalogue::MemoFieldNumber(structure);
  const auto specs = catalogue::ReadFieldSpecs(catalogue::GetTableSchema(structure));
  const std::string memoName = specs.fields[static_cast<std::size_t>(memoField - 1)].name;
  const TRecordMaker maker(structure);
  {
    paradox::TMemoFileBuilder builder(env::DefaultFileSystem(), folder + std::string(tableName) + ".mb");
    for (std::size_t i = 0; i < records.size() && i < memos.size(); ++i) {
      if (memos[i].empty()) continue;
      const auto value = std::as_bytes(std::span<const char>(memos[i].data(), memos[i].size()));
      builder.AddToField(std::span<std::byte>(records[i].data() + maker.Offset(memoName), maker.Width(memoName)),
                         paradox::TBlobKind::kMemo, value);
    }
    builder.Finish();
  }
  paradox::TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName(std::string(tableName) + ".db");
  table.SetExclusive(true);
  table.Open();
  for (const auto& record : records) {
    EXPECT_EQ(paradox::DbiInsertRecord(table.Handle(), paradox::TDbiLock::kNoLock, record), 0);
  }
  table.Close();
  WriteMemoTypeCode(folder + std::string(tableName) + ".db", memoField);
}

// The memo value a record's field refers to in a memo file.
inline std::string MemoText(const std::string& memoPath, const Record& record, std::size_t offset, std::size_t width) {
  paradox::TMemoFile memo(env::DefaultFileSystem(), memoPath);
  const auto value = memo.ReadField(std::span<const std::byte>(record.data() + offset, width));
  return std::string(reinterpret_cast<const char*>(value.data()), value.size());
}

}  // namespace remdo::repair::testing

#endif  // REMDO_TESTS_REPAIR_REPAIRFIXTURE_H_
