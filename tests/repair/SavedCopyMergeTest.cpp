// The restore from the saved copy: records whose keys the rebuilt table
// lacks come back field by field; records present are left alone.
#include <gtest/gtest.h>

#include "paradox/format/PxObject.h"
#include "repair/RepairFixture.h"
#include "repair/StepTable.h"
#include "repair/TableCheck.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

constexpr std::int32_t kLocales = 38;
const std::string kSave = std::string(test::kDataFolder) + "Save\\";

std::vector<Record> Locales(int count) {
  const TRecordMaker maker(kLocales);
  std::vector<Record> records;
  for (int i = 1; i <= count; ++i) {
    records.push_back(maker.Make({{"Number", i},
                                  {"ShortName", "loc" + std::to_string(i)},
                                  {"Name", "Locale number " + std::to_string(i)},
                                  {"Main", i * 10},
                                  {"Map", "map " + std::to_string(i)},
                                  {"Status", 2}}));
  }
  return records;
}

class SavedCopyMergeTest : public TRepairTest {
 protected:
  SavedCopyMergeTest() { platform.drive.Folder(kSave); }

  // Merges the saved copy of a table into the table in the data folder, as
  // the check does after a rebuild that lost records.
  bool MergeFromSave(const std::string& name, std::int32_t structure) {
    TTableCheck check(*context, {name, name, structure, 0, true, false});
    TStepTable current(context->Table1, test::kDataFolder, name);
    TStepTable saved(context->Table2, kSave, name);
    const bool merged = check.MergeSavedCopy(*current, *saved);
    current.Close();
    return merged;
  }
};

TEST_F(SavedCopyMergeTest, MissingRecordsComeBackAndPresentOnesStay) {
  auto records = Locales(20);
  MakeTable("LocNames", kLocales, records);
  // Record 4 becomes a second copy of record 3: the rebuild loses book 4.
  const auto offsets = testing::RecordOffsets(Data("LocNames.db"));
  testing::PatchFile(Data("LocNames.db"), offsets.at(3), records.at(2));
  const TRecordMaker maker(kLocales);
  auto saved = records;
  maker.Set(saved[2], "Name", paradox::TValue("a saved name"));
  MakeTable("LocNames", kLocales, saved, kSave);

  EXPECT_TRUE(CheckTable(*context, "Locales", "LocNames", kLocales, 0, true, false));
  const auto lines = run.FileLines();
  EXPECT_EQ(lines.at(1), "  -- transfer missing 1 record");
  EXPECT_EQ(lines.back(), "  -- restoring data");
  EXPECT_EQ(run.state.FailureCount, 0);
  EXPECT_EQ(run.state.MissingRecords, 1);
  const auto after = testing::RawRecords(Data("LocNames.db"));
  EXPECT_EQ(after, records);  // record 4 whole again; record 3 not overwritten
  ExpectReadable("LocNames", 20);
}

TEST_F(SavedCopyMergeTest, AnEmptyRebuiltTableIsFilledFromTheSavedCopy) {
  MakeTable("LocNames", kLocales, Locales(5));
  MakeTable("LocNames", kLocales, Locales(5), kSave);
  // The one data block is damaged: the rebuild finds no record at all.
  const auto offsets = testing::RecordOffsets(Data("LocNames.db"));
  testing::PatchFile(Data("LocNames.db"), offsets.at(0) - 2, {std::byte{0x01}, std::byte{0x7F}});
  EXPECT_TRUE(CheckTable(*context, "Locales", "LocNames", kLocales, 0, true, false));
  EXPECT_EQ(run.lines.at(1), "  -- transfer missing 5 records");
  EXPECT_EQ(testing::RawRecords(Data("LocNames.db")), Locales(5));
  ExpectReadable("LocNames", 5);
}

TEST_F(SavedCopyMergeTest, AnEmptySavedCopyMergesNothing) {
  MakeTable("LocNames", kLocales, Locales(5));
  MakeTable("LocNames", kLocales, {}, kSave);
  const auto offsets = testing::RecordOffsets(Data("LocNames.db"));
  testing::PatchFile(Data("LocNames.db"), offsets.at(1), Locales(1).at(0));
  EXPECT_TRUE(CheckTable(*context, "Locales", "LocNames", kLocales, 0, true, false));
  EXPECT_EQ(testing::RawRecords(Data("LocNames.db")).size(), 4u);
}

// An encrypted saved copy is refused with a line; the rebuilt table stays.
TEST_F(SavedCopyMergeTest, AnEncryptedSavedCopyIsRefusedWithALine) {
  MakeTable("LocNames", kLocales, Locales(5));
  MakeTable("LocNames", kLocales, Locales(5), kSave);
  testing::PatchU32(kSave + "LocNames.db", paradox::pxheader::kExtendedEncryption, 0x12345678);
  const auto offsets = testing::RecordOffsets(Data("LocNames.db"));
  testing::PatchFile(Data("LocNames.db"), offsets.at(1), Locales(1).at(0));
  EXPECT_FALSE(CheckTable(*context, "Locales", "LocNames", kLocales, 0, true, false));
  EXPECT_EQ(run.lines.back(), "  -- saved copy marked as encrypted: LocNames");
  EXPECT_EQ(run.state.FailedTables, "LocNames");
  EXPECT_EQ(testing::RawRecords(Data("LocNames.db")).size(), 4u);
}

