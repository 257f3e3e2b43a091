// The table component: navigation, fields, editing, key search, and what the
// files hold afterwards.
#include "paradox/components/Table.h"

#include <gtest/gtest.h>

#include "env/Errors.h"
#include "paradox/EngineFixture.h"
#include "paradox/PxlibReader.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/DbiCalls.h"

#include <random>

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

namespace remdo::paradox {
namespace {

class ComponentTest : public testing::TEngineTest {
 protected:
  void OpenBooks(TTable& table) {
    Create(testing::TableDesc("Books.db", {Fld("Book", 'I'), Fld("Title", 'A', 20), Fld("Date", 'D'), Fld("Price", '$'),
                                           Fld("Read", 'L'), Fld("Seen", '@')},
                              1));
    table.SetDatabaseName(folder_.Path());
    table.SetTableName("Books");
    table.Open();
  }
};

TEST_F(ComponentTest, EditingEveryRecordWhileWalkingVisitsEachOnce) {
  TTable table;
  OpenBooks(table);
  for (int book = 1; book <= 300; ++book) table.AppendRecord({book, "t" + std::to_string(book)});
  int visited = 0;
  for (table.First(); !table.Eof(); table.Next()) {
    table.Edit();
    table.FieldByName("Title").SetAsString("done");
    table.FieldByName("Read").SetAsBoolean(true);
    table.Post();
    ++visited;
  }
  EXPECT_EQ(visited, 300);
  table.Close();
  for (const auto& record : testing::ReadTableFile(PathOf("Books.db")).records) {
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 4), 4), "done");
  }
}

TEST_F(ComponentTest, RefusedPostKeepsTheEditSoItCanBeCancelled) {
  TTable table;
  OpenBooks(table);
  table.AppendRecord({1, "one"});
  table.AppendRecord({2, "two"});
  table.Append();
  table.Fields(0).SetAsInteger(2);
  try {
    table.Post();
    FAIL() << "posted a duplicate key";
  } catch (const env::EDBEngineError& error) {
    EXPECT_EQ(error.Code(), kDbiErrKeyViol);
  }
  EXPECT_EQ(table.State(), TDataSetState::kInsert);
  table.Cancel();
  EXPECT_EQ(table.State(), TDataSetState::kBrowse);
  EXPECT_EQ(table.RecordCount(), 2);
  // Changing a key moves the record to its place.
  ASSERT_TRUE(table.FindKey({1}));
  table.Edit();
  table.Fields(0).SetAsInteger(3);
  table.Post();
  table.First();
  EXPECT_EQ(table.Fields(0).AsInteger(), 2);
  table.Last();
  EXPECT_EQ(table.FieldByName("Title").AsString(), "one");
}

TEST_F(ComponentTest, FieldsReadAndWriteEveryKindOfValue) {
  TTable table;
  OpenBooks(table);
  table.Append();
  table.FieldByName("Book").SetAsString("17");
  table.FieldByName("Title").SetAsString("Title");
  table.FieldByName("Date").SetAsDateTime(36526.0);  // 1 January 2000
  table.FieldByName("Price").SetAsFloat(12.5);
  table.FieldByName("Read").SetAsString("True");
  table.FieldByName("Seen").SetAsString("2020-02-01 01:00:01");
  table.Post();
  ASSERT_TRUE(table.FindKey({17}));
  EXPECT_EQ(table.FieldByName("Book").AsFloat(), 17.0);
  EXPECT_EQ(table.FieldByName("Date").AsString(), "2000-01-01");
  EXPECT_EQ(table.FieldByName("Date").AsDateTime(), 36526.0);
  EXPECT_EQ(table.FieldByName("Price").AsInteger(), 12);  // 12.5 rounds to even
  EXPECT_TRUE(table.FieldByName("Read").AsBoolean());
  EXPECT_EQ(table.FieldByName("Seen").AsString(), "2020-02-01 01:00:01");
  EXPECT_EQ(table.ActiveBuffer().size(), 4u + 20 + 4 + 8 + 1 + 8);
  EXPECT_EQ(DecodeFieldInteger(table.ActiveBuffer().data(), 4), 17);
  EXPECT_THROW(table.FieldByName("Title").SetAsString("x"), env::EDBEngineError);  // not editing
  EXPECT_THROW(table.FieldByName("No such field"), env::EDBEngineError);
  EXPECT_EQ(table.FindField("title"), &table.FieldByName("Title"));
}

