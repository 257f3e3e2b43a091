// Creating tables, adding the primary index and restructuring: what the
// files hold afterwards, and the answers for what cannot be done.
#include <gtest/gtest.h>

#include "env/Path.h"
#include "paradox/EngineFixture.h"
#include "paradox/TableImage.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/components/Table.h"
#include "paradox/format/MemoFormat.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::OptionDesc;
using testing::Record;
using testing::TableDesc;

class TableDefinitionTest : public testing::TEngineTest {
 protected:
  std::uint16_t Restructure(const TCrTblDesc& desc) { return DbiDoRestructure(Db(), 1, &desc, {}, {}, {}, false); }
  TTableHeader HeaderOf(std::string_view name) { return testing::ReadTableFile(PathOf(name)).header; }
  void Fill(const char* name, std::initializer_list<std::initializer_list<TValue>> rows) {
    TTable table;
    table.SetDatabaseName(folder_.Path());
    table.SetTableName(name);
    table.Open();
    for (const auto& row : rows) table.AppendRecord(row);
  }
  bool Exists(std::string_view name) { return env::RealFileSystem().FileExists(PathOf(name)); }
};

TEST_F(TableDefinitionTest, CreatedTableHasTheEnginesDefaultsAndAnEmptyIndex) {
  Create(TableDesc("T.db", {Fld("Book", 'N'), Fld("Title", 'A', 30), Fld("Blurb", 'M', 4)}, 1));
  const TTableHeader header = HeaderOf("T.db");
  EXPECT_EQ(header.Level(), 4);
  EXPECT_EQ(header.blockSize, 2048u);
  EXPECT_EQ(header.sortOrderName, "ascii");
  EXPECT_EQ(header.codePage, 437);
  EXPECT_EQ(header.fields[2].size, 14);  // "Blurb, M4": leader and reference
  EXPECT_EQ(header.recordSize, 8 + 30 + 14);
  EXPECT_EQ(header.headerSize, 2048);
  const auto index = testing::ReadTableFile(PathOf("T.PX"));
  EXPECT_EQ(index.header.recordCount, 0u);
  EXPECT_EQ(index.header.indexRoot, 1);
  EXPECT_EQ(index.header.indexLevels, 0);
  // An empty memo file: the header block alone, as the engine writes it.
  const auto memoFile = remdo::test::ReadWholeFile(PathOf("T.MB"));
  ASSERT_EQ(memoFile.size(), 4096u);
  const unsigned char start[] = {0x00, 0x01, 0x00, 0x01, 0x00, 0x82, 0x73, 0x02, 0x00, 0x29, 0x00, 0x00, 0x10, 0x00, 0x10};
  for (std::size_t i = 0; i < sizeof start; ++i) EXPECT_EQ(std::to_integer<unsigned>(memoFile[i]), start[i]) << i;
  EXPECT_EQ(GetU16(memoFile.data() + 0x29), 0x02A1);
  // A long integer needs level 5.
  Create(TableDesc("L.db", {Fld("Book", 'I')}));
  EXPECT_EQ(HeaderOf("L.db").Level(), 5);
}

TEST_F(TableDefinitionTest, CreatingOverATableReplacesItsWholeFamily) {
  Create(TableDesc("T.db", {Fld("Book", 'N'), Fld("Blurb", 'M', 4)}, 1));
  Fill("T.db", {{1.0}, {2.0}});
  for (const char* name : {"T.X02", "T.Y02", "T.XG0", "T.VAL", "T.TV"}) {
    remdo::test::WriteWholeFile(PathOf(name), std::string_view("old"));
  }
  EXPECT_EQ(DbiCreateTable(Db(), false, TableDesc("T.db", {Fld("Book", 'S')})), kDbiErrTableExists);
  Create(TableDesc("T.db", {Fld("Book", 'S')}));
  for (const char* name : {"T.X02", "T.Y02", "T.XG0", "T.VAL", "T.MB", "T.PX"}) EXPECT_FALSE(Exists(name)) << name;
  EXPECT_TRUE(Exists("T.TV"));  // not part of what the engine owns
  EXPECT_TRUE(testing::ReadTableFile(PathOf("T.db")).records.empty());
}

