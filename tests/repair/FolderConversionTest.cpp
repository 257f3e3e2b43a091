// Folder tables of the earlier layout in a current-layout data set are
// converted to the current folder layout; retries with the second-retry
// structures refuse records of another size.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "catalogue/TableCatalogue.h"
#include "paradox/codes/Coding.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/format/PxObject.h"
#include "repair/CatalogTables.h"
#include "repair/FolderConversion.h"
#include "repair/RepairFixture.h"
#include "repair/TableCheck.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

std::vector<Record> OldFolder(std::initializer_list<double> books) {
  const TRecordMaker maker(catalogue::kEarlierFolderStructure);
  std::vector<Record> records;
  int release = 0;
  for (const double book : books) {
    records.push_back(maker.Make({{"Book", book},
                                  {"Release", ++release},
                                  {"Sort Title", "sort \xE9 " + std::to_string(release)},
                                  {"Key", "key " + std::to_string(release)},
                                  {"Series", "series"}}));
  }
  return records;
}

int FieldCountOf(const std::string& path) {
  const auto bytes = test::ReadWholeFile(path);
  return paradox::GetS16(bytes.data() + paradox::pxheader::kFieldCount);
}

class FolderConversionTest : public TRepairTest {};

TEST_F(FolderConversionTest, EmptyEarlierFolderTableBecomesTheNewLayout) {
  const struct {
    const char* table;
    int fields;
  } cases[] = {{"Fldr0005", 12}, {"Fldr0003", 13}};
  for (const auto& c : cases) {
    run.lines.clear();
    run.state.ConvertFolderTables = false;
    MakeTable(c.table, catalogue::kEarlierFolderStructure, {});
    const auto old = test::ReadWholeFile(Data(std::string(c.table) + ".db"));
    EXPECT_TRUE(CheckTable(*context, "Folder", c.table, catalogue::kEarlierFolderStructure, 7, false, true)) << c.table;
    EXPECT_TRUE(run.state.ConvertFolderTables);
    EXPECT_EQ(FieldCountOf(Data(std::string(c.table) + ".db")), c.fields) << c.table;
    EXPECT_EQ(test::ReadWholeFile(Data("temp-" + std::string(c.table) + ".db")), old) << c.table;
    EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Folder...", "~  -- transferred data [0]",
                                                   "~  -- transferred data [0]"}));
    ExpectReadable(c.table, 0);
  }
}

TEST_F(FolderConversionTest, LargeBookNumbersAreNotConverted) {
  MakeTable("Fldr0008", catalogue::kEarlierFolderStructure, OldFolder({200000, 350000.0, 1e9}));
  EXPECT_TRUE(CheckTable(*context, "Folder", "Fldr0008", catalogue::kEarlierFolderStructure, 7, false, true));
  EXPECT_FALSE(run.state.ConvertFolderTables);
  EXPECT_EQ(FieldCountOf(Data("Fldr0008.db")), 5);
  EXPECT_FALSE(Exists("temp-Fldr0008.db"));
  ExpectReadable("Fldr0008", 3);
}

TEST_F(FolderConversionTest, EarlierLayoutDataSetsAreNotConverted) {
  catalogue::SetBooksFormatMarker(6);
  MakeTable("Fldr0005", catalogue::kEarlierFolderStructure, {});
  EXPECT_TRUE(CheckTable(*context, "Folder", "Fldr0005", catalogue::kEarlierFolderStructure, 7, false, true));
  EXPECT_FALSE(run.state.ConvertFolderTables);
  EXPECT_EQ(FieldCountOf(Data("Fldr0005.db")), 5);
}

TEST_F(FolderConversionTest, SecondRetryRefusesRecordsOfAnotherSize) {
  MakeTable("Fldr0007", catalogue::kEarlierFolderStructure, OldFolder({200001, 200002}));
  const auto before = test::ReadWholeFile(Data("Fldr0007.db"));
  EXPECT_FALSE(CheckTable(*context, "Folder...(retry 2)", "Fldr0007", 40, 7, false, false));
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Folder...(retry 2)...", "  -- incorrect table format",
                                                 "  -- error"}));
  EXPECT_EQ(run.state.FailureCount, 1);
  EXPECT_EQ(run.state.FailedTables, "Fldr0007");
  EXPECT_EQ(test::ReadWholeFile(Data("Fldr0007.db")), before);
}

