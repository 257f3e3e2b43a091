// Recovery of lost records from the table's single-field secondary index
// files: the phases, what RecTbl gathers, the import into the rebuilt table,
// the titles of the older book layout, and index files that are missing or
// damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "repair/RepairFixture.h"
#include "repair/TableCheck.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;

constexpr std::int32_t kFavourites = 39;  // As I*, Sort Name A14+, Prop S, EntryDate I+
constexpr std::int32_t kOlderBooks = 2;

std::vector<Record> Favourites(int count) {
  const TRecordMaker maker(kFavourites);
  std::vector<Record> records;
  for (int i = 1; i <= count; ++i) {
    records.push_back(maker.Make(
        {{"As", i}, {"Sort Name", "name " + std::to_string(100 + i)}, {"Prop", i % 7 + 1}, {"EntryDate", 5000 + i}}));
  }
  return records;
}

std::vector<Record> Sorted(std::vector<Record> records) {
  std::sort(records.begin(), records.end());
  return records;
}

bool Contains(const std::vector<std::string>& texts, std::string_view text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class IndexRecoveryTest : public TRepairTest {
 protected:
  // A table of 30 favourite authors whose records at the positions lost
  // become copies of the first record: the rebuild refuses them, while the
  // index files still hold their keys and indexed values. Returns the
  // records as they were, in file order.
  std::vector<Record> MakeDamaged(const std::string& table, std::initializer_list<std::size_t> lost) {
    MakeTable(table, kFavourites, Favourites(30));
    const auto records = testing::RawRecords(Data(table + ".db"));
    const auto offsets = testing::RecordOffsets(Data(table + ".db"));
    for (const std::size_t at : lost) testing::PatchFile(Data(table + ".db"), offsets.at(at), records.at(0));
    EXPECT_EQ(Files(table + ".X*"), (std::vector<std::string>{table + ".X02", table + ".X04"}));
    return records;
  }

  // A record as the index files give it back: key and indexed fields, Prop
  // blank.
  static Record Recovered(Record record) {
    const TRecordMaker maker(kFavourites);
    std::fill_n(record.begin() + static_cast<std::ptrdiff_t>(maker.Offset("Prop")), maker.Width("Prop"), std::byte{0});
    return record;
  }

  std::vector<std::string> PhaseMessages() const {
    std::vector<std::string> phases;
    for (const auto& message : run.messages) {
      if (message.rfind("Recovery phase ", 0) == 0) phases.push_back(message);
    }
    return phases;
  }
};

TEST_F(IndexRecoveryTest, LostRecordsComeBackFromTwoIndexes) {
  const std::string table = "Auth0001";
  auto original = MakeDamaged(table, {3, 7, 12, 20, 25});
  // A present record whose name changed since its index entry was written:
  // the stale entry must not add or change anything.
  const TRecordMaker maker(kFavourites);
  Record renamed = original.at(9);
  maker.Set(renamed, "Sort Name", paradox::TValue("renamed"));
  testing::PatchFile(Data(table + ".db"), testing::RecordOffsets(Data(table + ".db")).at(9), renamed);

  EXPECT_TRUE(CheckTable(*context, "Favorite authors", table, kFavourites, 0, false, true));
  const std::string folder = context->RejectedFolderName();
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Checking Favorite authors...", "~  -- verifying 5 records",
                                                 "~  -- kept 5 refused records in " + folder + table + ".db",
                                                 "  -- fields recovered",
                                                 "~  -- kept the old table files in " + folder + "Original\\"}));
  EXPECT_EQ(PhaseMessages(), (std::vector<std::string>{"Recovery phase 1...", "Recovery phase 2..."}));
  EXPECT_TRUE(Contains(run.messages, "Importing recovered records..."));
  EXPECT_FALSE(Contains(run.messages, "Adapting recovered records..."));
  EXPECT_EQ(run.state.RecoveredTables, table);
  EXPECT_EQ(run.state.FailureCount, 0);

  // RecTbl holds the five lost records, each with its key and both indexed
  // fields, nothing else; no key the rebuild kept.
  std::vector<Record> lost;
  for (const std::size_t at : {3, 7, 12, 20, 25}) lost.push_back(Recovered(original.at(at)));
  EXPECT_EQ(Sorted(testing::RawRecords(Data("RecTbl.db"))), Sorted(lost));

  // The table: every record the rebuild kept as the data file had it, and
  // the recovered ones.
  std::vector<Record> expected = original;
  expected.at(9) = renamed;
  for (const std::size_t at : {3, 7, 12, 20, 25}) expected.at(at) = Recovered(original.at(at));
  EXPECT_EQ(Sorted(testing::RawRecords(Data(table + ".db"))), Sorted(expected));
  ExpectReadable(table, 30);
}

