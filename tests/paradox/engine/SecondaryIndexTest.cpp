// Maintained single-field secondary indexes: created with a table or added
// later, kept up to date through every insert, post, change and delete,
// followed by cursors opened on them, written with every rewrite of the
// table, and read back from existing files.
#include <gtest/gtest.h>

#include <random>

#include "catalogue/TableCatalogue.h"
#include "catalogue/TableCreation.h"
#include "env/Errors.h"
#include "paradox/EngineFixture.h"
#include "paradox/IndexCheck.h"
#include "paradox/PxlibReader.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/components/Table.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/DbiCalls.h"
#include "paradox/family/TableFiles.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::ReadTableFile;
using testing::Record;
using testing::TableDesc;

TIdxDesc Secondary(const std::string& name, int field) {
  TIdxDesc index;
  index.name = name;
  index.maintained = true;
  index.keyFields = {static_cast<std::uint16_t>(field)};
  return index;
}

class SecondaryIndexTest : public testing::TEngineTest {
 protected:
  // Books: Book I (key), Main I (indexed), Title A20 (indexed).
  void CreateBooks(const char* driver = "DBWINUS0") {
    TCrTblDesc desc = TableDesc("Books.db", {Fld("Book", 'I'), Fld("Main", 'I'), Fld("Title", 'A', 20)}, 1);
    desc.indexes.push_back(Secondary("Main", 2));
    desc.indexes.push_back(Secondary("Title", 3));
    testing::AddOption(desc, "LANGDRIVER", driver);
    Create(desc);
  }
  void Open(TTable& table, const std::string& index = {}) {
    table.SetDatabaseName(folder_.Path());
    table.SetTableName("Books");
    table.SetIndexName(index);
    table.Open();
  }
  // The files match the records: entries, hints and trees.
  void ExpectIndexesMatch() {
    for (const auto& [field, x, y] :
         {std::tuple{2, "Books.X02", "Books.Y02"}, std::tuple{3, "Books.X03", "Books.Y03"}}) {
      SCOPED_TRACE(x);
      EXPECT_EQ(ReadTableFile(PathOf(x)).records, testing::ExpectedEntries(PathOf("Books.db"), field));
      testing::CheckIndexTree(PathOf(y), PathOf(x));
    }
    testing::CheckIndexTree(PathOf("Books.PX"), PathOf("Books.db"));
  }
  std::vector<int> Walk(TTable& table) {
    std::vector<int> books;
    for (table.First(); !table.Eof() && !table.IsEmpty(); table.Next()) books.push_back(table.Fields(0).AsInteger());
    return books;
  }
};

TEST_F(SecondaryIndexTest, FileNamesUseHexadecimalFieldNumbers) {
  EXPECT_EQ(SecondaryIndexFileName("Books", 4, 'X'), "Books.X04");
  EXPECT_EQ(SecondaryIndexFileName("Fldr0001", 11, 'X'), "Fldr0001.X0B");
  EXPECT_EQ(SecondaryIndexFileName("Fldr0001", 11, 'Y'), "Fldr0001.Y0B");
  EXPECT_EQ(SecondaryIndexFileName("T", 255, 'Y'), "T.YFF");
}

TEST_F(SecondaryIndexTest, CreationAddsTheIndexesOfTheFieldSpecs) {
  // Structure 21: a folder table whose "EntryDate" is field 11.
  using namespace catalogue;
  ASSERT_TRUE(CreateParadoxTable(Db(), "temptbl1.db", SchemaLanguageDriver(21), GetTableSchema(21), SchemaLevel(21)));
  for (const char* name : {"temptbl1.X04", "temptbl1.Y04", "temptbl1.X05", "temptbl1.X06", "temptbl1.X07",
                           "temptbl1.X0B", "temptbl1.Y0B"}) {
    EXPECT_TRUE(env::RealFileSystem().FileExists(PathOf(name))) << name;
  }
  const auto x = ReadTableFile(PathOf("temptbl1.X0B"));
  EXPECT_EQ(x.header.fileType, TFileType::kMaintainedIndexData);
  EXPECT_EQ(x.header.indexFieldNumber, 11);
  EXPECT_EQ(x.header.fields.front().name, "EntryDate");
  EXPECT_EQ(x.header.fields.back().name, "Blk Num");
  EXPECT_EQ(x.header.blockSize, 8192u);
  EXPECT_EQ(x.header.sortOrderName, "DBWINUS0");
  const auto y = ReadTableFile(PathOf("temptbl1.Y0B"));
  EXPECT_EQ(y.header.fileType, TFileType::kIndexTree);
  EXPECT_EQ(y.header.indexStamp, x.header.changeCount1);
  EXPECT_EQ(x.header.primaryStamp, ReadTableFile(PathOf("temptbl1.PX")).header.indexStamp);
}

