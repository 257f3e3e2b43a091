// Nothing refused is lost: records the engine refuses during a rebuild go
// into a keyless table with their memo values and a CSV in the run's
// Rejected folder, and the old files of a table replaced with records still
// missing are kept there too.
#include "repair/RejectedFiles.h"

#include <gtest/gtest.h>

#include "paradox/codes/Coding.h"
#include "paradox/format/PxFieldObject.h"
#include "repair/RepairFixture.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

constexpr std::int32_t kBooks = 31;

class RejectedFilesTest : public TRepairTest {
 protected:
  // Ten books, each with a title and a memo; book 4's record is then made
  // a copy of book 3's, so the rebuild refuses it.
  void MakeBooksWithDuplicate() {
    const TRecordMaker maker(kBooks);
    std::vector<Record> records;
    std::vector<std::string> memos;
    for (int i = 1; i <= 10; ++i) {
      records.push_back(maker.Make({{"Book", i}, {"Main", i}, {"Sort Title", "title " + std::to_string(i)},
                                    {"Title", "Title, \"" + std::to_string(i) + "\""}}));
      memos.push_back("blurb of book " + std::to_string(i) + " \x96 long enough for the memo file");
    }
    MakeMemoTable("Books", kBooks, records, memos);
    const auto offsets = testing::RecordOffsets(Data("Books.db"));
    original = testing::RawRecords(Data("Books.db"));
    testing::PatchFile(Data("Books.db"), offsets.at(3), original.at(2));
    damaged = test::ReadWholeFile(Data("Books.db"));
    memo = test::ReadWholeFile(Data("Books.mb"));
  }
  std::string Rejected(std::string_view name) { return Data(context->RejectedFolderName() + std::string(name)); }

  std::vector<Record> original;
  std::vector<std::byte> damaged;
  std::vector<std::byte> memo;
};

TEST_F(RejectedFilesTest, RefusedRecordsAreKeptWithTheirMemosAndAsCsv) {
  MakeBooksWithDuplicate();
  EXPECT_TRUE(CheckTable(*context, "Books", "Books", kBooks, 8, false, false));
  const std::string folder = context->RejectedFolderName();
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Books...", "~  -- transferred data [10]",
                                                 "~  -- kept 1 refused record in " + folder + "Books.db",
                                                 "~  -- kept the old table files in " + folder + "Original\\"}));
  EXPECT_EQ(run.state.MissingRecords, 1);
  EXPECT_EQ(folder.substr(0, 9), "Rejected\\");
  EXPECT_EQ(folder.size(), 9u + 15u + 1u);

  // The refused record: book 3's image, its memo in the new memo file.
  const TRecordMaker maker(kBooks);
  const auto kept = testing::RawRecords(Rejected("Books.db"));
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(maker.Text(kept[0], "Book"), "3");
  EXPECT_EQ(maker.Text(kept[0], "Title"), "Title, \"3\"");
  EXPECT_EQ(testing::MemoText(Rejected("Books.mb"), kept[0], maker.Offset("Blurb"), 11),
            "blurb of book 3 \x96 long enough for the memo file");
  const auto header = test::ReadWholeFile(Rejected("Books.db"));
  EXPECT_EQ(header.at(118 + 2 * 21), std::byte{paradox::fieldtype::kMemo});
  EXPECT_EQ(paradox::GetS16(header.data() + paradox::pxheader::kKeyFieldCount), 0);

  // The CSV: names, then the record; texts quoted where they must be,
  // UTF-8, CR LF.
  const std::string csv = platform.Read(Rejected("Books.csv"));
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "Book,Main,Prime,Sort Title,Title,Date,G0,G1,G2,G3,G4,G5,G6,G7,PG,Prop,Special1,Special2,Entry Date,"
            "Blurb Date,Blurb");
  EXPECT_EQ(csv.substr(csv.find("\r\n") + 2),
            "3,3,,title 3,\"Title, \"\"3\"\"\",,,,,,,,,,,,,,,,"
            "blurb of book 3 \xE2\x80\x93 long enough for the memo file\r\n");

  // The old files, untouched, with a copy of the memo file.
  EXPECT_EQ(test::ReadWholeFile(Rejected("Original\\Books.db")), damaged);
  EXPECT_EQ(test::ReadWholeFile(Rejected("Original\\Books.mb")), memo);
  EXPECT_TRUE(env::DefaultFileSystem().FileExists(Rejected("Original\\Books.px")));

  // The rebuilt table has the other nine, still on the old memo file.
  const auto rebuilt = testing::RawRecords(Data("Books.db"));
  ASSERT_EQ(rebuilt.size(), 9u);
  EXPECT_EQ(test::ReadWholeFile(Data("Books.mb")), memo);
  EXPECT_EQ(testing::MemoText(Data("Books.mb"), rebuilt[8], maker.Offset("Blurb"), 11),
            "blurb of book 10 \x96 long enough for the memo file");
  ExpectReadable("Books", 9);
  ExpectReadable(context->RejectedFolderName() + "Books", 1);
}

