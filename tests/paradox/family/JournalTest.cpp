// Saved changes survive a crash: the journal written by each save is
// replayed when the table is next opened (or folded when a database on the
// folder opens), a torn last entry is ignored, and a journal that belongs to
// an earlier table of the same name is never replayed.
#include "paradox/family/Journal.h"

#include <gtest/gtest.h>

#include "env/Path.h"
#include "paradox/EngineFixture.h"
#include "paradox/components/Table.h"
#include "paradox/engine/Engine.h"
#include "paradox/engine/OpenTable.h"

namespace remdo::paradox {
namespace {

using testing::Fld;
using testing::Record;

class JournalTest : public testing::TEngineTest {
 protected:
  // A table holding one record, so that later inserts are changes of a
  // table on disk rather than a bulk load into an empty one.
  void CreateTable(const char* name, int keyFields) {
    Create(testing::TableDesc(name, {Fld("Book", 'I'), Fld("Token", 'S'), Fld("Text", 'A', 10)}, keyFields));
    TTable table;
    OpenTable(table, name);
    table.AppendRecord({0, 0, "seed"});
  }
  void OpenTable(TTable& table, const char* name) {
    table.SetDatabaseName(folder_.Path());
    table.SetTableName(name);
    table.Open();
  }
  // What a crash leaves: copies of the files as they are on disk now, in a
  // second folder, opened there without the first session's memory.
  std::string CrashCopy(const std::vector<std::string>& names) {
    for (const auto& name : names) {
      if (env::RealFileSystem().FileExists(PathOf(name))) {
        remdo::test::WriteWholeFile(crash_ / name, remdo::test::ReadWholeFile(PathOf(name)));
      }
    }
    return crash_.Path();
  }
  std::vector<std::string> Texts(const std::string& folder, const char* name) {
    TTable table;
    table.SetDatabaseName(folder);
    table.SetTableName(name);
    table.Open();
    std::vector<std::string> texts;
    for (table.First(); !table.Eof(); table.Next()) texts.push_back(table.FieldByName("Text").AsString());
    return texts;
  }

