// The table check driver: which tables are checked, the checks before the
// repair chain and how each outcome is logged and counted.
#include "repair/TableCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "env/FileStream.h"
#include "generator/CatalogueGenerator.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/format/PxObject.h"
#include "repair/RepairFixture.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

// Genre (structure 27): Book I*, Token S*+, Prop S.
std::vector<Record> GenreRecords(int count) {
  const TRecordMaker maker(27);
  std::vector<Record> records;
  for (int i = 1; i <= count; ++i) records.push_back(maker.Make({{"Book", i}, {"Token", i % 7 + 1}, {"Prop", 3}}));
  return records;
}

class TableCheckTest : public TRepairTest {
 protected:
  bool Check(std::string_view display, std::string_view table, std::int32_t structure, std::int32_t tolerance = 0,
             bool restore = false, bool verify = false) {
    return CheckTable(*context, display, table, structure, tolerance, restore, verify);
  }
  // Makes record `to` of the file a copy of record `from` (keys clash).
  void DuplicateRecord(std::string_view name, std::size_t from, std::size_t to) {
    const auto offsets = testing::RecordOffsets(Data(name));
    const auto records = testing::RawRecords(Data(name));
    testing::PatchFile(Data(name), offsets.at(to), records.at(from));
  }
};

TEST_F(TableCheckTest, TablesNotCheckedLeaveNoTrace) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(3)), 3u);
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  struct {
    const char* what;
    std::int32_t structure;
    bool stopped;
    std::set<std::string> options;
  } cases[] = {
      {"structure 0", 0, false, {}},
      {"stopped run", 27, true, {}},
      {"TABLENAME without the table", 27, false, {"TABLENAME", "BOOKS"}},
  };
  for (const auto& c : cases) {
    run.lines.clear();
    run.options = c.options;
    run.state.Running = !c.stopped;
    EXPECT_FALSE(Check("Genres", "Genre", c.structure)) << c.what;
    EXPECT_TRUE(run.lines.empty()) << c.what;
    EXPECT_EQ(run.state.FailureCount, 0) << c.what;
    EXPECT_EQ(run.state.FailedTables, "") << c.what;
  }
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
  EXPECT_FALSE(Exists("temptbl1.db"));
}

TEST_F(TableCheckTest, TableNameFilterLetsNamedTablesThrough) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(3)), 3u);
  run.options = {"TABLENAME", "BOOKS", "GENRE"};
  EXPECT_TRUE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines.front(), "Checking Genres...");
}

TEST_F(TableCheckTest, MissingTableIsCountedAndNamed) {
  EXPECT_FALSE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Genres...", "  -- table not found: Genre", "  -- error"}));
  EXPECT_EQ(run.state.FailureCount, 1);
  EXPECT_EQ(run.state.FailedTables, "Genre");
  EXPECT_FALSE(Check("Books", "Books", 31));
  EXPECT_EQ(run.state.FailureCount, 2);
  EXPECT_EQ(run.state.FailedTables, "Genre,Books");
}

// A million books: the Windows program is 32-bit, so this is the check of a
// large table within its address space (under Wine it runs the 32-bit
// build).
TEST_F(TableCheckTest, AMillionBooksAreRebuilt) {
  tools::TCatalogueOptions options;
  options.books = 1'000'000;
  options.folders = 0;
  options.memoPerMille = 100;
  options.saveFolder = false;
  options.onlyTables = {"Books"};
  tools::GenerateCatalogue(test::kDataFolder, options);
  EXPECT_TRUE(Check("Books", "Books", 31, 8, true, true)) << ::testing::PrintToString(run.lines);
  const paradox::TPxObject rebuilt(env::TFileStream(env::DefaultFileSystem(), Data("Books.db"), env::TOpenMode::kRead));
  EXPECT_EQ(rebuilt.RecordCount(), 1'000'000);
  EXPECT_EQ(run.state.FailureCount, 0);
}

// Memory running out half-way through a rebuild (a 32-bit program checking a
// very large table), or a rebuilt table that would pass the 65535 blocks its
// numbers allow, fails that table with a clear line; the table stays.
TEST_F(TableCheckTest, RunningOutOfMemoryOrBlocksFailsTheTableOnly) {
  struct TCase {
    std::function<void()> fail;
    std::string line;
  };
  const TCase cases[] = {
      {[] { throw std::bad_alloc(); }, "  -- not enough memory to rebuild Genre"},
      {[] { throw paradox::EngineError(paradox::kDbiErrTableFull, "The table Scratch.db would need more blocks"); },
       "  -- table full: Genre would need more than 65535 blocks"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.line);
    run.lines.clear();
    run.state = {};
    run.state.Running = true;
    ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(3)), 3u);
    const auto before = test::ReadWholeFile(Data("Genre.db"));
    run.onMessages = [this, &c] {
      if (std::count(run.lines.begin(), run.lines.end(), "Checking Genres...") > 0) c.fail();
    };
    EXPECT_FALSE(Check("Genres", "Genre", 27));
    run.onMessages = nullptr;
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "  -- error");
    EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), c.line), 1) << ::testing::PrintToString(run.lines);
    EXPECT_EQ(run.state.FailedTables, "Genre");
    EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
  }
}