TEST_F(FolderConversionTest, SecondRetryOfTheRightSizeSucceeds) {
  const TRecordMaker maker(21);
  MakeTable("Fldr0007", 21, {maker.Make({{"Book", 4}, {"Release", 1}, {"Num", 0}})});
  EXPECT_TRUE(CheckTable(*context, "Folder...(retry 2)", "Fldr0007", 40, 7, false, false));
  ExpectReadable("Fldr0007", 1);
}

TEST_F(FolderConversionTest, RecordsAreCarriedFieldByField) {
  const auto old = OldFolder({12, 13.5, 250000});
  MakeTable("Fldr0004", catalogue::kEarlierFolderStructure, old);
  {
    paradox::TTable scratch;
    MakeTable("temptbl1", 21, {});
    scratch.SetDatabaseName(test::kDataFolder);
    scratch.SetTableName("temptbl1.db");
    scratch.Open();
    paradox::TPxObject reader(
        env::TFileStream(env::DefaultFileSystem(), Data("Fldr0004.db"), env::TOpenMode::kRead));
    ASSERT_TRUE(reader.FirstRecord());
    TFolderRecordConverter converter(scratch, reader, 21);
    const TRecordMaker target(21);
    const char* books[] = {"12", "14", "250000"};  // 13.5 rounds to the even 14
    for (int i = 0; i < 3; ++i) {
      const auto converted = converter.Convert(reader);
      const Record record(converted.begin(), converted.end());
      ASSERT_EQ(record.size(), target.Size());
      EXPECT_EQ(target.Text(record, "Book"), books[i]);
      EXPECT_EQ(target.Text(record, "Release"), std::to_string(i + 1));
      EXPECT_EQ(target.Text(record, "Num"), "");
      EXPECT_EQ(target.Text(record, "Sort Title"), "sort \xE9 " + std::to_string(i + 1));
      EXPECT_EQ(target.Text(record, "Key"), "key " + std::to_string(i + 1));
      EXPECT_EQ(target.Text(record, "Series"), "series");
      EXPECT_EQ(target.Text(record, "EntryDate"), "");
      reader.NextRecord();
    }
    scratch.Close();
  }
}

TEST_F(FolderConversionTest, EarlierFolderTableWithRecordsIsConvertedAndFilledIn) {
  const struct {
    const char* table;
    std::int32_t structure;
    int fields;
  } cases[] = {{"Fldr0004", 21, 12}, {"Fldr0003", 22, 13}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    run.lines.clear();
    run.state.ConvertFolderTables = false;
    // 12 is a book number of the current catalogue: the table is due.
    MakeTable(c.table, catalogue::kEarlierFolderStructure, OldFolder({250000, 12, 13.5}));
    const auto old = test::ReadWholeFile(Data(std::string(c.table) + ".db"));
    EXPECT_TRUE(CheckTable(*context, "Folder", c.table, catalogue::kEarlierFolderStructure, 0, false, false));
    EXPECT_TRUE(run.state.ConvertFolderTables);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Folder...", "~  -- transferred data [3]",
                                                   "~  -- transferred data [3]"}));
    EXPECT_EQ(run.state.FailureCount, 0);
    EXPECT_EQ(FieldCountOf(Data(std::string(c.table) + ".db")), c.fields);
    EXPECT_EQ(test::ReadWholeFile(Data("temp-" + std::string(c.table) + ".db")), old);

    const TRecordMaker maker(c.structure);
    std::map<std::string, Record> byBook;
    for (const auto& record : testing::RawRecords(Data(std::string(c.table) + ".db"))) {
      byBook[maker.Text(record, "Book")] = record;
    }
    // Book 13.5 rounds to 14; Release follows the old record order.
    const std::pair<const char*, int> expected[] = {{"12", 2}, {"14", 3}, {"250000", 1}};
    ASSERT_EQ(byBook.size(), std::size(expected));
    for (const auto& [book, release] : expected) {
      SCOPED_TRACE(book);
      ASSERT_EQ(byBook.count(book), 1u);
      const Record& record = byBook[book];
      // Carried field by field from the old record.
      EXPECT_EQ(maker.Text(record, "Release"), std::to_string(release));
      EXPECT_EQ(maker.Text(record, "Sort Title"), "sort \xE9 " + std::to_string(release));  // e acute
      EXPECT_EQ(maker.Text(record, "Key"), "key " + std::to_string(release));
      EXPECT_EQ(maker.Text(record, "Series"), "series");
      // Set by the statements.
      EXPECT_EQ(maker.Text(record, "Condition"), "");
      EXPECT_EQ(maker.Text(record, "Price"), "0");
      EXPECT_EQ(maker.Text(record, "Qty"), "0");
      EXPECT_EQ(maker.Text(record, "EntryDate"), "1863105790");
      EXPECT_EQ(maker.Text(record, "Prop"), "0");
      if (c.structure == 22) {
        EXPECT_EQ(maker.Text(record, "E"), "");
      }
      // Neither carried nor set.
      EXPECT_EQ(maker.Text(record, "Num"), "");
      EXPECT_EQ(maker.Text(record, "ByDate"), "");
    }
    ExpectReadable(c.table, 3);
  }
}

