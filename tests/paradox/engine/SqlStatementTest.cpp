// The SQL statement form: the fix-up statements of the folder conversion on
// a folder table, the variants of the form that are accepted, and every
// other text answered with an engine code.
#include <gtest/gtest.h>

#include "catalogue/TableCatalogue.h"
#include "catalogue/TableCreation.h"
#include "env/Errors.h"
#include "paradox/EngineFixture.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/components/Query.h"
#include "paradox/components/Table.h"
#include "paradox/components/TableOptions.h"
#include "paradox/engine/SqlStatement.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::TableDesc;

class SqlStatementTest : public testing::TEngineTest {
 protected:
  void Run(const std::string& text) {
    TQuery query;
    query.SetDatabaseName(folder_.Path());
    query.SetSQL(text);
    query.ExecSQL();
    rows_ = query.RowsAffected();
  }
  std::uint16_t CodeOf(const std::string& text) {
    try {
      Run(text);
    } catch (const env::EDBEngineError& e) {
      return e.Code();
    }
    return kDbiErrNone;
  }
  void Open(TTable& table, const std::string& name) {
    table.SetDatabaseName(folder_.Path());
    table.SetTableName(name);
    table.Open();
  }
  std::size_t rows_ = 0;
};

TEST_F(SqlStatementTest, TheFolderConversionStatementsSetEveryRecord) {
  using namespace catalogue;
  ASSERT_TRUE(CreateParadoxTable(Db(), "temptbl1.db", SchemaLanguageDriver(22), GetTableSchema(22), SchemaLevel(22)));
  TTable table;
  Open(table, "temptbl1");
  for (int book = 1; book <= 50; ++book) {
    table.AppendRecord({book, 1, 0, "Title", "Key", "Series", "", "mint", 9.5, 3, 77, 5, "e"});
  }
  table.Close();
  const char* statements[] = {
      "Update 'temptbl1' as D set D.\"Condition\" = \"\"", "Update 'temptbl1' as D set D.\"Price\" = 0",
      "Update 'temptbl1' as D set D.\"Qty\" = 0",          "Update 'temptbl1' as D set D.\"EntryDate\" = 1863105790",
      "Update 'temptbl1' as D set D.\"Prop\" = 0",         "Update 'temptbl1' as D set D.\"E\" = \"\""};
  for (const char* statement : statements) {
    Run(statement);
    EXPECT_EQ(rows_, 50u) << statement;
  }
  Open(table, "temptbl1");
  for (table.First(); !table.Eof(); table.Next()) {
    EXPECT_TRUE(table.FieldByName("Condition").IsNull());
    EXPECT_EQ(table.FieldByName("Price").AsFloat(), 0.0);
    EXPECT_EQ(table.FieldByName("Qty").AsInteger(), 0);
    EXPECT_EQ(table.FieldByName("EntryDate").AsInteger(), 1863105790);
    EXPECT_EQ(table.FieldByName("Prop").AsInteger(), 0);
    EXPECT_TRUE(table.FieldByName("E").IsNull());
    EXPECT_EQ(table.FieldByName("Key").AsString(), "Key");
  }
  table.SetIndexName("EntryDate");
  table.Close();
  table.Open();  // the index on EntryDate was rewritten with the values
  EXPECT_TRUE(table.FindKey({1863105790}));
  table.Close();
}