TEST_F(TableCheckTest, OtherFieldSizesAreAnIncorrectFormat) {
  // The earlier layout's genre table: Book is an 8-byte number.
  ASSERT_EQ(MakeTable("Genre", 8, {}), 0u);
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  EXPECT_FALSE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Genres...", "  -- incorrect table format",
                                                 "  -- please check for upgrade", "  -- error"}));
  EXPECT_EQ(run.state.FailureCount, 1);
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
}

TEST_F(TableCheckTest, UnreadableFieldListIsAnUnreadableFormat) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(2)), 2u);
  // Turn the field names into one run of 30 letters: no valid name.
  auto bytes = test::ReadWholeFile(Data("Genre.db"));
  const std::string names("Book\0Token\0Prop", 15);
  const auto at = std::search(bytes.begin(), bytes.end(), reinterpret_cast<const std::byte*>(names.data()),
                              reinterpret_cast<const std::byte*>(names.data()) + names.size());
  ASSERT_NE(at, bytes.end());
  std::fill(at, at + 30, std::byte{'x'});
  test::WriteWholeFile(Data("Genre.db"), bytes);
  EXPECT_FALSE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Genres...", "     fields       : 3",
                                                 "  -- unreadable table format", "  -- error"}));
}

TEST_F(TableCheckTest, HealthyTableIsRebuiltAndSwappedIn) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(1000)), 1000u);
  const auto records = testing::RawRecords(Data("Genre.db"));
  EXPECT_TRUE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Genres...", "~  -- transferred data [1000]"}));
  EXPECT_EQ(run.state.MissingRecords, 0);
  EXPECT_EQ(run.state.FailureCount, 0);
  EXPECT_EQ(testing::RawRecords(Data("Genre.db")), records);
  EXPECT_TRUE(Exists("Genre.px"));
  EXPECT_TRUE(Files("temptbl1.*").empty());
  EXPECT_TRUE(Files("Genre.*.old").empty());
  EXPECT_FALSE(Exists("Rejected"));
}

TEST_F(TableCheckTest, StrictModeDropsTheToleranceButToleranceFilesCount) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(20)), 20u);
  DuplicateRecord("Genre.db", 4, 5);
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  run.options = {"STRICT"};
  EXPECT_FALSE(Check("Genres", "Genre", 27, 8));
  EXPECT_EQ(run.lines.at(1), "  -- transfer missing 1 record");
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
  EXPECT_EQ(run.state.FailureCount, 1);

  // tp...chk allows 5000, even in strict mode, and goes once seen.
  platform.DataFile("tpGenre.chk");
  run.lines.clear();
  EXPECT_TRUE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines.at(1), "~  -- transferred data [20]");
  EXPECT_EQ(run.state.MissingRecords, 1);
  EXPECT_FALSE(Exists("tpGenre.chk"));
}

TEST_F(TableCheckTest, ToleranceFilesAreDeletedEvenWhenNothingIsChecked) {
  platform.DataFile("tpGenre.chk");
  platform.DataFile("txGenre.chk");
  EXPECT_FALSE(Check("Genres", "Genre", 0));
  EXPECT_FALSE(Exists("tpGenre.chk"));
  EXPECT_FALSE(Exists("txGenre.chk"));
  EXPECT_TRUE(run.lines.empty());
}

TEST_F(TableCheckTest, IncompleteRebuildWithoutFlagsLeavesTheTable) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(20)), 20u);
  DuplicateRecord("Genre.db", 1, 2);
  DuplicateRecord("Genre.db", 1, 3);
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  EXPECT_FALSE(Check("Genres", "Genre", 27));
  const auto lines = run.FileLines();
  EXPECT_EQ(lines.at(1), "  -- transfer missing 2 records");
  EXPECT_EQ(run.state.MissingRecords, 2);
  EXPECT_EQ(run.state.FailureCount, 1);
  EXPECT_EQ(run.state.FailedTables, "Genre");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "  -- error"), 0);
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
}

TEST_F(TableCheckTest, RestoreWithoutSavedCopyFails) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(20)), 20u);
  DuplicateRecord("Genre.db", 1, 2);
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  EXPECT_FALSE(Check("Genres", "Genre", 27, 0, true));
  EXPECT_EQ(run.state.FailureCount, 1);
  EXPECT_EQ(test::ReadWholeFile(Data("Genre.db")), before);
}

