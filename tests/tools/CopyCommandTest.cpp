// remdo-table copy on every sample table: the copy has the original's
// fields, key, level, block size and driver, its records in the same order
// (every field that is not a blob byte for byte, every blob value equal as
// read through the memo files), and secondary indexes whose entries equal
// the original's. Tables the engine cannot write are refused with a message.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/EngineFixture.h"
#include "paradox/IndexCheck.h"
#include "paradox/codes/Coding.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/format/BlobDescriptor.h"
#include "paradox/format/PxObject.h"
#include "paradox/index/Collation.h"
#include "paradox/index/KeyOrder.h"
#include "remdo-table/RemdoTable.h"
#include "support/TestSupport.h"
#include "tools/ToolRun.h"

namespace remdo::tools {
namespace {

using paradox::testing::ReadTableFile;
using paradox::testing::Record;
using paradox::testing::TFileImage;
using testing::RunTool;
using testing::TRun;

void Open(paradox::TTable& table, const std::string& path) {
  table.SetDatabaseName(std::string(env::FolderPart(path)));
  table.SetTableName(std::string(env::NamePart(path)));
  table.Open();
}

// A blob field's whole value; nothing when the memo file does not hold it.
std::optional<std::vector<std::byte>> BlobValue(paradox::TField& field, std::string& why) {
  try {
    return field.AsBytes();
  } catch (const env::EDBEngineError& e) {
    why = e.what();
    return std::nullopt;
  }
}

// Walks both tables side by side; returns the records compared. A blob
// value the copy cannot read is accepted only where the original's cannot
// be read either (MEMBRE has no memo file); the copy then keeps what the
// record holds.
int CompareRecords(const std::string& sourcePath, const std::string& copyPath) {
  paradox::TTable source;
  paradox::TTable copy;
  Open(source, sourcePath);
  Open(copy, copyPath);
  EXPECT_EQ(copy.RecordCount(), source.RecordCount());
  int compared = 0;
  for (source.First(), copy.First(); !source.Eof() && !source.IsEmpty(); source.Next(), copy.Next(), ++compared) {
    for (int i = 0; i < source.FieldCount(); ++i) {
      paradox::TField& from = source.Fields(i);
      paradox::TField& to = copy.Fields(i);
      if (!from.IsBlob()) {
        EXPECT_EQ(to.AsBytes(), from.AsBytes()) << "record " << compared << " field " << from.FieldName();
        continue;
      }
      std::string originalWhy;
      std::string copyWhy;
      const auto original = BlobValue(from, originalWhy);
      const auto copied = BlobValue(to, copyWhy);
      if (!copied) {
        EXPECT_FALSE(original) << "record " << compared << " field " << from.FieldName()
                               << ": the copy lost a readable value: " << copyWhy;
      } else if (original) {
        EXPECT_EQ(*copied, *original) << "record " << compared << " field " << from.FieldName();
      } else {
        EXPECT_LE(copied->size(), static_cast<std::size_t>(from.Size()) - paradox::TBlobDescriptor::kSize)
            << "record " << compared << " field " << from.FieldName() << ": more than the record held of a value "
            << "the original cannot give: " << originalWhy;
      }
    }
  }
  return compared;
}

std::vector<Record> WithoutHint(const TFileImage& image) {
  std::vector<Record> out;
  for (const Record& r : image.records) out.emplace_back(r.begin(), r.end() - 2);
  return out;
}

TEST(CopyCommand, EverySampleTableIsCopiedWithItsRecordsValuesAndIndexes) {
  REMDO_SAMPLES_OR_SKIP(samples);
  int copied = 0;
  int refused = 0;
  for (const std::string& path : test::FilesBelow(samples, {".db"})) {
    SCOPED_TRACE(path);
    const TFileImage original = ReadTableFile(path);
    test::TScratchFolder folder;
    const std::string target = folder / std::string(env::NamePart(path));
    const TRun run = RunTool({"copy", path, target});
    const paradox::TTableHeader& header = original.header;
    const auto keys =
        std::span<const paradox::THeaderField>(header.fields).first(static_cast<std::size_t>(header.keyFieldCount));
    if (header.IsEncrypted() || paradox::NeedsUnknownOrder(keys, paradox::KeyCollationOf(header))) {
      EXPECT_EQ(run.status, 1);
      EXPECT_FALSE(run.err.empty());
      ++refused;
      continue;
    }
    EXPECT_TRUE(run.status == 0 || run.err.find("warning") != std::string::npos) << run.err;
    const TFileImage copy = ReadTableFile(target);
    EXPECT_EQ(copy.header.Level(), std::max(4, header.Level()));
    EXPECT_EQ(copy.header.blockSize, header.blockSize);
    EXPECT_EQ(copy.header.keyFieldCount, header.keyFieldCount);
    EXPECT_EQ(copy.header.sortOrder, header.sortOrder);
    if (header.HasExtension()) {
      EXPECT_EQ(copy.header.codePage, header.codePage);  // the records' text is copied as it stands
      EXPECT_EQ(copy.header.sortOrderName, header.sortOrderName);
    }
    ASSERT_EQ(copy.header.fields.size(), header.fields.size());
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
      EXPECT_EQ(copy.header.fields[i].type, header.fields[i].type);
      EXPECT_EQ(copy.header.fields[i].size, header.fields[i].size);
      if (header.HasExtension()) {
        EXPECT_EQ(copy.header.fields[i].name, header.fields[i].name);
      }
    }
    EXPECT_EQ(CompareRecords(path, target), static_cast<int>(original.records.size()));
    if (header.keyFieldCount > 0)
      paradox::testing::CheckIndexTree(std::string(env::ChangeExtension(target, ".PX")), target);
    // The raw reader reads the copy's records in file order.
    paradox::TPxObject reader(env::RealFileSystem().Open(target, env::TOpenMode::kRead));
    std::size_t read = 0;
    for (bool more = reader.FirstRecord(); more; more = reader.NextRecord()) ++read;
    EXPECT_EQ(read, original.records.size());
    // Every maintained single-field index has the original's entries.
    const std::string base(env::ChangeExtension(path, ""));
    for (const auto& entry : env::RealFileSystem().Find(base + ".x*", 0)) {
      const TFileImage x = ReadTableFile(std::string(env::FolderPart(path)) + entry.name);
      if (x.header.fileType != paradox::TFileType::kMaintainedIndexData) continue;
      const std::string name = paradox::SecondaryIndexFileName(
          std::string(env::ChangeExtension(env::NamePart(target), "")), x.header.indexFieldNumber, 'X');
      EXPECT_EQ(WithoutHint(ReadTableFile(folder / name)), WithoutHint(x)) << name;
    }
    ++copied;
  }
  EXPECT_GE(copied, 60);
  EXPECT_GE(refused, 4);
  std::printf("copied %d sample tables, %d refused\n", copied, refused);
}

// A driver the engine does not know (a table written elsewhere with a
// Hebrew driver: its header bytes are put in place of a known one's) is
// copied with its name, sort byte and code page in every file, and the
// text bytes as they stand.
TEST(CopyCommand, DriverTheEngineDoesNotKnowIsKept) {
  constexpr std::uint8_t kSortOrder = 0x6E;
  constexpr std::uint16_t kCodePage = 1255;
  test::TScratchFolder folder;
  (void)paradox::DbiInit(nullptr);
  paradox::TDatabase database;
  database.SetDatabaseName(folder.Path());
  database.Open();
  using paradox::testing::Fld;
  auto desc = paradox::testing::TableDesc("Heb.db", {Fld("Key", 'I'), Fld("Code", 'S'), Fld("Name", 'A', 12)}, 1);
  paradox::TIdxDesc code;
  code.name = "Code";
  code.maintained = true;
  code.keyFields = {2};
  desc.indexes.push_back(code);
  paradox::testing::AddOption(desc, "LANGDRIVER", "DBWINUS0");
  ASSERT_EQ(paradox::DbiCreateTable(database.Handle(), true, desc), 0);
  {
    paradox::TTable table;
    Open(table, folder / "Heb.db");
    for (int i = 0; i < 3; ++i) table.AppendRecord({i, 10 - i, std::string("\xE0\xE1\xE2 ") + std::to_string(i)});
  }
  auto patch = [&](const std::string& name, bool named) {
    auto bytes = test::ReadWholeFile(folder / name);
    bytes[0x29] = std::byte{kSortOrder};
    if (!named) return test::WriteWholeFile(folder / name, bytes);
    paradox::PutU16(bytes.data() + 0x6A, kCodePage);
    const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::size_t at = text.find("DBWINUS0");
    ASSERT_NE(at, std::string::npos) << name;
    for (std::size_t i = 0; i < 8; ++i) bytes[at + i] = static_cast<std::byte>("ANHEBREW"[i]);
    test::WriteWholeFile(folder / name, bytes);
  };
  patch("Heb.db", true);
  patch("Heb.X02", true);
  patch("Heb.PX", false);
  patch("Heb.Y02", false);
  const TRun run = RunTool({"copy", folder / "Heb.db", folder / "Out.db"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"Out.db", "Out.X02"}) {
    const TFileImage copy = ReadTableFile(folder / name);
    EXPECT_EQ(copy.header.sortOrder, kSortOrder) << name;
    EXPECT_EQ(copy.header.codePage, kCodePage) << name;
    EXPECT_EQ(copy.header.sortOrderName, "ANHEBREW") << name;
  }
  for (const char* name : {"Out.PX", "Out.Y02"}) {
    EXPECT_EQ(test::ReadWholeFile(folder / name).at(0x29), std::byte{kSortOrder}) << name;
  }
  EXPECT_EQ(ReadTableFile(folder / "Out.db").records, ReadTableFile(folder / "Heb.db").records);
}

// The copy reads its source from disk as it goes: changes saved in the
// source's journal are copied too, and a source found out of key order
// half-way fails the copy and leaves nothing of it behind.
TEST(CopyCommand, SourceReadAsItIsCopied) {
  for (const bool damaged : {false, true}) {
    test::TScratchFolder folder;
    (void)paradox::DbiInit(nullptr);
    paradox::TDatabase database;
    database.SetDatabaseName(folder.Path());
    database.Open();
    using paradox::testing::Fld;
    ASSERT_EQ(paradox::DbiCreateTable(database.Handle(), true,
                                      paradox::testing::TableDesc("Src.db", {Fld("Key", 'I'), Fld("Name", 'A', 12)}, 1)),
              0);
    constexpr int kRecords = 300;  // several blocks
    paradox::TTable table;
    Open(table, folder / "Src.db");
    for (int i = 0; i < kRecords; ++i) table.AppendRecord({i, std::to_string(i)});
    table.Close();
    if (damaged) {
      // The second block's first key made null, which orders first.
      auto bytes = test::ReadWholeFile(folder / "Src.db");
      const std::size_t second = paradox::GetU16(bytes.data() + 2) + std::to_integer<std::size_t>(bytes[5]) * 1024;
      std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(second + 6), 4, std::byte{0});
      test::WriteWholeFile(folder / "Src.db", bytes);
    } else {
      Open(table, folder / "Src.db");
      table.AppendRecord({kRecords, "saved"});
      ASSERT_EQ(paradox::DbiSaveChanges(table.Handle()), 0);
    }
    const TRun run = RunTool({"copy", folder / "Src.db", folder / "Out.db"});
    if (damaged) {
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("not in key order"), std::string::npos) << run.err;
      EXPECT_FALSE(env::DefaultFileSystem().FileExists(folder / "Out.db"));
      EXPECT_FALSE(env::DefaultFileSystem().FileExists(folder / "Out.PX"));
    } else {
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(ReadTableFile(folder / "Out.db").records.size(), std::size_t{kRecords + 1});
    }
  }
}

TEST(CopyCommand, UsageErrors) {
  EXPECT_EQ(RunTool({"copy", "a.db"}).status, 2);
  EXPECT_EQ(RunTool({"copy", "a.db", "A.DB"}).status, 2);
  test::TScratchFolder folder;
  const TRun missing = RunTool({"copy", folder / "none.db", folder / "out.db"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.db"), std::string::npos);
}

}  // namespace
}  // namespace remdo::tools