TEST_F(IndexRecoveryTest, RecoveringTwiceAddsNothingTwice) {
  const std::string table = "Auth0001";
  MakeDamaged(table, {4, 5});
  TTableCheck check(*context, {"Favorite authors", table, kFavourites, 0, false, true});
  ASSERT_TRUE(catalogue::CreateParadoxTable(database.Handle(), "temptbl1.db", catalogue::SchemaLanguageDriver(kFavourites),
                                          catalogue::GetTableSchema(kFavourites), catalogue::SchemaLevel(kFavourites)));
  EXPECT_TRUE(check.RebuildTable());  // fills temptbl1 and CurrentLayout, recovers once
  const auto once = testing::RawRecords(Data("temptbl1.db"));
  EXPECT_EQ(once.size(), 30u);
  run.lines.clear();
  EXPECT_TRUE(check.RecoverFromIndexes());
  // Every key is in the rebuilt table now: nothing is gathered or imported.
  EXPECT_TRUE(testing::RawRecords(Data("RecTbl.db")).empty());
  EXPECT_EQ(Sorted(testing::RawRecords(Data("temptbl1.db"))), Sorted(once));
  EXPECT_TRUE(run.lines.empty());
}

TEST_F(IndexRecoveryTest, WithoutIndexFilesNothingIsRecovered) {
  const std::string table = "Auth0001";
  MakeDamaged(table, {2, 3, 4, 5, 6});
  for (const auto& name : Files(table + ".?0?")) ASSERT_TRUE(env::DefaultFileSystem().Remove(Data(name))) << name;
  EXPECT_TRUE(CheckTable(*context, "Favorite authors", table, kFavourites, 0, false, true));
  EXPECT_FALSE(Contains(run.lines, "  -- fields recovered"));
  EXPECT_TRUE(PhaseMessages().empty());
  EXPECT_EQ(run.state.RecoveredTables, "");
  EXPECT_EQ(run.state.MissingRecords, 5);
  EXPECT_TRUE(Exists("RecTbl.db"));
  EXPECT_TRUE(testing::RawRecords(Data("RecTbl.db")).empty());
  ExpectReadable(table, 25);
}

TEST_F(IndexRecoveryTest, OlderBookLayoutGetsLostTitles) {
  const TRecordMaker maker(kOlderBooks);
  std::vector<Record> records;
  for (int i = 1; i <= 8; ++i) {
    records.push_back(maker.Make({{"Book", i + 0.5},
                                  {"Sort Title", "sort " + std::to_string(i)},
                                  {"Title", "Title " + std::to_string(i)},
                                  {"Genre", i},
                                  {"ISBN", "isbn" + std::to_string(i)}}));
  }
  // Two leading blanks and 18 more characters fill the field: cut to 18 and
  // trimmed, 16 of them remain.
  maker.Set(records[2], "Sort Title", paradox::TValue("  abcdefghijklmnopqr"));
  MakeMemoTable("Books", kOlderBooks, records, {});
  const auto offsets = testing::RecordOffsets(Data("Books.db"));
  const auto raw = testing::RawRecords(Data("Books.db"));
  ASSERT_EQ(maker.Text(raw.at(2), "Book"), "3.5");
  ASSERT_EQ(maker.Text(raw.at(5), "Book"), "6.5");
  testing::PatchFile(Data("Books.db"), offsets.at(2), raw.at(0));
  testing::PatchFile(Data("Books.db"), offsets.at(5), raw.at(0));

  EXPECT_TRUE(CheckTable(*context, "Books", "Books", kOlderBooks, 0, false, true));
  EXPECT_EQ(PhaseMessages(),
            (std::vector<std::string>{"Recovery phase 1...", "Recovery phase 2...", "Recovery phase 3..."}));
  EXPECT_TRUE(Contains(run.messages, "Adapting recovered records..."));
  EXPECT_TRUE(Contains(run.lines, "  -- fields recovered"));
  std::map<std::string, Record> byBook;
  for (const auto& record : testing::RawRecords(Data("Books.db"))) byBook[maker.Text(record, "Book")] = record;
  ASSERT_EQ(byBook.size(), 8u);
  const struct {
    const char* book;
    const char* title;
    const char* genre;
    const char* isbn;
  } lost[] = {{"3.5", "lost title: abcdefghijklmnop", "3", "isbn3"}, {"6.5", "lost title: sort 6", "6", "isbn6"}};
  for (const auto& c : lost) {
    SCOPED_TRACE(c.book);
    const Record& record = byBook[c.book];
    EXPECT_EQ(maker.Text(record, "Title"), c.title);
    EXPECT_EQ(maker.Text(record, "Sort Title"), "");
    EXPECT_EQ(maker.Text(record, "Genre"), c.genre);
    EXPECT_EQ(maker.Text(record, "ISBN"), c.isbn);
    EXPECT_EQ(maker.Text(record, "Date"), "");
  }
  // The records the rebuild kept keep their titles.
  EXPECT_EQ(maker.Text(byBook["2.5"], "Title"), "Title 2");
  EXPECT_EQ(maker.Text(byBook["2.5"], "Sort Title"), "sort 2");
  ExpectReadable("Books", 8);
}

