// The table component: navigation, fields, editing, key search, and what the
// files hold afterwards.
#include "paradox/Table.h"

#include <gtest/gtest.h>

#include "env/Errors.h"
#include "paradox/EngineStandIn.h"
#include "paradox/EngineFixture.h"

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