// Records recovered from index files reach the converted table before they are claimed.
TEST_F(FolderConversionTest, RecordsRecoveredFromIndexesAreConvertedToo) {
  MakeTable("Fldr0004", catalogue::kEarlierFolderStructure, OldFolder({12, 13, 14, 15, 16, 17}));
  const auto offsets = testing::RecordOffsets(Data("Fldr0004.db"));
  const auto first = testing::RawRecords(Data("Fldr0004.db")).at(0);
  for (const std::size_t at : {2, 4}) testing::PatchFile(Data("Fldr0004.db"), offsets.at(at), first);
  EXPECT_TRUE(CheckTable(*context, "Folder", "Fldr0004", catalogue::kEarlierFolderStructure, 0, false, true));
  const auto recovered = std::find(run.lines.begin(), run.lines.end(), "  -- fields recovered");
  ASSERT_NE(recovered, run.lines.end());
  EXPECT_NE(std::find(run.lines.begin(), recovered, "~  -- transferred data [6]"), recovered);
  ExpectReadable("Fldr0004", 6);
}

TEST_F(FolderConversionTest, RunSqlStatementRunsOnTheRunsDatabase) {
  const TRecordMaker maker(21);
  MakeTable("temptbl1", 21,
            {maker.Make({{"Book", 1}, {"Release", 1}, {"Qty", 4}}), maker.Make({{"Book", 2}, {"Release", 1}})});
  EXPECT_TRUE(RunSqlStatement(*context, ""));
  EXPECT_TRUE(RunSqlStatement(*context, "Update 'temptbl1' as D set D.\"Qty\" = 7"));
  for (const auto& record : testing::RawRecords(Data("temptbl1.db"))) EXPECT_EQ(maker.Text(record, "Qty"), "7");

  // Failures are the engine's errors; nothing catches them here.
  const auto before = test::ReadWholeFile(Data("temptbl1.db"));
  try {
    RunSqlStatement(*context, "Update 'temptbl1' as D set D.\"Quantity\" = 0");
    ADD_FAILURE() << "no error for a missing field";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), paradox::kDbiErrQxFldSymNotFound);
  }
  EXPECT_THROW(RunSqlStatement(*context, "Update 'nosuchtable' as D set D.\"Qty\" = 0"), env::EDBEngineError);
  EXPECT_EQ(test::ReadWholeFile(Data("temptbl1.db")), before);
  database.Close();
  try {
    RunSqlStatement(*context, "Update 'temptbl1' as D set D.\"Qty\" = 0");
    ADD_FAILURE() << "no error without a connection";
  } catch (const env::EDBEngineError& e) {
    EXPECT_EQ(e.Code(), paradox::kDbiErrInvalidHndl);
  }
  EXPECT_EQ(test::ReadWholeFile(Data("temptbl1.db")), before);
}

TEST_F(FolderConversionTest, StatementsGiveTheAddedFieldsTheirValues) {
  EXPECT_EQ(FolderConversionStatements(21),
            (std::vector<std::string>{"Update 'temptbl1' as D set D.\"Condition\" = \"\"",
                                      "Update 'temptbl1' as D set D.\"Price\" = 0",
                                      "Update 'temptbl1' as D set D.\"Qty\" = 0",
                                      "Update 'temptbl1' as D set D.\"EntryDate\" = 1863105790",
                                      "Update 'temptbl1' as D set D.\"Prop\" = 0"}));
  const auto folder3 = FolderConversionStatements(22);
  ASSERT_EQ(folder3.size(), 6u);
  EXPECT_EQ(folder3.back(), "Update 'temptbl1' as D set D.\"E\" = \"\"");
}

}  // namespace
}  // namespace remdo::repair