TEST_F(ComponentTest, AppendingMissingRecordsAndSavingEachWorksLikeTheGenreRecovery) {
  Create(testing::TableDesc("Genre.db", {Fld("Book", 'I'), Fld("Token", 'S')}, 2));
  TTable genre;
  genre.SetDatabaseName(folder_.Path());
  genre.SetTableName("Genre");
  genre.Open();
  genre.AppendRecord({1, 1});
  genre.Close();
  genre.Open();
  for (int book = 1; book <= 50; ++book) {
    for (const int token : {1, 5, 1}) {
      if (genre.FindKey({book, token})) continue;
      genre.AppendRecord({book, token});
      ASSERT_EQ(DbiSaveChanges(genre.Handle()), 0);
    }
  }
  EXPECT_EQ(genre.RecordCount(), 100);
  EXPECT_TRUE(env::RealFileSystem().FileExists(PathOf("Genre.journal")));
  genre.Close();
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("Genre.journal")));
  EXPECT_EQ(testing::ReadTableFile(PathOf("Genre.db")).records.size(), 100u);
}

TEST_F(ComponentTest, TableWithoutKeyInsertsAtTheCurrentRecord) {
  Create(testing::TableDesc("Log.db", {Fld("Line", 'A', 10)}));
  TTable table;
  table.SetDatabaseName(folder_.Path());
  table.SetTableName("Log");
  table.Open();
  EXPECT_TRUE(table.Bof());
  EXPECT_TRUE(table.Eof());
  table.AppendRecord({"a"});
  table.AppendRecord({"c"});
  table.Last();
  table.Insert();
  table.Fields(0).SetAsString("b");
  table.Post();
  std::vector<std::string> lines;
  for (table.First(); !table.Eof(); table.Next()) lines.push_back(table.Fields(0).AsString());
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c"}));
  table.First();
  table.Delete();
  EXPECT_EQ(table.Fields(0).AsString(), "b");
  EXPECT_THROW(table.FindKey({"b"}), env::EDBEngineError);  // no primary key
}

}  // namespace
}  // namespace remdo::paradox

namespace remdo::paradox {
namespace {

TEST_F(BulkLoadTest, RandomOrderLoadsSortRunsAndMergeThem) {
  Create(testing::TableDesc("W.db", {Fld("Book", 'I'), Fld("Text", 'A', 100)}, 1));
  TTable wide;
  wide.SetDatabaseName(folder_.Path());
  wide.SetTableName("W");
  wide.Open();
  std::vector<int> books(200000);
  for (std::size_t i = 0; i < books.size(); ++i) books[i] = static_cast<int>(i) + 1;
  std::shuffle(books.begin(), books.end(), std::mt19937(5));
  testing::Record record(104);
  for (const int book : books) {
    EncodeFieldInteger(record.data(), book, 4);
    ASSERT_EQ(DbiInsertRecord(wide.Handle(), TDbiLock::kNoLock, record), 0);
  }
  EncodeFieldInteger(record.data(), books[7], 4);
  EXPECT_EQ(DbiInsertRecord(wide.Handle(), TDbiLock::kNoLock, record), kDbiErrKeyViol);  // in an earlier run
  wide.Close();
  EXPECT_TRUE(env::RealFileSystem().Find(folder_.Path() + "*.new", 0).empty());
  const auto image = testing::ReadTableFile(PathOf("W.db"));
  ASSERT_EQ(image.records.size(), books.size());
  for (std::size_t i = 0; i < image.records.size(); ++i) {
    ASSERT_EQ(DecodeFieldInteger(image.records[i].data(), 4), static_cast<std::int64_t>(i) + 1);
  }
  if (testing::HavePxlib()) {
    const auto pxlib = testing::ReadWithPxlib(PathOf("W.db"), PathOf("W.PX"));
    ASSERT_TRUE(pxlib.has_value());
    EXPECT_TRUE(pxlib->indexAccepted);
  }
}

}  // namespace
}  // namespace remdo::paradox