TEST_F(TableDefinitionTest, CreationRefusesBadDescriptors) {
  struct TCase {
    const char* name;
    TCrTblDesc desc;
    std::uint16_t code;
  };
  const TCase cases[] = {
      {"no fields", TableDesc("A.db", {}), kDbiErrInvalidFldDesc},
      {"unknown type", [] { auto d = TableDesc("A.db", {Fld("A", 'S')}); d.fields[0].type = 300; return d; }(),
       kDbiErrInvalidFldType},
      {"empty name", TableDesc("A.db", {Fld("", 'S')}), kDbiErrInvalidFldDesc},
      {"alpha of width 0", TableDesc("A.db", {Fld("A", 'A', 0)}), kDbiErrInvalidFldDesc},
      {"same name twice", TableDesc("A.db", {Fld("A", 'S'), Fld("a", 'S')}), kDbiErrInvalidFldDesc},
      {"key not leading", [] { auto d = TableDesc("A.db", {Fld("A", 'S'), Fld("B", 'S')}); d.indexes.push_back({});
                                d.indexes[0].primary = true; d.indexes[0].keyFields = {2}; return d; }(),
       kDbiErrInvalidIndexStruct},
      {"memo key", TableDesc("A.db", {Fld("A", 'M', 4)}, 1), kDbiErrInvalidIndexStruct},
      {"other table type", [] { auto d = TableDesc("A.db", {Fld("A", 'S')}); d.tableType = "DBASE"; return d; }(),
       kDbiErrUnknownTblType},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(DbiCreateTable(Db(), true, c.desc), c.code) << c.name;
    EXPECT_FALSE(Exists("A.db")) << c.name;
  }
}

TEST_F(TableDefinitionTest, RestructureOptionsChangeLevelBlockSizeAndDriver) {
  Create(TableDesc("T.db", {Fld("Book", 'S'), Fld("Name", 'A', 12)}, 1));
  Fill("T.db", {{1, "M\xFCller"}, {2, "Stra\xDF" "e"}});  // "Mueller" with u-umlaut, "Strasse" with sharp s
  // Text of an ascii table is stored in code page 437.
  EXPECT_EQ(static_cast<unsigned char>(testing::ReadTableFile(PathOf("T.db")).records[0][3]), 0x81);
  ASSERT_EQ(Restructure(OptionDesc("T.db", "LEVEL", "7")), 0);
  EXPECT_EQ(HeaderOf("T.db").versionCode, 0x0C);
  EXPECT_EQ(HeaderOf("T.PX").versionCode, 0x0C);
  ASSERT_EQ(Restructure(OptionDesc("T.db", "BLOCK SIZE", "8192")), 0);
  EXPECT_EQ(HeaderOf("T.db").blockSize, 8192u);
  EXPECT_EQ(HeaderOf("T.PX").blockSize, 2048u);  // index blocks keep the engine's default
  ASSERT_EQ(Restructure(OptionDesc("T.db", "LANGDRIVER", "DBWINUS0")), 0);
  const auto image = testing::ReadTableFile(PathOf("T.db"));
  EXPECT_EQ(image.header.sortOrder, 0x4C);
  EXPECT_EQ(image.header.codePage, 1252);
  EXPECT_EQ(image.header.sortOrderName, "DBWINUS0");
  EXPECT_EQ(HeaderOf("T.PX").sortOrder, 0x4C);
  EXPECT_EQ(static_cast<unsigned char>(image.records[0][3]), 0xFC);  // translated to 1252
  TTable table;
  table.SetDatabaseName(folder_.Path());
  table.SetTableName("T");
  table.Open();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "M\xFCller");
  table.Next();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "Stra\xDF" "e");
}

TEST_F(TableDefinitionTest, RefusedRestructuresLeaveTheTableAsItWas) {
  Create(TableDesc("T.db", {Fld("Book", 'I'), Fld("Name", 'A', 200)}, 1));
  const auto before = remdo::test::ReadWholeFile(PathOf("T.db"));
  struct TCase {
    const char* option;
    const char* value;
    std::uint16_t code;
  };
  const TCase cases[] = {
      {"LEVEL", "4", kDbiErrInvalidFldType},      // a long integer needs level 5
      {"LEVEL", "3", kDbiErrInvalidParam},        // older levels are never written
      {"LEVEL", "six", kDbiErrInvalidParam},
      {"BLOCK SIZE", "3000", kDbiErrInvalidParam},
      {"BLOCK SIZE", "65536", kDbiErrInvalidParam},
      {"LANGDRIVER", "klingon", kDbiErrInvalidLangDrv},
      {"COLOUR", "blue", kDbiErrInvalidOption},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Restructure(OptionDesc("T.db", c.option, c.value)), c.code) << c.option << " " << c.value;
    EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("T.db")), before) << c.option << " " << c.value;
  }
  TTable open;
  open.SetDatabaseName(folder_.Path());
  open.SetTableName("T");
  open.Open();
  EXPECT_EQ(Restructure(OptionDesc("T.db", "LEVEL", "7")), kDbiErrNeedExclAccess);
}