TEST_F(TableCheckTest, ReadOnlyFilesAreResetAndTheCheckGoesOn) {
  ASSERT_EQ(MakeTable("Genre", 27, GenreRecords(5)), 5u);
  ASSERT_TRUE(env::DefaultFileSystem().SetAttributes(Data("Genre.db"), env::attr::kReadOnly));
  EXPECT_TRUE(Check("Genres", "Genre", 27));
  EXPECT_EQ(run.lines.at(1), "  -- file Genre.db marked read-only");
  EXPECT_EQ(run.lines.at(2), "~  -- transferred data [5]");
}

TEST_F(TableCheckTest, HeaderOrBlockDamageIsRebuiltFromTheBlocks) {
  // A flipped encryption word, a header count of 0 or below, a block of zeros (no all-zero record).
  const std::tuple<std::size_t, std::uint32_t, std::string> cases[] = {
      {paradox::pxheader::kExtendedEncryption, 0x7F01, "  -- encryption mark over plain data blocks: header damage"},
      {paradox::pxheader::kRecordCount, 0, "  -- record count 0 in the header; 5000 records found"},
      {paradox::pxheader::kRecordCount, 0xFFFFFFFD, "  -- record count -3 in the header; 5000 records found"},
      {0, 0, "~  -- transferred data [5000]"}};
  char table[] = "Genre@";
  for (const auto& [at, value, line] : cases) {
    run.lines.clear(), ++table[5];  // a table of its own, for its own kept original
    ASSERT_EQ(MakeTable(table, 27, GenreRecords(5000)), 5000u);
    const std::string data = Data(std::string(table) + ".db");
    std::size_t block = 0, header = 0;
    {  // closed before the check: Windows lets no open file be replaced
      const paradox::TPxObject reader(env::TFileStream(env::DefaultFileSystem(), data, env::TOpenMode::kRead));
      block = static_cast<std::size_t>(reader.BlockSize()), header = reader.HeaderBytes().size();
    }
    at == 0 ? testing::PatchFile(data, header + block, Record(block)) : testing::PatchU32(data, at, value);
    const auto before = test::ReadWholeFile(data);
    const auto visible = testing::RawRecords(data);
    EXPECT_TRUE(Check("Genres", table, 27, at == 0 ? 5000 : 0));
    EXPECT_EQ(run.lines.at(1), line);
    EXPECT_EQ(run.state.RecordsMayBeMissing(), at != paradox::pxheader::kExtendedEncryption);
    const auto after = testing::RawRecords(data);
    EXPECT_EQ(std::multiset<Record>(after.begin(), after.end()), std::multiset<Record>(visible.begin(), visible.end()));
    EXPECT_EQ(std::count(after.begin(), after.end(), Record(after.at(0).size())), 0);
    EXPECT_EQ(test::ReadWholeFile(Data(context->RejectedFolderName() + "Original\\" + table + ".db")), before);
  }
}

// A block passed over keeps the old files whatever the header count; an
// encrypted table is never replaced, whatever its count or its index files.
TEST_F(TableCheckTest, SignsOfDamageKeepTheOldFilesWhateverTheCount) {
  const std::tuple<std::string, std::int32_t, bool> cases[] = {
      {"GenreA", 0, false}, {"GenreB", -3, false}, {"GenreC", 300, false}, {"GenreD", 0, true}, {"GenreE", 9, true}};
  for (const auto& [table, count, encrypted] : cases) {
    SCOPED_TRACE(table);
    ASSERT_EQ(MakeTable(table, 27, GenreRecords(5000)), 5000u);  // more than one block
    const std::string data = Data(table + ".db");
    // Encrypted, or the first block's last-record offset past the block.
    testing::PatchU32(data, encrypted ? paradox::pxheader::kExtendedEncryption : testing::RecordOffsets(data)[0] - 2,
                      0x7F01);
    auto bytes = test::ReadWholeFile(data);
    for (std::size_t i = paradox::GetU16(&bytes[2]); encrypted && i < bytes.size(); ++i) bytes[i] ^= std::byte(i * 40503u >> 7);
    test::WriteWholeFile(data, bytes);
    testing::PatchU32(data, paradox::pxheader::kRecordCount, static_cast<std::uint32_t>(count));
    const auto before = test::ReadWholeFile(data);
    EXPECT_EQ(Check("Genres", table, 27, 0, false, true), !encrypted);
    const std::string original = Data(context->RejectedFolderName() + "Original\\" + table + ".db");
    EXPECT_EQ(test::ReadWholeFile(encrypted ? data : original), before);
  }
  EXPECT_EQ(run.state.FailedTables, "GenreD,GenreE");
}

}  // namespace
}  // namespace remdo::repair