TEST_F(SavedCopyMergeTest, KeysAreSearchedWithTheirOwnType) {
  // Prices (13): Book is a number key; 17.5 is not 17.
  const TRecordMaker maker(13);
  MakeTable("Prices", 13, {maker.Make({{"Book", 17.0}, {"Release", 1}, {"Qty", 1}})});
  MakeTable("Prices", 13,
            {maker.Make({{"Book", 17.0}, {"Release", 1}, {"Qty", 9}}),
             maker.Make({{"Book", 17.5}, {"Release", 1}, {"Qty", 2}, {"Price1", 3.25}})},
            kSave);
  EXPECT_TRUE(MergeFromSave("Prices", 13));
  const auto records = testing::RawRecords(Data("Prices.db"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(maker.Text(records[0], "Qty"), "1");
  EXPECT_EQ(maker.Text(records[1], "Book"), "17.5");
  EXPECT_EQ(maker.Text(records[1], "Qty"), "2");
  EXPECT_EQ(maker.Text(records[1], "Price1"), "3.25");
  EXPECT_EQ(maker.Text(records[1], "Price2"), "");
  EXPECT_EQ(run.messages.back(), "Merging recovered records...");
}

TEST_F(SavedCopyMergeTest, ASavedRecordTheEngineRefusesIsKeptWithTheRefusedRecords) {
  const TRecordMaker maker(13);
  MakeTable("Prices", 13, {maker.Make({{"Book", 17.0}, {"Release", 1}})});
  // Book 18's price is no number the engine can store.
  Record refused = maker.Make({{"Book", 18.0}, {"Release", 1}, {"Qty", 2}, {"Price1", 1.0}});
  paradox::EncodeFieldDouble(refused.data() + maker.Offset("Price1"), std::stod("inf"));
  MakeTable("Prices", 13, {maker.Make({{"Book", 17.0}, {"Release", 1}}), refused, maker.Make({{"Book", 19.0}})}, kSave);
  TTableCheck check(*context, {"Prices", "Prices", 13, 0, true, false});
  EXPECT_TRUE(check.RestoreFromSavedCopy());
  EXPECT_EQ(testing::RawRecords(Data("Prices.db")).size(), 2u);
  const std::string kept = context->RejectedFolderName() + "Prices.db";
  EXPECT_EQ(run.lines, (std::vector<std::string>{"~  -- kept 1 refused record in " + kept}));
  EXPECT_EQ(testing::RawRecords(Data(kept)), (std::vector<Record>{refused}));
}

TEST_F(SavedCopyMergeTest, RestoredRecordsComeBackWithTheirMemoValues) {
  constexpr std::int32_t kBooks = 31;
  const TRecordMaker maker(kBooks);
  std::vector<Record> records;
  std::vector<std::string> memos;
  for (int i = 1; i <= 6; ++i) {
    records.push_back(maker.Make({{"Book", i}, {"Title", "Title " + std::to_string(i)}}));
    memos.push_back(i == 5 ? "" : "the blurb of book " + std::to_string(i) + ", kept in the memo file");
  }
  MakeMemoTable("Books", kBooks, records, memos);
  auto savedMemos = memos;
  savedMemos[2] = "a saved blurb that must not replace the present one";
  MakeMemoTable("Books", kBooks, records, savedMemos, kSave);
  // Books 4 and 5 become copies of book 3: the rebuild loses both.
  const auto offsets = testing::RecordOffsets(Data("Books.db"));
  const auto third = testing::RawRecords(Data("Books.db")).at(2);
  testing::PatchFile(Data("Books.db"), offsets.at(3), third);
  testing::PatchFile(Data("Books.db"), offsets.at(4), third);

  EXPECT_TRUE(CheckTable(*context, "Books", "Books", kBooks, 0, true, false));
  EXPECT_EQ(run.state.MissingRecords, 2);
  EXPECT_EQ(run.state.FailureCount, 0);
  paradox::TTable table;
  table.SetDatabaseName(test::kDataFolder);
  table.SetTableName("Books");
  table.Open();
  std::vector<std::pair<std::string, std::string>> books;
  for (table.First(); !table.Eof(); table.Next()) {
    books.emplace_back(table.FieldByName("Title").AsString(), table.FieldByName("Blurb").AsString());
  }
  table.Close();
  std::vector<std::pair<std::string, std::string>> expected;
  for (int i = 1; i <= 6; ++i) expected.emplace_back("Title " + std::to_string(i), memos[i - 1]);
  EXPECT_EQ(books, expected);
  // The memo file itself holds the restored value where the record points.
  for (const auto& record : testing::RawRecords(Data("Books.db"))) {
    if (maker.Text(record, "Book") != "4") continue;
    EXPECT_EQ(testing::MemoText(Data("Books.mb"), record, maker.Offset("Blurb"), maker.Width("Blurb")), memos[3]);
  }
  ExpectReadable("Books", 6);
}

TEST_F(SavedCopyMergeTest, ASavedMemoValueThatCannotBeReadLeavesTheRecordWithoutIt) {
  constexpr std::int32_t kBooks = 31;
  const TRecordMaker maker(kBooks);
  std::vector<Record> records;
  for (int i = 1; i <= 3; ++i) records.push_back(maker.Make({{"Book", i}, {"Title", "T" + std::to_string(i)}}));
  const std::vector<std::string> memos = {"blurb one, long enough", "blurb two, long enough", "blurb three, long"};
  MakeMemoTable("Books", kBooks, {records[0]}, {memos[0]});
  MakeMemoTable("Books", kBooks, records, memos, kSave);
  // The saved copy's memo file loses its value blocks.
  const auto memoFile = test::ReadWholeFile(kSave + "Books.mb");
  testing::TruncateFile(kSave + "Books.mb", 4096);
  ASSERT_GT(memoFile.size(), 4096u);
  EXPECT_TRUE(MergeFromSave("Books", kBooks));
  const auto after = testing::RawRecords(Data("Books.db"));
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(maker.Text(after[2], "Title"), "T3");
}

}  // namespace
}  // namespace remdo::repair
