// The restore from the saved copy: records whose keys the rebuilt table
// lacks come back field by field; records present are left alone.
#include <gtest/gtest.h>

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

TEST_F(SavedCopyMergeTest, KeysAreSearchedWithTheirOwnType) {
  // Prices (13): Book is a number key; 17.5 is not 17.
  const TRecordMaker maker(13);
  MakeTable("Prices", 13, {maker.Make({{"Book", 17.0}, {"Release", 1}, {"Qty", 1}})});
  MakeTable("Prices", 13,
            {maker.Make({{"Book", 17.0}, {"Release", 1}, {"Qty", 9}}),
             maker.Make({{"Book", 17.5}, {"Release", 1}, {"Qty", 2}, {"Price1", 3.25}})},
            kSave);
  TTableCheck check(*context, {"Prices", "Prices", 13, 0, true, false});
  {
    TStepTable current(context->Table1, test::kDataFolder, "Prices");
    TStepTable saved(context->Table2, kSave, "Prices");
    EXPECT_TRUE(check.MergeSavedCopy(*current, *saved));
    current.Close();
  }
  const auto records = testing::RawRecords(Data("Prices.db"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(maker.Text(records[0], "Qty"), "1");
  EXPECT_EQ(maker.Text(records[1], "Book"), "17.5");
  EXPECT_EQ(maker.Text(records[1], "Qty"), "2");
  EXPECT_EQ(maker.Text(records[1], "Price1"), "3.25");
  EXPECT_EQ(maker.Text(records[1], "Price2"), "");
  EXPECT_EQ(run.messages.back(), "Merging recovered records...");
}

}  // namespace
}  // namespace remdo::repair
