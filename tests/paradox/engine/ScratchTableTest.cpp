// Scratch tables are written without flushes or folder syncs, and the
// durable commit that adopts their files flushes every one of them before
// its marker exists: after a crash the marker never names a file whose
// bytes may still be in the cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "env/Path.h"
#include "env/Text.h"
#include "paradox/EngineFixture.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/engine/Engine.h"
#include "paradox/family/FamilyCommit.h"
#include "support/PassThroughFileSystem.h"

namespace remdo::paradox {
namespace {

using remdo::test::TInstalledFileSystem;
using remdo::test::TPassThroughFileSystem;
using testing::Fld;

// What went through the file system, in order: "create NAME", "sync NAME"
// (a file flush or a folder sync; a folder shows as "sync ").
struct TEventLog {
  std::vector<std::string> events;
  void Watch(TPassThroughFileSystem& fileSystem) {
    fileSystem.onCreate = [this](std::string_view path) { events.push_back("create " + Name(path)); };
    fileSystem.onSync = [this](std::string_view path) { events.push_back("sync " + Name(path)); };
  }
  static std::string Name(std::string_view path) {
    return env::UpperCase(env::NamePart(env::ExcludeTrailingSeparator(path)));
  }
  long Count(std::string_view prefix) const {
    return std::count_if(events.begin(), events.end(), [&](const std::string& e) { return e.starts_with(prefix); });
  }
};

// Creates a keyed table with a secondary index and fills it with 2000 records.
void CreateAndFill(const std::string& folder, const std::string& name) {
  TDatabase database;
  database.SetDatabaseName(folder);
  database.Open();
  ASSERT_EQ(DbiCreateTable(database.Handle(), true,
                           testing::TableDesc(name + ".db", {Fld("Key", 'I'), Fld("Name", 'A', 30)}, 1)),
            0);
  TTable table;
  table.SetDatabaseName(folder);
  table.SetTableName(name);
  table.Open();
  for (int i = 0; i < 2000; ++i) table.AppendRecord({i, "name " + std::to_string(i)});
  table.Close();
}

TEST(ScratchTables, OnlyTablesMarkedAsScratchSkipTheSyncs) {
  remdo::test::TScratchFolder folder;
  TPassThroughFileSystem fileSystem(env::RealFileSystem());
  TInstalledFileSystem installed(fileSystem);
  TEventLog log;
  log.Watch(fileSystem);
  (void)DbiInit(nullptr);
  TEngineSession::Instance().MarkScratchTable(folder / "Scratch.db");

  CreateAndFill(folder.Path(), "Scratch");
  EXPECT_EQ(log.Count("create SCRATCH.DB"), 2);  // the creation and the close
  EXPECT_EQ(log.Count("sync "), 0) << "a scratch table was flushed";
  EXPECT_EQ(testing::ReadTableFile(folder / "Scratch.db").records.size(), 2000u);

  log.events.clear();
  CreateAndFill(folder.Path(), "Kept");
  EXPECT_GE(log.Count("sync KEPT.DB"), 2);
  EXPECT_GE(log.Count("sync KEPT.PX"), 2);
  EXPECT_GE(log.Count("sync KEPT.COMMIT"), 2);
  EXPECT_GE(log.Count("sync " + TEventLog::Name(folder.Path())), 2);
}

TEST(ScratchTables, AdoptingFlushesEveryAdoptedFileBeforeTheMarker) {
  remdo::test::TScratchFolder folder;
  for (const char* name : {"Books.db", "Books.PX", "Books.X02"}) {
    remdo::test::WriteWholeFile(folder / name, std::string_view("old"));
  }
  for (const char* name : {"temptbl1.DB", "temptbl1.PX", "temptbl1.X02"}) {
    remdo::test::WriteWholeFile(folder / name, std::string_view("new"));
  }
  TPassThroughFileSystem fileSystem(env::RealFileSystem());
  TEventLog log;
  log.Watch(fileSystem);
  TFamilyCommit commit(fileSystem, folder.Path(), "Books");
  for (const char* extension : {".DB", ".PX", ".X02"}) {
    commit.Adopt(std::string("temptbl1") + extension, "Books" + std::string(extension));
  }
  commit.Commit();

  const auto marker = std::find(log.events.begin(), log.events.end(), "create BOOKS.COMMIT");
  ASSERT_NE(marker, log.events.end());
  for (const char* adopted : {"sync TEMPTBL1.DB", "sync TEMPTBL1.PX", "sync TEMPTBL1.X02"}) {
    EXPECT_NE(std::find(log.events.begin(), marker, adopted), marker) << adopted << " not flushed before the marker";
  }
  EXPECT_NE(std::find(marker, log.events.end(), "sync BOOKS.COMMIT"), log.events.end());
  EXPECT_EQ(remdo::test::ReadWholeFile(folder / "Books.PX").size(), 3u);
  EXPECT_FALSE(env::RealFileSystem().FileExists(folder / "temptbl1.DB"));

  // A scratch commit adopting the same way syncs nothing at all.
  for (const char* name : {"temptbl2.DB", "temptbl2.PX"}) {
    remdo::test::WriteWholeFile(folder / name, std::string_view("n"));
  }
  log.events.clear();
  TFamilyCommit scratch(fileSystem, folder.Path(), "temptbl1", TDurability::kScratch);
  scratch.Adopt("temptbl2.DB", "temptbl1.DB");
  scratch.Adopt("temptbl2.PX", "temptbl1.PX");
  scratch.Commit();
  EXPECT_EQ(log.Count("sync "), 0);
  EXPECT_TRUE(env::RealFileSystem().FileExists(folder / "temptbl1.PX"));
}

}  // namespace
}  // namespace remdo::paradox