TEST_F(IndexRecoveryTest, AdaptingTitlesIsForTheOlderBookLayoutOnly) {
  const std::string table = "Auth0001";
  MakeTable("RecTbl", kFavourites, Favourites(3));
  const auto before = test::ReadWholeFile(Data("RecTbl.db"));
  TTableCheck check(*context, {"Favorite authors", table, kFavourites, 0, false, true});
  EXPECT_TRUE(check.AdaptRecoveredTitles());
  EXPECT_EQ(test::ReadWholeFile(Data("RecTbl.db")), before);
  EXPECT_TRUE(run.messages.empty());
}

TEST_F(IndexRecoveryTest, DamagedIndexHeadersAreSkippedWithALine) {
  // Damage to the header of the index on Sort Name (.X02): its record size
  // (absolute, or relative to the fields' width), or the number of the
  // field it indexes; or a file too short for a header.
  enum class TDamage { kRecordSize, kRecordSizeBy, kFieldNumber, kLength };
  const struct {
    const char* what;
    TDamage damage;
    int value;
  } cases[] = {
      {"record size 0", TDamage::kRecordSize, 0},
      {"record size beyond a block", TDamage::kRecordSize, 5000},
      {"record size 2 too small", TDamage::kRecordSizeBy, -2},
      {"record size 2 too large", TDamage::kRecordSizeBy, 2},
      {"indexed field Prop", TDamage::kFieldNumber, 3},
      {"zero bytes", TDamage::kLength, 0},
      {"three bytes", TDamage::kLength, 3},
  };
  const TRecordMaker maker(kFavourites);
  int number = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string table = "Auth000" + std::to_string(++number);
    run.lines.clear();
    run.messages.clear();
    run.state.RecoveredTables.clear();
    const auto original = MakeDamaged(table, {3, 4, 5, 6, 7});
    const std::string x02 = Data(table + ".X02");
    const int width = paradox::GetU16(test::ReadWholeFile(x02).data());
    std::string why;
    if (c.damage == TDamage::kLength) {
      testing::TruncateFile(x02, static_cast<std::uint64_t>(c.value));
      why = "could not be read to its end: Stream read error";
    } else if (c.damage == TDamage::kFieldNumber) {
      testing::PatchFile(x02, paradox::pxheader::kIndexFieldNumber, {static_cast<std::byte>(c.value)});
      why = "skipped: its indexed field " + std::to_string(c.value) + " does not match the table's";
    } else {
      const int size = c.damage == TDamage::kRecordSize ? c.value : width + c.value;
      testing::PatchFile(x02, 0, {static_cast<std::byte>(size & 0xFF), static_cast<std::byte>(size >> 8)});
      why = "skipped: record size " + std::to_string(size) + " in the header, " + std::to_string(width) +
            " bytes of fields";
    }

    EXPECT_TRUE(CheckTable(*context, "Favorite authors", table, kFavourites, 0, false, true));
    EXPECT_TRUE(Contains(run.lines, "~     index file " + table + ".X02 " + why))
        << ::testing::PrintToString(run.lines);
    EXPECT_EQ(PhaseMessages(), (std::vector<std::string>{"Recovery phase 1...", "Recovery phase 2..."}));
    // The index on EntryDate still gives back the keys and their dates;
    // nothing of the damaged file comes back, rubbish included.
    std::vector<Record> lost;
    for (const std::size_t at : {3, 4, 5, 6, 7}) {
      Record record = Recovered(original.at(at));
      std::fill_n(record.begin() + static_cast<std::ptrdiff_t>(maker.Offset("Sort Name")), maker.Width("Sort Name"),
                  std::byte{0});
      lost.push_back(record);
    }
    EXPECT_EQ(Sorted(testing::RawRecords(Data("RecTbl.db"))), Sorted(lost));
    EXPECT_EQ(run.state.RecoveredTables, table);
    ExpectReadable(table, 30);
  }
}

}  // namespace
}  // namespace remdo::repair
