// A table family is never left half-written: every file-system call of a
// family commit is failed (kFail) or made the last one before a crash
// (kStop) in turn; afterwards, once a database on the folder has settled
// what was left, the family on disk is wholly the old one or wholly the new.
#include "paradox/family/FamilyCommit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/EngineFixture.h"
#include "paradox/components/Table.h"
#include "paradox/engine/Engine.h"
#include "support/FaultFileSystem.h"

namespace remdo::paradox {
namespace {

using remdo::test::TFault;
using remdo::test::TFaultFileSystem;
using testing::Fld;
using testing::Record;

// The family files of table T in a folder: name (upper case) to bytes.
using TFamily = std::map<std::string, std::vector<std::byte>>;

TFamily ReadFamily(const std::string& folder) {
  TFamily family;
  for (const auto& entry : env::RealFileSystem().Find(folder + "T.*", 0)) {
    const std::string extension = env::UpperCase(env::ExtensionPart(entry.name));
    if (extension == ".NEW" || extension == ".OLD" || extension == ".COMMIT" || extension == ".STALE") continue;
    family[env::UpperCase(entry.name)] = remdo::test::ReadWholeFile(folder + entry.name);
  }
  return family;
}

std::vector<std::string> Names(const TFamily& family) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : family) names.push_back(name);
  return names;
}

std::vector<Record> DataRecords(const std::string& folder) { return testing::ReadTableFile(folder + "T.db").records; }

void StartDatabase(const std::string& folder) {
  (void)DbiInit(nullptr);
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
}

// A keyed table T with a memo field, 300 records, and two damaged secondary
// index files named for field 2, which the next rewrite rebuilds and a
// creation over the table drops.
void MakeOldFamily(const std::string& folder) {
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  ASSERT_EQ(DbiCreateTable(database.Handle(), true,
                           testing::TableDesc("T.db", {Fld("Key", 'I'), Fld("Name", 'A', 30), Fld("Notes", 'M', 4)}, 1)),
            0);
  TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName("T");
  table.Open();
  for (int i = 0; i < 300; ++i) table.AppendRecord({i, "old " + std::to_string(i)});
  table.Close();
  remdo::test::WriteWholeFile(folder + "T.X02", std::string_view("stale index data"));
  remdo::test::WriteWholeFile(folder + "T.Y02", std::string_view("stale index tree"));
}

struct TScenario {
  const char* name;
  // Runs the change whose commit is under test; armed is called right
  // before the call that commits.
  std::function<void(const std::string& folder, const std::function<void()>& armed)> change;
  std::vector<std::string> newNames;
  std::size_t newRecords;
};

void Rewrite(const std::string& folder, const std::function<void()>& armed) {
  TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName("T");
  table.Open();
  for (int i = 300; i < 900; ++i) table.AppendRecord({i, "new " + std::to_string(i)});
  armed();
  table.Close();
}

void CreateOver(const std::string& folder, const std::function<void()>& armed) {
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  const auto desc = testing::TableDesc("T.db", {Fld("Key", 'S'), Fld("Other", 'N')}, 1);
  armed();
  const std::uint16_t code = DbiCreateTable(database.Handle(), true, desc);
  if (code != 0) throw env::EDBEngineError(code, "creating T");
}

void Restructure(const std::string& folder, const std::function<void()>& armed) {
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  const auto desc = testing::OptionDesc("T.db", "BLOCK SIZE", "8192");
  armed();
  const std::uint16_t code = DbiDoRestructure(database.Handle(), 1, &desc, {}, {}, {}, false);
  if (code != 0) throw env::EDBEngineError(code, "restructuring T");
}

class FamilyCommitFaults : public ::testing::TestWithParam<TFault> {};

