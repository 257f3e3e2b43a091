// The table component: navigation, fields, editing, key search, and what the
// files hold afterwards.
#include "paradox/Table.h"

#include <gtest/gtest.h>

#include "env/Errors.h"
#include "paradox/EngineCodes.h"
#include "paradox/EngineErrors.h"
#include "paradox/EngineFixture.h"
#include "paradox/DbiCalls.h"
#include "paradox/Coding.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::ReadTableFile;
using testing::TableDesc;

class TableTest : public testing::TEngineTest {
 protected:
  void CreateGenre() { Create(TableDesc("Genre.db", {Fld("Book", 'I'), Fld("Token", 'S'), Fld("Prop", 'S')}, 2)); }
  void Open(TTable& table, std::string name) {
    table.SetDatabaseName(folder_.Path());
    table.SetTableName(std::move(name));
    table.Open();
  }
};

TEST_F(TableTest, AppendedRecordsComeBackInKeyOrder) {
  CreateGenre();
  TTable table;
  Open(table, "Genre");
  EXPECT_TRUE(table.Eof());
  table.AppendRecord({5, 2, 0});
  table.AppendRecord({3, 7, 1});
  table.AppendRecord({5, 1, 0});
  table.Close();
  const auto image = ReadTableFile(PathOf("Genre.db"));
  ASSERT_EQ(image.records.size(), 3u);
  Open(table, "Genre");
  std::vector<std::pair<int, int>> seen;
  for (table.First(); !table.Eof(); table.Next()) {
    seen.emplace_back(table.Fields(0).AsInteger(), table.FieldByName("token").AsInteger());
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{3, 7}, {5, 1}, {5, 2}}));
  EXPECT_TRUE(table.FindKey({5}));
  EXPECT_EQ(table.FieldByName("Token").AsInteger(), 1);
  EXPECT_FALSE(table.FindKey({4}));
  EXPECT_EQ(table.FieldByName("Token").AsInteger(), 1);
}

}  // namespace
}  // namespace remdo::paradox

namespace remdo::paradox {
namespace {

class BulkLoadTest : public testing::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    Create(testing::TableDesc("B.db", {Fld("Book", 'I'), Fld("Token", 'S')}, 1));
    table_.SetDatabaseName(folder_.Path());
    table_.SetTableName("B");
    table_.Open();
  }
  std::uint16_t Insert(int book) {
    testing::Record record(6);
    EncodeFieldInteger(record.data(), book, 4);
    EncodeFieldInteger(record.data() + 4, 1, 2);
    return DbiInsertRecord(table_.Handle(), TDbiLock::kNoLock, record);
  }
  std::vector<int> Books() {
    std::vector<int> books;
    for (table_.First(); !table_.Eof(); table_.Next()) books.push_back(table_.Fields(0).AsInteger());
    return books;
  }
  TTable table_;
};

TEST_F(BulkLoadTest, InsertsInKeyOrderThenAnythingElseKeepEveryRecord) {
  for (int book = 1; book <= 2000; ++book) ASSERT_EQ(Insert(book), 0);
  EXPECT_EQ(table_.RecordCount(), 2000);
  EXPECT_EQ(Insert(2000), kDbiErrKeyViol);  // not above the last key: checked against the table
  EXPECT_EQ(Insert(0), 0);                  // out of order
  EXPECT_EQ(Insert(2001), 0);
  const auto books = Books();
  ASSERT_EQ(books.size(), 2002u);
  EXPECT_EQ(books.front(), 0);
  EXPECT_EQ(books.back(), 2001);
  table_.Close();
  EXPECT_EQ(testing::ReadTableFile(PathOf("B.db")).records.size(), 2002u);
}

TEST_F(BulkLoadTest, NavigationDuringALoadSeesTheRecordsSoFar) {
  for (int book = 10; book <= 30; book += 10) ASSERT_EQ(Insert(book), 0);
  EXPECT_EQ(Books(), (std::vector<int>{10, 20, 30}));
  EXPECT_TRUE(table_.FindKey({20}));
  ASSERT_EQ(Insert(40), 0);
  EXPECT_EQ(Books(), (std::vector<int>{10, 20, 30, 40}));
}

TEST_F(BulkLoadTest, SaveDuringALoadWritesTheTable) {
  for (int book = 1; book <= 500; ++book) ASSERT_EQ(Insert(book), 0);
  ASSERT_EQ(DbiSaveChanges(table_.Handle()), 0);
  EXPECT_EQ(testing::ReadTableFile(PathOf("B.db")).records.size(), 500u);
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("B.journal")));
  ASSERT_EQ(Insert(501), 0);
  ASSERT_EQ(DbiSaveChanges(table_.Handle()), 0);
  EXPECT_TRUE(env::RealFileSystem().FileExists(PathOf("B.journal")));
  EXPECT_EQ(table_.RecordCount(), 501);
}

}  // namespace
}  // namespace remdo::paradox