TEST_F(TableDefinitionTest, PackWritesFullBlocksInKeyOrder) {
  Create(TableDesc("T.db", {Fld("Book", 'I'), Fld("Name", 'A', 100)}, 1));
  {
    TTable table;
    table.SetDatabaseName(folder_.Path());
    table.SetTableName("T");
    table.Open();
    for (int i = 100; i > 0; --i) table.AppendRecord({i, "x"});
    for (table.First(); !table.Eof();) {
      if (table.Fields(0).AsInteger() % 2 == 0) {
        table.Delete();
      } else {
        table.Next();
      }
    }
  }
  TCrTblDesc pack;
  pack.tableName = "T";
  pack.tableType = "PARADOX";
  pack.pack = true;
  ASSERT_EQ(Restructure(pack), 0);
  const auto image = testing::ReadTableFile(PathOf("T.db"));
  ASSERT_EQ(image.records.size(), 50u);
  EXPECT_EQ(image.header.fileBlocks, 3);  // 19 records of 104 bytes per 2048-byte block
  for (std::size_t i = 0; i < image.records.size(); ++i) {
    EXPECT_EQ(DecodeFieldInteger(image.records[i].data(), 4), static_cast<std::int64_t>(2 * i + 1));
  }
}

TEST_F(TableDefinitionTest, AddingThePrimaryIndexSortsTheRecordsOrAnswersKeyViolation) {
  Create(TableDesc("T.db", {Fld("Book", 'I'), Fld("Token", 'S')}));
  Fill("T.db", {{3, 1}, {1, 1}, {2, 1}, {1, 2}});
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "T.db", "PARADOX", testing::PrimaryIndex(1), {}), kDbiErrKeyViol);
  EXPECT_FALSE(Exists("T.PX"));
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "T.db", "PARADOX", testing::PrimaryIndex(2), {}), kDbiErrNone);
  const auto image = testing::ReadTableFile(PathOf("T.db"));
  EXPECT_EQ(image.header.fileType, TFileType::kKeyedTable);
  EXPECT_EQ(image.header.keyFieldCount, 2);
  ASSERT_EQ(image.records.size(), 4u);
  EXPECT_EQ(DecodeFieldInteger(image.records[0].data(), 4), 1);
  EXPECT_EQ(DecodeFieldInteger(image.records[3].data(), 4), 3);
  EXPECT_TRUE(Exists("T.PX"));
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "T.db", "PARADOX", testing::PrimaryIndex(2), {}), kDbiErrIndexExists);
  TIdxDesc secondary;
  secondary.name = "Token";
  secondary.maintained = true;
  secondary.keyFields = {2};
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "T.db", "PARADOX", secondary, {}), kDbiErrNone);
  EXPECT_TRUE(Exists("T.X02"));
  EXPECT_TRUE(Exists("T.Y02"));
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "T.db", "PARADOX", secondary, {}), kDbiErrIndexExists);
}

TEST_F(TableDefinitionTest, OldLevelTablesAreRestructuredToLevelFour) {
  REMDO_SAMPLES_OR_SKIP(samples);
  const auto original = remdo::test::ReadWholeFile(samples + "paradoxdriver/areas/AREACODE.DB");
  remdo::test::WriteWholeFile(PathOf("AREACODE.DB"), original);
  ASSERT_EQ(Restructure(OptionDesc("AREACODE.DB", "BLOCK SIZE", "4096")), 0);
  const auto image = testing::ReadTableFile(PathOf("AREACODE.DB"));
  EXPECT_EQ(image.header.Level(), 4);
  EXPECT_EQ(image.header.sortOrderName, "ascii");
  EXPECT_EQ(image.records, testing::ReadTableFile(samples + "paradoxdriver/areas/AREACODE.DB").records);
}

// A level 3 header names its driver by the sort byte alone. One the engine
// does not know cannot be named at level 4 without changing how the text
// reads: the restructure is refused unless it names the driver itself.
TEST_F(TableDefinitionTest, OldLevelTableOfAnUnknownDriverIsNotRenamed) {
  remdo::test::TTableImage image;
  image.version = 3;
  image.sortOrder = 0x6E;  // no driver the engine knows
  image.fields = {{fieldtype::kAlpha, 10, "Name"}};
  image.blocks = {{remdo::test::Record({remdo::test::Alpha("\xE0\xE1", 10)})}};
  const auto bytes = image.Build();
  remdo::test::WriteWholeFile(PathOf("OLD.DB"), bytes);
  EXPECT_EQ(Restructure(OptionDesc("OLD.DB", "BLOCK SIZE", "4096")), kDbiErrInvalidLangDrv);
  EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("OLD.DB")), bytes);
  ASSERT_EQ(Restructure(OptionDesc("OLD.DB", "LANGDRIVER", "DBWINUS0")), 0);
  EXPECT_EQ(HeaderOf("OLD.DB").sortOrderName, "DBWINUS0");
}

}  // namespace
}  // namespace remdo::paradox