TEST_P(FamilyCommitFaults, EveryFailedCallLeavesTheOldOrTheNewFamily) {
  const TScenario scenarios[] = {
      {"rewrite", Rewrite, {"T.DB", "T.MB", "T.PX", "T.X02", "T.Y02"}, 900},
      {"create", CreateOver, {"T.DB", "T.PX"}, 0},
      {"restructure", Restructure, {"T.DB", "T.MB", "T.PX", "T.X02", "T.Y02"}, 300},
  };
  (void)DbiInit(nullptr);
  for (const TScenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    int oldSeen = 0;
    int newSeen = 0;
    for (long nth = 1;; ++nth) {
      remdo::test::TScratchFolder folder;
      MakeOldFamily(folder.Path());
      const TFamily old = ReadFamily(folder.Path());
      TFaultFileSystem faults;
      const bool triggered = remdo::test::RunFaulted(
          faults, nth, GetParam(), [&](const std::function<void()>& arm) { scenario.change(folder.Path(), arm); });
      SCOPED_TRACE("call " + std::to_string(nth) + ": " + faults.FailedCall());
      StartDatabase(folder.Path());  // settles what the failure left
      const TFamily now = ReadFamily(folder.Path());
      if (now == old) {
        ++oldSeen;
      } else {
        ASSERT_EQ(Names(now), scenario.newNames);
        EXPECT_EQ(DataRecords(folder.Path()).size(), scenario.newRecords);
        if (now.count("T.MB") > 0) {
          EXPECT_EQ(now.at("T.MB"), old.at("T.MB"));
        }
        ++newSeen;
      }
      remdo::test::ExpectNoCommitLeftovers(folder.Path());
      if (!triggered) break;
    }
    EXPECT_GT(oldSeen, 5);
    EXPECT_GE(newSeen, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(FailAndStop, FamilyCommitFaults, ::testing::Values(TFault::kFail, TFault::kStop),
                         remdo::test::FaultName);

TEST(FamilyCommit, MarkerCutShortIsDiscardedWithItsTemporaryFiles) {
  remdo::test::TScratchFolder folder;
  remdo::test::WriteWholeFile(folder / "T.db", std::string_view("old data"));
  remdo::test::WriteWholeFile(folder / "T.db.new", std::string_view("new data"));
  remdo::test::WriteWholeFile(folder / "T.commit", std::string_view("REMDO FAMILY COMMIT 1\r\nT.db|N|A\r\n"));
  std::vector<std::string> warnings;
  SettleFamilyCommits(env::RealFileSystem(), folder.Path(), warnings);
  EXPECT_EQ(remdo::test::ReadWholeFile(folder / "T.db"), remdo::test::Bytes("old data"));
  EXPECT_FALSE(env::RealFileSystem().FileExists(folder / "T.db.new"));
  EXPECT_FALSE(env::RealFileSystem().FileExists(folder / "T.commit"));
}

TEST(FamilyCommit, RollsForwardOnlyWhenEveryNewFileIsInPlace) {
  struct TCase {
    const char* name;
    bool pxRenamed;  // the crash came after the .PX was renamed in
    const char* expectedDb;
    const char* expectedPx;
  };
  const TCase cases[] = {{"half renamed", false, "old db", "old px"}, {"all renamed", true, "new db", "new px"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    remdo::test::TScratchFolder folder;
    // State after moving both old files aside and renaming the new .DB in.
    remdo::test::WriteWholeFile(folder / "T.db.old", std::string_view("old db"));
    remdo::test::WriteWholeFile(folder / "T.PX.old", std::string_view("old px"));
    remdo::test::WriteWholeFile(folder / "T.db", std::string_view("new db"));
    remdo::test::WriteWholeFile(folder / (c.pxRenamed ? "T.PX" : "T.PX.new"), std::string_view("new px"));
    remdo::test::WriteWholeFile(folder / "T.Y02.old", std::string_view("stale"));
    remdo::test::WriteWholeFile(
        folder / "T.commit",
        EncodeMarker({{"T.db", true, true, {}}, {"T.PX", true, true, {}}, {"T.Y02", false, true, {}}}));
    std::vector<std::string> warnings;
    EXPECT_EQ(SettleFamilyCommit(env::RealFileSystem(), folder.Path(), "T", warnings), TSettleOutcome::kSettled);
    EXPECT_EQ(remdo::test::ReadWholeFile(folder / "T.db"), remdo::test::Bytes(c.expectedDb));
    EXPECT_EQ(remdo::test::ReadWholeFile(folder / "T.PX"), remdo::test::Bytes(c.expectedPx));
    EXPECT_EQ(env::RealFileSystem().FileExists(folder / "T.Y02"), !c.pxRenamed);
    EXPECT_TRUE(env::RealFileSystem().Find(folder.Path() + "*.new", 0).empty());
    EXPECT_TRUE(env::RealFileSystem().Find(folder.Path() + "*.old", 0).empty());
    EXPECT_FALSE(env::RealFileSystem().FileExists(folder / "T.commit"));
  }
}

// A marker is input: one naming a file outside the table's own (the parent
// folder, an absolute path, another table) is refused whole. Nothing moves,
// the marker stays, the refusal is reported, and no commit runs over it.
TEST(FamilyCommit, MarkerNamingOtherFilesIsRefused) {
  remdo::test::TScratchFolder root;
  const std::string folder = root / "data/";
  ASSERT_TRUE(env::RealFileSystem().MakeFolder(folder));
  const std::vector<TMarkerLine> crafted[] = {
      {{"T.db", true, true, {}}, {"../victim.txt", true, false, {}}},
      {{"..\\victim.txt", true, false, {}}},
      {{root / "victim.txt", true, false, {}}},
      {{"Rejected/../../victim.txt", true, false, {}}},
      {{"T.db", true, false, "../victim.txt"}},
      {{"Other.db", true, false, {}}},
      {{"T.db", true, false, "Other.db"}},
  };
  for (const auto& lines : crafted) {
    SCOPED_TRACE(lines.back().name + " from " + lines.back().source);
    for (const char* name : {"victim.txt", "data/Other.db", "data/T.db"}) {
      remdo::test::WriteWholeFile(root / name, std::string_view(name));
    }
    const std::string marker = EncodeMarker(lines);
    remdo::test::WriteWholeFile(folder + "T.commit", marker);
    (void)DbiInit(nullptr);
    TDatabase database;
    database.SetDatabaseName(folder);
    database.Open();
    const std::vector<std::string> warnings = TEngineSession::Instance().TakeWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("T.commit"), std::string::npos) << warnings[0];
    TFamilyCommit commit(env::RealFileSystem(), folder, "T");
    commit.Create("T.db");
    EXPECT_THROW(commit.Commit(), env::EDBEngineError);
    for (const char* name : {"victim.txt", "data/Other.db", "data/T.db"}) {
      EXPECT_EQ(remdo::test::ReadWholeFile(root / name), remdo::test::Bytes(name)) << name;
    }
    EXPECT_EQ(remdo::test::ReadWholeFile(folder + "T.commit"), remdo::test::Bytes(marker));
    EXPECT_TRUE(env::RealFileSystem().Find(folder + "*.new", 0).empty());
  }
}

// Only the engine's own temporary files go when no marker needs them; a
// file of another program that merely ends in ".new" stays.
TEST(FamilyCommit, LeftoversGoOnlyWhenTheEngineNamedThem) {
  remdo::test::TScratchFolder folder;
  const std::vector<std::pair<const char*, bool>> files = {
      {"T.db.new", true},       {"T.X0B.new", true}, {"T.mb.pack.new", true},  {"T.DB.runs.new", true},
      {"notes.txt.new", false}, {"a.b.new", false},  {"T.new", false},         {"T.doc.new", false},
      {"T.db.pack.new", false}, {"U.db.new", false}, {"U.mb.pack.new", false},
  };
  for (const auto& [name, goes] : files) remdo::test::WriteWholeFile(folder / name, std::string_view("x"));
  // U's marker cannot be settled (refused): the files it may need stay.
  remdo::test::WriteWholeFile(folder / "U.commit", EncodeMarker({{"../U.db", true, false, {}}}));
  std::vector<std::string> warnings;
  SettleFamilyCommits(env::RealFileSystem(), folder.Path(), warnings);
  std::size_t removed = 0;
  for (const auto& [name, goes] : files) {
    EXPECT_EQ(env::RealFileSystem().FileExists(folder / name), !goes) << name;
    removed += goes ? 1 : 0;
  }
  EXPECT_EQ(warnings.size(), removed + 1);  // each removal, and U's refused marker
}

}  // namespace
}  // namespace remdo::paradox

namespace remdo::paradox {
namespace {

// The swap of a rebuilt table: the scratch table's files become the table's,
// its stale index goes, its memo file stays; never a mixture.
TEST_P(FamilyCommitFaults, SwapOfARebuiltTableIsWhollyDoneOrUndone) {
  const std::vector<std::pair<std::string, std::string>> old = {
      {"Books.db", "old data"}, {"Books.PX", "old index"}, {"Books.X02", "old secondary"}, {"Books.MB", "memo"}};
  const std::vector<std::pair<std::string, std::string>> scratch = {{"temptbl1.DB", "new data"},
                                                                    {"temptbl1.PX", "new index"}};
  int oldSeen = 0;
  int newSeen = 0;
  for (long nth = 1;; ++nth) {
    remdo::test::TScratchFolder folder;
    for (const auto& [name, text] : old) remdo::test::WriteWholeFile(folder / name, std::string_view(text));
    for (const auto& [name, text] : scratch) remdo::test::WriteWholeFile(folder / name, std::string_view(text));
    TFaultFileSystem faults;
    faults.Arm(nth, GetParam());
    try {
      TFamilyCommit commit(faults, folder.Path(), "Books");
      commit.Adopt("temptbl1.DB", "Books.db");
      commit.Adopt("temptbl1.PX", "Books.PX");
      commit.Remove("Books.X02");
      commit.Commit();
    } catch (const env::EDBEngineError&) {
    }
    const bool triggered = faults.Triggered();
    SCOPED_TRACE("call " + std::to_string(nth) + ": " + faults.FailedCall());
    std::vector<std::string> warnings;
    SettleFamilyCommits(env::RealFileSystem(), folder.Path(), warnings);
    auto text = [&](const char* name) {
      const auto bytes = remdo::test::ReadWholeFile(folder / name);
      return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    env::TFileSystem& fs = env::RealFileSystem();
    EXPECT_EQ(text("Books.MB"), "memo");
    if (text("Books.db") == "old data") {
      EXPECT_EQ(text("Books.PX"), "old index");
      EXPECT_EQ(text("Books.X02"), "old secondary");
      EXPECT_EQ(text("temptbl1.DB"), "new data");  // the scratch table is still there to retry
      EXPECT_EQ(text("temptbl1.PX"), "new index");
      ++oldSeen;
    } else {
      EXPECT_EQ(text("Books.db"), "new data");
      EXPECT_EQ(text("Books.PX"), "new index");
      EXPECT_FALSE(fs.FileExists(folder / "Books.X02"));
      EXPECT_FALSE(fs.FileExists(folder / "temptbl1.DB"));
      ++newSeen;
    }
    for (const char* leftover : {"*.commit", "*.new", "*.old"}) {
      EXPECT_TRUE(fs.Find(folder.Path() + leftover, 0).empty()) << leftover;
    }
    if (!triggered) break;
  }
  EXPECT_GT(oldSeen, 3);
  EXPECT_GE(newSeen, 1);
}

}  // namespace
}  // namespace remdo::paradox