TEST_F(SecondaryIndexTest, DescriptorsTheEngineCannotBuildAreRefused) {
  Create(TableDesc("K.db", {Fld("Key", 'I'), Fld("Memo", 'M', 10), Fld("Name", 'A', 10)}, 1));
  Create(TableDesc("U.db", {Fld("Key", 'I'), Fld("Name", 'A', 10)}));
  TIdxDesc composite = Secondary("Both", 1);
  composite.keyFields.push_back(3);
  TIdxDesc caseless = Secondary("Name", 3);
  caseless.caseInsensitive = true;
  TIdxDesc unmaintained = Secondary("Name", 3);
  unmaintained.maintained = false;
  const struct {
    const char* name;
    const char* table;
    TIdxDesc index;
    std::uint16_t code;
  } cases[] = {
      {"blob field", "K.db", Secondary("Memo", 2), kDbiErrInvalidIndexStruct},
      {"field out of range", "K.db", Secondary("X", 9), kDbiErrInvalidIndexStruct},
      {"composite", "K.db", composite, kDbiErrInvalidIndexStruct},
      {"other name", "K.db", Secondary("ByName", 3), kDbiErrNotSupported},
      {"case-insensitive", "K.db", caseless, kDbiErrNotSupported},
      {"not maintained", "K.db", unmaintained, kDbiErrNotSupported},
      {"table without key", "U.db", Secondary("Name", 2), kDbiErrNotSupported},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DbiAddIndex(Db(), nullptr, c.table, "PARADOX", c.index, {}), c.code) << c.name;
  }
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "K.db", "PARADOX", Secondary("", 3), {}), kDbiErrNone);
  EXPECT_TRUE(env::RealFileSystem().FileExists(PathOf("K.X03")));
}

TEST_F(SecondaryIndexTest, EveryChangeKeepsTheIndexesUpToDate) {
  CreateBooks();
  TTable byMain;
  Open(byMain, "Main");
  for (int book = 1; book <= 6; ++book) {
    byMain.AppendRecord({book, 10 - book % 3, "Title " + std::to_string(7 - book)});
  }
  // Main values: 1->9, 2->8, 3->10, 4->9, 5->8, 6->10; ties by Book.
  EXPECT_EQ(Walk(byMain), (std::vector<int>{2, 5, 1, 4, 3, 6}));
  ASSERT_TRUE(byMain.FindKey({9}));
  EXPECT_EQ(byMain.Fields(0).AsInteger(), 1);
  byMain.Next();
  EXPECT_EQ(byMain.Fields(0).AsInteger(), 4);
  // Post a change of the indexed field: the record moves in the index.
  byMain.Edit();
  byMain.FieldByName("Main").SetAsInteger(1);
  byMain.Post();
  EXPECT_EQ(byMain.Fields(0).AsInteger(), 4);
  EXPECT_EQ(Walk(byMain), (std::vector<int>{4, 2, 5, 1, 3, 6}));
  // Raw insert, modify and delete through the direct calls.
  Record raw(28);
  EncodeFieldInteger(raw.data(), 7, 4);
  EncodeFieldInteger(raw.data() + 4, 8, 4);
  ASSERT_EQ(DbiInsertRecord(byMain.Handle(), TDbiLock::kNoLock, raw), 0);
  EXPECT_EQ(Walk(byMain), (std::vector<int>{4, 2, 5, 7, 1, 3, 6}));
  ASSERT_TRUE(byMain.FindKey({10, 6}));
  EXPECT_EQ(byMain.Fields(0).AsInteger(), 6);
  byMain.Delete();
  EXPECT_FALSE(byMain.FindKey({10, 6}));
  EXPECT_TRUE(byMain.FindKey({10}));
  EXPECT_EQ(byMain.Fields(0).AsInteger(), 3);
  Record key(28);
  EncodeFieldInteger(key.data(), 2, 4);
  Record found(28);
  ASSERT_EQ(DbiGetRecordForKey(byMain.Handle(), false, 0, 0, key, found), 0);
  EncodeFieldInteger(found.data() + 4, 11, 4);
  ASSERT_EQ(DbiModifyRecord(byMain.Handle(), found, true), 0);
  EXPECT_EQ(Walk(byMain), (std::vector<int>{4, 5, 7, 1, 3, 2}));
  // A second cursor on the other index sees the same records.
  TTable byTitle;
  Open(byTitle, "title");
  EXPECT_EQ(Walk(byTitle), (std::vector<int>{7, 5, 4, 3, 2, 1}));
  byTitle.Close();
  byMain.Close();
  ExpectIndexesMatch();
}