TEST_F(RejectedFilesTest, TheSameTableTwiceGetsASecondName) {
  MakeBooksWithDuplicate();
  const std::string folder = RejectedFolder(*context);
  EXPECT_EQ(FreeTableName(folder, "Books"), "Books");
  EXPECT_TRUE(CheckTable(*context, "Books", "Books", kBooks, 8, false, false));
  EXPECT_EQ(FreeTableName(folder, "Books"), "Books_2");
  test::WriteWholeFile(Data("Books.db"), damaged);
  EXPECT_TRUE(CheckTable(*context, "Books", "Books", kBooks, 8, false, false));
  EXPECT_EQ(testing::RawRecords(Rejected("Books_2.db")).size(), 1u);
  EXPECT_TRUE(env::DefaultFileSystem().FileExists(Rejected("Original\\Books_2.db")));
}

TEST_F(RejectedFilesTest, RefusedRecordsThatCannotBeKeptStopTheSwap) {
  MakeBooksWithDuplicate();
  // A file where the folder should be: the folder cannot be made.
  platform.DataFile("Rejected", "in the way");
  EXPECT_FALSE(CheckTable(*context, "Books", "Books", kBooks, 8, false, false));
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[2].substr(0, 42), "  -- 1 refused record could not be kept: C");
  EXPECT_EQ(run.state.FailureCount, 1);
  EXPECT_EQ(run.state.FailedTables, "Books");
  EXPECT_EQ(test::ReadWholeFile(Data("Books.db")), damaged);
}

TEST_F(RejectedFilesTest, ACompleteRebuildKeepsNothing) {
  const TRecordMaker maker(27);
  MakeTable("Genre", 27, {maker.Make({{"Book", 1}, {"Token", 2}}), maker.Make({{"Book", 2}, {"Token", 2}})});
  EXPECT_TRUE(CheckTable(*context, "Genres", "Genre", 27, 0, false, false));
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists(Data("Rejected")));
}

TEST_F(RejectedFilesTest, OldFilesAreKeptWhenRecordsAreMissingWithinTheTolerance) {
  // A header that promises more records than the file holds.
  const TRecordMaker maker(27);
  MakeTable("Genre", 27, {maker.Make({{"Book", 1}, {"Token", 2}}), maker.Make({{"Book", 2}, {"Token", 2}})});
  testing::PatchU32(Data("Genre.db"), paradox::pxheader::kRecordCount, 4);
  const auto before = test::ReadWholeFile(Data("Genre.db"));
  EXPECT_TRUE(CheckTable(*context, "Genres", "Genre", 27, 10, false, false));
  EXPECT_EQ(run.state.MissingRecords, 2);
  EXPECT_EQ(test::ReadWholeFile(Rejected("Original\\Genre.db")), before);
  EXPECT_EQ(testing::RawRecords(Data("Genre.db")).size(), 2u);
}

}  // namespace
}  // namespace remdo::repair