TEST_F(SqlStatementTest, VariantsOfTheFormAreAccepted) {
  Create(TableDesc("T.db", {Fld("Key", 'I'), Fld("Name", 'A', 20), Fld("Count", 'S'), Fld("Notes", 'M', 4)}, 1));
  TTable table;
  Open(table, "T");
  table.AppendRecord({1, "a", 5});
  table.AppendRecord({2, "b", 6});
  table.Close();
  const struct {
    const char* statement;
    const char* name;
    int count;
  } cases[] = {
      {"update \"T.db\" D SET D.Name = 'it''s';", "it's", 5},
      {"UPDATE T SET \"Count\" = -3", "it's", -3},
      {"Update 'T' as x set X.\"Name\" = \"say \"\"hi\"\"\"", "say \"hi\"", -3},
      {"Update 'T' set T.Count = +4", "say \"hi\"", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    Run(c.statement);
    Open(table, "T");
    EXPECT_EQ(table.FieldByName("Name").AsString(), c.name);
    EXPECT_EQ(table.FieldByName("Count").AsInteger(), c.count);
    table.Close();
  }
  Run("Update 'T' as D set D.\"Notes\" = \"" + std::string(300, 'n') + "\"");
  Open(table, "T");
  EXPECT_EQ(table.FieldByName("Notes").AsString(), std::string(300, 'n'));
  table.Next();
  EXPECT_EQ(table.FieldByName("Notes").AsString(), std::string(300, 'n'));
  table.Close();
}

TEST_F(SqlStatementTest, KeyFieldsChangeOnlyWhenTheKeysStayUnique) {
  Create(TableDesc("T.db", {Fld("Book", 'I'), Fld("Release", 'S'), Fld("Name", 'A', 5)}, 2));
  TTable table;
  Open(table, "T");
  table.AppendRecord({1, 1, "a"});
  table.AppendRecord({2, 2, "b"});
  table.AppendRecord({2, 3, "c"});
  table.Close();
  EXPECT_EQ(CodeOf("Update 'T' as D set D.Book = 7"), kDbiErrNone);
  EXPECT_EQ(CodeOf("Update 'T' as D set D.Release = 1"), kDbiErrKeyViol);
  Open(table, "T");
  std::vector<int> releases;
  for (table.First(); !table.Eof(); table.Next()) {
    EXPECT_EQ(table.Fields(0).AsInteger(), 7);
    releases.push_back(table.Fields(1).AsInteger());
  }
  EXPECT_EQ(releases, (std::vector<int>{1, 2, 3}));
  table.Close();
}

TEST_F(SqlStatementTest, EverythingElseIsAnEngineError) {
  Create(TableDesc("T.db", {Fld("Key", 'I'), Fld("Price", 'N'), Fld("Name", 'A', 3)}, 1));
  const struct {
    const char* statement;
    std::uint16_t code;
  } cases[] = {
      {"", kDbiErrQryEmpty},
      {"  ;", kDbiErrQryEmpty},
      {"select * from T", kDbiErrQryNiy},
      {"delete from 'T'", kDbiErrQryNiy},
      {"Update", kDbiErrQrySyntErr},
      {"Update 'T' as D", kDbiErrQrySyntErr},
      {"Update 'T' as D set", kDbiErrQrySyntErr},
      {"Update 'T' as D set D.\"Price\"", kDbiErrQrySyntErr},
      {"Update 'T' as D set D.\"Price\" = ", kDbiErrQrySyntErr},
      {"Update 'T' as D set D.\"Price\" = 1.5", kDbiErrQrySyntErr},
      {"Update 'T' as D set D.\"Price\" = 1, D.Name = 'x'", kDbiErrQrySyntErr},
      {"Update 'T' as D set D.\"Price\" = 1 where D.Key = 1", kDbiErrQrySyntErr},
      {"Update 'T' as D set D.\"Name\" = \"unclosed", kDbiErrQrySyntErr},
      {"Update 'T' as D set E.\"Price\" = 1", kDbiErrNoSuchRelOrAlias},
      {"Update 'T' as D set D.\"Nothing\" = 1", kDbiErrQxFldSymNotFound},
      {"Update 'Missing' as D set D.\"Price\" = 1", kDbiErrNoSuchTable},
      {"Update 'sub\\T' as D set D.\"Price\" = 1", kDbiErrInvalidTableName},
      {"Update 'T' as D set D.\"Price\" = \"cheap\"", kDbiErrInvalidFldXform},
      {"Update 'T' as D set D.\"Key\" = 99999999999999999999999", kDbiErrOutOfRange},
  };
  for (const auto& c : cases) EXPECT_EQ(CodeOf(c.statement), c.code) << c.statement;
  // The direct call answers with the same codes.
  std::uint32_t rows = 7;
  EXPECT_EQ(DbiQExecDirect(Db(), "Update 'T' as D set D.\"Price\" = 2", &rows), kDbiErrNone);
  EXPECT_EQ(rows, 0u);
  EXPECT_EQ(DbiQExecDirect(Db(), "nonsense", nullptr), kDbiErrQryNiy);
  EXPECT_EQ(DbiQExecDirect(nullptr, "Update 'T' set Price = 1", nullptr), kDbiErrInvalidHndl);
}

TEST_F(SqlStatementTest, ATableOpenedExclusivelyElsewhereIsLocked) {
  Create(TableDesc("T.db", {Fld("Key", 'I'), Fld("Price", 'N')}, 1));
  TTable table;
  table.SetExclusive(true);
  Open(table, "T");
  EXPECT_EQ(CodeOf("Update 'T' as D set D.\"Price\" = 1"), kDbiErrFileLocked);
  table.Close();
  EXPECT_EQ(CodeOf("Update 'T' as D set D.\"Price\" = 1"), kDbiErrNone);
}

}  // namespace
}  // namespace remdo::paradox