TEST_F(SecondaryIndexTest, BulkLoadsInAnyOrderWriteConsistentIndexes) {
  CreateBooks();
  std::vector<int> books(5000);
  for (int i = 0; i < 5000; ++i) books[static_cast<std::size_t>(i)] = i + 1;
  std::shuffle(books.begin(), books.end(), std::mt19937(7));
  TTable table;
  Open(table);
  Record record(28);
  for (const int book : books) {
    EncodeFieldInteger(record.data(), book, 4);
    EncodeFieldInteger(record.data() + 4, book % 37, 4);
    std::fill(record.begin() + 8, record.end(), std::byte{0});
    const std::string title = "T" + std::to_string(book * 7919 % 5003);
    std::copy_n(reinterpret_cast<const std::byte*>(title.data()), title.size(), record.begin() + 8);
    ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record), 0);
  }
  table.Close();
  ExpectIndexesMatch();
  EXPECT_GT(ReadTableFile(PathOf("Books.X03")).header.fileBlocks, 1);
  if (testing::HavePxlib()) {
    const auto pxlib = testing::ReadWithPxlib(PathOf("Books.X02"));
    ASSERT_TRUE(pxlib.has_value());
    EXPECT_EQ(pxlib->records, ReadTableFile(PathOf("Books.X02")).records);
  }
}

TEST_F(SecondaryIndexTest, RewritesKeepTheIndexesAndOpeningReadsThem) {
  CreateBooks();
  TTable table;
  Open(table);
  for (int book = 1; book <= 40; ++book) table.AppendRecord({book, book % 4, "B" + std::to_string(book)});
  table.Close();
  TCrTblDesc desc = testing::OptionDesc("Books.db", "BLOCK SIZE", "4096");
  ASSERT_EQ(DbiDoRestructure(Db(), 1, &desc, {}, {}, {}, false), 0);
  EXPECT_EQ(ReadTableFile(PathOf("Books.X02")).header.blockSize, 4096u);
  ExpectIndexesMatch();
  // A new session reads the index files the table has.
  Open(table, "MAIN");
  ASSERT_TRUE(table.FindKey({3}));
  EXPECT_EQ(table.Fields(0).AsInteger(), 3);
  table.Close();
  table.SetIndexName("Nothing");
  EXPECT_THROW(table.Open(), env::EDBEngineError);
}

TEST_F(SecondaryIndexTest, DamagedIndexFilesAreRebuiltOthersGoWithARewrite) {
  CreateBooks();
  remdo::test::WriteWholeFile(PathOf("Books.XG0"), std::string_view("a composite index"));
  remdo::test::WriteWholeFile(PathOf("Books.X05"), std::string_view("garbage"));
  remdo::test::WriteWholeFile(PathOf("Books.X02"), std::string_view("damaged"));
  remdo::test::WriteWholeFile(PathOf("Books.Y02"), std::string_view("damaged"));
  TTable table;
  Open(table);
  table.AppendRecord({1, 2, "x"});
  table.Close();
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("Books.XG0")));
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("Books.X05")));
  ExpectIndexesMatch();
}

TEST_F(SecondaryIndexTest, AlphaIndexesFollowTheDriversCollation) {
  CreateBooks("intl");
  TTable table;
  Open(table, "Title");
  const char* titles[] = {"beta", "Alpha", "alpha", "\xE4rger" /* a-umlaut */, "Zoo", "aerger", "\xE5re" /* a-ring */};
  int book = 1;
  for (const char* title : titles) table.AppendRecord({book++, 0, title});
  std::vector<std::string> seen;
  for (table.First(); !table.Eof(); table.Next()) seen.push_back(table.FieldByName("Title").AsString());
  // intl: a before A, umlauts spelled out after their expansion, a-ring after Z.
  EXPECT_EQ(seen, (std::vector<std::string>{"aerger", "\xE4rger", "alpha", "Alpha", "beta", "Zoo", "\xE5re"}));
  table.Close();
  // A driver whose order is not known takes no alpha index.
  TCrTblDesc desc = TableDesc("Other.db", {Fld("Key", 'I'), Fld("Name", 'A', 10)}, 1);
  testing::AddOption(desc, "LANGDRIVER", "intl850");
  desc.indexes.push_back(Secondary("Name", 2));
  EXPECT_EQ(DbiCreateTable(Db(), true, desc), kDbiErrNotSupported);
  desc.indexes.pop_back();
  ASSERT_EQ(DbiCreateTable(Db(), true, desc), 0);
  EXPECT_EQ(DbiAddIndex(Db(), nullptr, "Other.db", "PARADOX", Secondary("Name", 2), {}), kDbiErrNotSupported);
}

}  // namespace
}  // namespace remdo::paradox