  remdo::test::TScratchFolder crash_;
};

TEST_F(JournalTest, SavedChangesOfKeyedAndUnkeyedTablesAreReplayedAfterACrash) {
  for (const int keyFields : {2, 0}) {
    SCOPED_TRACE(keyFields);
    const char* name = keyFields > 0 ? "Keyed.db" : "Plain.db";
    const std::string base = keyFields > 0 ? "Keyed" : "Plain";
    CreateTable(name, keyFields);
    TTable table;
    OpenTable(table, name);
    table.AppendRecord({3, 1, "c"});
    table.AppendRecord({1, 1, "a"});
    table.AppendRecord({2, 1, "b"});
    ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
    table.First();
    table.Edit();
    table.FieldByName("Text").SetAsString("changed");
    table.Post();
    table.Next();
    table.Delete();
    ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
    table.AppendRecord({9, 9, "not saved"});
    const std::string copy = CrashCopy({name, base + ".PX", base + ".journal"});
    const std::vector<std::string> expected = keyFields > 0 ? std::vector<std::string>{"changed", "b", "c"}
                                                             : std::vector<std::string>{"changed", "a", "b"};
    EXPECT_EQ(Texts(copy, name), expected);
    EXPECT_FALSE(env::RealFileSystem().FileExists(crash_ / (base + ".journal")));  // folded on close
    table.Close();
  }
}

TEST_F(JournalTest, DatabaseOpenFoldsJournalsBeforeAnyTableIsRead) {
  CreateTable("Genre.db", 2);
  TTable table;
  OpenTable(table, "Genre.db");
  table.AppendRecord({7, 1, "seven"});
  ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
  const std::string copy = CrashCopy({"Genre.db", "Genre.PX", "Genre.journal"});
  TDatabase database;
  database.SetDatabaseName(copy);
  database.Open();
  EXPECT_FALSE(env::RealFileSystem().FileExists(crash_ / "Genre.journal"));
  EXPECT_EQ(testing::ReadTableFile(crash_ / "Genre.db").records.size(), 2u);
  table.Close();
}

TEST_F(JournalTest, TornLastEntryIsIgnored) {
  CreateTable("Genre.db", 2);
  TTable table;
  OpenTable(table, "Genre.db");
  table.AppendRecord({1, 1, "one"});
  ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
  table.AppendRecord({2, 1, "two"});
  ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
  CrashCopy({"Genre.db", "Genre.PX", "Genre.journal"});
  auto journal = remdo::test::ReadWholeFile(crash_ / "Genre.journal");
  journal.resize(journal.size() - 3);
  remdo::test::WriteWholeFile(crash_ / "Genre.journal", journal);
  EXPECT_EQ(Texts(crash_.Path(), "Genre.db"), (std::vector<std::string>{"seed", "one"}));
  table.Close();
}

// A journal of an earlier table of the same name, or one larger than any
// the engine writes (damaged, or not ours), is kept aside and reported; the
// table opens as its data file stands.
TEST_F(JournalTest, JournalOfAReplacedTableOrTooLargeIsKeptAsideNotReplayed) {
  for (const bool tooLarge : {false, true}) {
    SCOPED_TRACE(tooLarge ? "too large" : "replaced table");
    CreateTable("Genre.db", 2);
    TTable table;
    OpenTable(table, "Genre.db");
    table.AppendRecord({1, 1, "lost?"});
    ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
    CrashCopy({"Genre.db", "Genre.PX", "Genre.journal"});
    auto journal = remdo::test::ReadWholeFile(crash_ / "Genre.journal");
    table.Close();
    (void)TEngineSession::Instance().TakeWarnings();
    if (tooLarge) {
      journal.resize(kMaxJournalChanges + 4096);  // a whole entry, then what no save writes
      remdo::test::WriteWholeFile(crash_ / "Genre.journal", journal);
      EXPECT_EQ(Texts(crash_.Path(), "Genre.db"), std::vector<std::string>{"seed"});
    } else {
      CreateTable("Genre.db", 2);  // a new table of the same name
      remdo::test::WriteWholeFile(PathOf("Genre.journal"), journal);
      remdo::test::WriteWholeFile(PathOf("Genre.journal.stale"), std::string_view("kept before"));
      EXPECT_EQ(Texts(folder_.Path(), "Genre.db"), std::vector<std::string>{"seed"});
    }
    const std::string kept = tooLarge ? crash_ / "Genre.journal.stale" : PathOf("Genre.journal.stale2");
    EXPECT_EQ(remdo::test::ReadWholeFile(kept), journal);
    const auto warnings = TEngineSession::Instance().TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(std::string(env::NamePart(kept))), std::string::npos) << warnings[0];
  }
  EXPECT_EQ(remdo::test::ReadWholeFile(PathOf("Genre.journal.stale")), remdo::test::Bytes("kept before"));
}

// Saves that each hold a little add up: once the journal holds as much as
// the engine lets it, the next save writes the table instead.
TEST_F(JournalTest, SavesNeverGrowTheJournalPastItsLimit) {
  CreateTable("Big.db", 2);
  TTable table;
  OpenTable(table, "Big.db");
  Record record(16);
  const int perSave = 40000;
  const int saves = static_cast<int>(kMaxJournalChanges / (perSave * 16)) + 2;
  std::uint64_t largest = 0;
  for (int save = 0; save < saves; ++save) {
    for (int i = 0; i < perSave; ++i) {
      EncodeFieldInteger(record.data(), 1 + save * perSave + i, 4);
      ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record), 0);
    }
    ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
    if (env::RealFileSystem().FileExists(PathOf("Big.journal"))) {
      largest = std::max<std::uint64_t>(largest, remdo::test::ReadWholeFile(PathOf("Big.journal")).size());
    }
  }
  EXPECT_GT(largest, kMaxJournalChanges / 2);
  EXPECT_LE(largest, kMaxJournalChanges + 32);
  table.Close();
}

TEST_F(JournalTest, SaveAfterMoreChangesThanTheLogKeepsWritesTheTable) {
  CreateTable("Big.db", 2);
  TTable table;
  OpenTable(table, "Big.db");
  Record record(16);
  for (int i = 0; i < 400000; ++i) {
    EncodeFieldInteger(record.data(), i, 4);
    ASSERT_EQ(DbiInsertRecord(table.Handle(), TDbiLock::kNoLock, record), 0);
  }
  ASSERT_EQ(DbiSaveChanges(table.Handle()), 0);
  EXPECT_FALSE(env::RealFileSystem().FileExists(PathOf("Big.journal")));
  EXPECT_EQ(testing::ReadTableFile(PathOf("Big.db")).records.size(), 400001u);
  table.Close();
}

}  // namespace
}  // namespace remdo::paradox
