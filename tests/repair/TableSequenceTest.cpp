// The table sequence on generated catalogues: the order of the checks in
// both formats, the tables taken back from the save folder and when, the
// walks over the folder tables with their retries, recreation and refill,
// and what a stopped run still does.
#include "repair/TableSequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/TableCatalogue.h"
#include "catalogue/TableCreation.h"
#include "damage/Damage.h"
#include "env/FileSystem.h"
#include "env/SystemInfo.h"
#include "generator/CatalogueGenerator.h"
#include "generator/Words.h"
#include "paradox/components/TableOptions.h"
#include "repair/AutomaticBackup.h"
#include "repair/CatalogTables.h"
#include "repair/FolderWalk.h"
#include "repair/Helpers.h"
#include "repair/RepairFixture.h"
#include "support/PassThroughFileSystem.h"

namespace remdo::repair {
namespace {

using testing::Record;
using testing::TRecordMaker;
using testing::TRepairTest;
using Lines = std::vector<std::string>;

class TableSequenceTest : public TRepairTest {
 protected:

  tools::TGeneratedCatalogue Generate(bool currentLayout = true, int folders = 3,
                                      const std::function<void(tools::TCatalogueOptions&)>& adjust = {}) {
    tools::TCatalogueOptions options;
    options.currentLayout = currentLayout;
    options.books = 60;
    options.folders = folders;
    options.memoPerMille = 200;
    if (adjust) adjust(options);
    if (!currentLayout) catalogue::SetBooksFormatMarker(6);
    return tools::GenerateCatalogue(test::kDataFolder, options);
  }
  // Deletes every file of a table family in the data folder (or the save
  // folder's copy of the data file).
  void RemoveTable(std::string_view name) {
    for (const auto& file : Files(std::string(name) + ".*")) ASSERT_TRUE(env::DefaultFileSystem().Remove(Data(file)));
  }
  void RemoveSaved(std::string_view file) {
    ASSERT_TRUE(env::DefaultFileSystem().Remove(SaveFolder() + std::string(file)));
  }
  // Puts a line into the log where one of these files of the data folder
  // is created (a copy writes its temporary file first), so that a test
  // sees where a file was taken back.
  void MarkCopies(std::initializer_list<const char*> names) {
    std::set<std::string> watched;
    for (const char* name : names) watched.insert(Data(name) + ".~cp");
    files_.onCreate = [this, watched](std::string_view path) {
      if (watched.count(std::string(path)) != 0) {
        run.lines.push_back("<created " + std::string(path.substr(0, path.size() - 4)) + ">");
      }
    };
  }
  Lines CheckingLines() const {
    Lines out;
    for (const auto& line : run.lines) {
      if (line.rfind("Checking ", 0) == 0) out.push_back(line);
    }
    return out;
  }
  bool Logged(const std::string& line) const { return std::count(run.lines.begin(), run.lines.end(), line) > 0; }
  // The lines from the first that equals first, count of them.
  Lines LinesFrom(const std::string& first, std::size_t count) const {
    const auto at = std::find(run.lines.begin(), run.lines.end(), first);
    if (at == run.lines.end()) return {"<no line " + first + ">"};
    return Lines(at, at + static_cast<std::ptrdiff_t>(std::min<std::size_t>(count, run.lines.end() - at)));
  }
  static std::string Transferred(std::int64_t n) { return "~  -- transferred data [" + std::to_string(n) + "]"; }

  // The runs write scratch data: no flushes.
  test::TPassThroughFileSystem files_{platform.drive.fileSystem, false};
  test::TInstalledFileSystem filesInstalled_{files_};
};

// Book, Release and EntryDate of every record of a table, in key order.
struct TFolderRow {
  std::int32_t book = 0, release = 0, entryDate = 0;
  friend bool operator==(const TFolderRow&, const TFolderRow&) = default;
};

std::vector<TFolderRow> FolderRows(const std::string& table, std::int32_t folder = -1) {
  paradox::TTable t;
  t.SetDatabaseName(test::kDataFolder);
  t.SetTableName(table);
  t.Open();
  std::vector<TFolderRow> rows;
  for (t.First(); !t.Eof(); t.Next()) {
    if (folder >= 0 && t.FieldByName("Folder").AsInteger() != folder) continue;
    TFolderRow row{t.FieldByName("Book").AsInteger(), t.FieldByName("Release").AsInteger(), 0};
    if (folder < 0) row.entryDate = t.FieldByName("EntryDate").AsInteger();
    rows.push_back(row);
  }
  t.Close();
  return rows;
}

// A data file of zero bytes or without a header (size 65535) counts as missing.
enum class TBroken { kMissing, kZeroBytes, kNoHeader };

class TakenBackTables : public TableSequenceTest, public ::testing::WithParamInterface<TBroken> {
 protected:
  void Break(const std::string& table) {
    if (GetParam() == TBroken::kMissing) return RemoveTable(table);
    const std::vector<std::byte> bytes(GetParam() == TBroken::kZeroBytes ? 0 : 2048, std::byte{0xFF});
    test::WriteWholeFile(Data(table + ".db"), bytes);
    broken_[table] = bytes;
  }
  // Each family moved aside with its line, which is then left out.
  void ExpectSetAside() {
    const std::string original = context->RejectedFolderName() + "Original\\";
    for (const auto& [table, bytes] : broken_) {
      EXPECT_EQ(test::ReadWholeFile(Data(original + table + ".db")), bytes) << table;
      const std::string line = "~    unusable " + table + ".db moved to " + original;
      EXPECT_EQ(std::erase(run.lines, line), 1u) << line;
    }
  }
  std::map<std::string, std::vector<std::byte>> broken_;
};

INSTANTIATE_TEST_SUITE_P(Broken, TakenBackTables,
                         ::testing::Values(TBroken::kMissing, TBroken::kZeroBytes, TBroken::kNoHeader));

TEST_F(TableSequenceTest, CurrentFormatChecksEveryTableInItsOrder) {
  Generate();
  RunTableSequence(*context);
  const Lines expected = {
      "Checking FENRO directory", "Checking Authors...", "Checking Expanded Titles...", "Checking Books...",
      "Checking Book indexing...", "Checking Genres...", "Checking Series...", "Checking Reissues...",
      "Checking Characters...", "Checking Groups...", "Checking Locales...", "Checking Group indexing...",
      "Checking Timeline calendar...", "Checking Publishers...", "Checking ISBNs...", "Checking Contacts...",
      "Checking Image links...", "Checking Personal notes...", "Checking Prices...", "Checking Favorite authors...",
      "Checking Folder indexing...", "Checking " + tools::FolderTitle(1) + "......",
      "Checking " + tools::FolderTitle(2) + "......", "Checking " + tools::FolderTitle(3) + "......"};
  EXPECT_EQ(CheckingLines(), expected);
  EXPECT_EQ(run.state.FailureCount, 0) << run.state.FailedTables;
  EXPECT_TRUE(run.state.ExpandedTitlesOk);
  EXPECT_TRUE(run.state.BooksOk);
}

TEST_F(TableSequenceTest, FavoriteAuthorsOnlyWithAuth0001) {
  Generate(true, 1, [](tools::TCatalogueOptions& o) { o.favouriteAuthors = false; });
  ASSERT_FALSE(Exists("Auth0001.db"));
  RunTableSequence(*context);
  const Lines checks = CheckingLines();
  EXPECT_EQ(std::count(checks.begin(), checks.end(), "Checking Favorite authors..."), 0);
  EXPECT_TRUE(Logged("Checking Folder indexing..."));
  EXPECT_EQ(run.state.FailureCount, 0) << run.state.FailedTables;
}

TEST_F(TableSequenceTest, EarlierFormatChecksItsTablesAndFoldersFromTitleMinusOne) {
  const auto catalogue = Generate(false, 3);
  RunTableSequence(*context);
  const Lines expected = {
      "Checking Authors...", "Checking Books...", "Checking Personal notes...", "Checking Expanded Titles...",
      "Checking Reissues...", "Checking Series...", "Checking Characters...", "Checking Genres...",
      "Checking Book indexing...", "Checking Group indexing...", "Checking Groups...", "Checking Locale indexing...",
      "Checking Locales...", "Checking Prices...", "Checking " + tools::FolderTitle(1) + "......",
      "Checking " + tools::FolderTitle(2) + "......", "Checking " + tools::FolderTitle(3) + "......"};
  EXPECT_EQ(CheckingLines(), expected);
  // Folder 2's table is checked once, as structure 14.
  EXPECT_EQ(LinesFrom("Checking " + tools::FolderTitle(2) + "......", 2),
            (Lines{"Checking " + tools::FolderTitle(2) + "......", Transferred(catalogue.Records("Fldr0002"))}));
  EXPECT_EQ(run.state.FailureCount, 0) << run.state.FailedTables;
}

TEST_F(TableSequenceTest, WithoutExpandedTitlesFoldersOneTo250AreCheckedByNumber) {
  Generate(true, 2, [](tools::TCatalogueOptions& o) { o.saveFolder = false; });
  RemoveTable("ExpTitle");
  for (const char* copy : {"Fldr0250.db", "Fldr0251.db"}) {
    ASSERT_TRUE(paradox::CopyFileContents(Data("Fldr0001.db"), Data(copy)));
  }
  RunTableSequence(*context);
  EXPECT_FALSE(run.state.ExpandedTitlesOk);
  const Lines checks = CheckingLines();
  const Lines folders(std::find(checks.begin(), checks.end(), "Checking Folder indexing...") + 1, checks.end());
  EXPECT_EQ(folders, (Lines{"Checking Fldr0001......", "Checking Fldr0002......", "Checking Fldr0250......"}));
  EXPECT_EQ(run.state.FailedTables, "ExpTitle");
}

// A folder table lost with the expanded titles is known from Folders alone.
TEST_F(TableSequenceTest, WithoutExpandedTitlesAFolderOnlyFoldersKnowsIsRecreated) {
  Generate(true, 3, [](tools::TCatalogueOptions& o) { o.books = 120; });
  const auto wanted = FolderRows("Folders", 2);
  ASSERT_FALSE(wanted.empty());
  for (const char* table : {"Fldr0002", "ExpTitle"}) {
    RemoveTable(table);
    RemoveSaved(std::string(table) + ".db");
  }
  RunTableSequence(*context);
  EXPECT_TRUE(Logged("Fldr0002 folder missing -- recreating"));
  EXPECT_EQ(FolderRows("Fldr0002").size(), wanted.size());
  EXPECT_EQ(run.state.FailedTables, "ExpTitle");
}

TEST_F(TableSequenceTest, FolderMissingEverywhereIsRecreatedAndRefilledFromFolders) {
  Generate(true, 3, [](tools::TCatalogueOptions& o) { o.books = 120; });
  const auto wanted = FolderRows("Folders", 2);
  ASSERT_FALSE(wanted.empty());
  RemoveTable("Fldr0002");
  RemoveSaved("Fldr0002.db");
  RunTableSequence(*context);
  const std::string title = tools::FolderTitle(2);
  EXPECT_TRUE(Logged(title + " folder missing -- recreating"));
  EXPECT_FALSE(Logged("Checking " + title + "......"));
  std::vector<TFolderRow> expected;
  for (auto row : wanted) expected.push_back({row.book, row.release, kRefilledEntryDate});
  EXPECT_EQ(FolderRows("Fldr0002"), expected);
  EXPECT_EQ(run.state.FailureCount, 0) << run.state.FailedTables;
  // The window's controls are back after the refill.
  EXPECT_TRUE(run.cancelEnabled);
  EXPECT_EQ(run.choices[TChoice::kAutoClose], true);
  EXPECT_EQ(run.choices[TChoice::kTurnOffOnlineOptions], true);
  EXPECT_EQ(run.message, "");
  EXPECT_FALSE(run.waitPanel);
  EXPECT_NE(std::find(run.messages.begin(), run.messages.end(), "transferring info..."), run.messages.end());
  // A Folders beyond opening leaves a recreated table empty.
  RemoveTable("Fldr0002");
  tools::Damage(tools::TDamageKind::kTrailingPartBlock, Data("Folders.db"), {});
  EXPECT_TRUE(RecreateFolderTable(*context, 2, title));
  EXPECT_TRUE(FolderRows("Fldr0002").empty());
}

TEST_P(TakenBackTables, FolderMissingFromTheDataFolderIsTakenBack) {
  const auto catalogue = Generate();
  Break("Fldr0003");
  MarkCopies({"Fldr0003.db"});
  RunTableSequence(*context);
  ExpectSetAside();
  const std::string title = tools::FolderTitle(3);
  EXPECT_EQ(LinesFrom("    Retrieving backup for Fldr0003.db", 4),
            (Lines{"    Retrieving backup for Fldr0003.db", "<created C:\\FENRO\\Fldr0003.db>",
                   "Checking " + title + "......", Transferred(catalogue.Records("Fldr0003"))}));
}

// The first check fails on the table's layout, the retry as an earlier
// folder table does nothing for a table of 12 fields, and the last retry,
// which skips the layout comparison, repairs it.
TEST_F(TableSequenceTest, SecondRetryRepairsAFolderAndTakesItsFailureBack) {
  catalogue::TFieldSpecList shifted = catalogue::GetTableSchema(21);
  shifted[3] = "Sort Title, A23+";  // same record size, other field sizes
  shifted[4] = "Key, A43+";
  ASSERT_TRUE(catalogue::CreateParadoxTable(database.Handle(), "Fldr0001.db", "DBWINUS0", shifted, 5));
  const TRecordMaker maker(21);
  std::vector<Record> records;
  for (int book = 1; book <= 5; ++book) records.push_back(maker.Make({{"Book", book}, {"Release", 1}}));
  {
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName("Fldr0001.db");
    table.Open();
    for (const auto& r : records) ASSERT_EQ(paradox::DbiInsertRecord(table.Handle(), paradox::TDbiLock::kNoLock, r), 0);
    table.Close();
  }
  run.state.FailureCount = 2;  // two earlier failures stay counted
  EXPECT_TRUE(CheckFolderTable(*context, 1, "Reading"));
  EXPECT_EQ(run.lines, (Lines{"Checking Reading......", "  -- incorrect table format", "  -- please check for upgrade",
                              "  -- error", "Checking Reading...(retry 2)...", Transferred(5),
                              "  -- folder repaired"}));
  EXPECT_EQ(run.state.FailureCount, 2);
  EXPECT_EQ(run.state.FailedTables, "Fldr0001");
  EXPECT_EQ(FolderRows("Fldr0001").size(), 5u);
}

// A folder table held or denied (the file system refuses: root opens chmod 000) fails alone.
TEST_F(TableSequenceTest, AFolderTableThatCannotBeOpenedFailsOnItsOwn) {
  const auto catalogue = Generate(true, 2, [](tools::TCatalogueOptions& o) { o.onlyTables = {"Fldr*"}; });
  files_.onOpen = [this](std::string_view path, env::TOpenMode) {
    if (path == Data("Fldr0001.db")) throw env::EFOpenError("denied");
  };
  CheckFolderTables(*context);
  EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "  -- table cannot be opened: Fldr0001.db (denied)"), 2);
  EXPECT_TRUE(Logged(Transferred(catalogue.Records("Fldr0002"))));
}

TEST_F(TableSequenceTest, EarlierLayoutFolderIsConvertedByTheFirstRetry) {
  Generate(true, 2, [](tools::TCatalogueOptions& o) {
    o.earlierFolderTables = true;
    o.onlyTables = {"Fldr*"};
  });
  EXPECT_TRUE(CheckFolderTable(*context, 2, "Wish list"));
  const Lines checks = CheckingLines();
  EXPECT_EQ(checks, (Lines{"Checking Wish list......", "Checking Wish list...(retry)..."}));
  EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "  -- folder repaired"), 1);
  EXPECT_EQ(run.state.FailureCount, 0);
  EXPECT_EQ(ProbeStructure("Fldr0002.db", 14, 0, 0, 5), 0);  // now of the current layout
  const auto rows = FolderRows("Fldr0002");
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) EXPECT_EQ(row.entryDate, 1863105790);
}

TEST_F(TableSequenceTest, AFolderThatFailsEveryRetryIsCountedForEachFailedCheck) {
  catalogue::TFieldSpecList narrow = {"Book, I*", "Release, S*", "Note, A10"};
  ASSERT_TRUE(catalogue::CreateParadoxTable(database.Handle(), "Fldr0003.db", "DBWINUS0", narrow, 5));
  {
    paradox::TTable table;
    table.SetDatabaseName(test::kDataFolder);
    table.SetTableName("Fldr0003.db");
    table.Open();
    table.AppendRecord({1, 1, "lent"});
    table.Close();
  }
  EXPECT_FALSE(CheckFolderTable(*context, 3, "Loans"));
  const Lines checks = CheckingLines();
  EXPECT_EQ(checks, (Lines{"Checking Loans......", "Checking Loans...(retry 2)..."}));
  EXPECT_EQ(run.state.FailureCount, 2);
  EXPECT_EQ(run.state.FailedTables, "Fldr0003,Fldr0003");
  EXPECT_FALSE(Logged("  -- folder repaired"));
  // An empty file: the last retry, without the layout comparison, meets a
  // read error, which fails the table and not the walk.
  testing::TruncateFile(Data("Fldr0003.db"), 0);
  EXPECT_FALSE(CheckFolderTable(*context, 3, "Loans"));
  EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), "  -- unreadable table format"), 2);
  EXPECT_EQ(run.state.FailureCount, 4);
}

// The book recovery opens Genre and Reissues before their own checks (no
// other step opens a table before its check, in either layout). Each,
// damaged with Books, is left out of it, and every table is checked.
TEST_F(TableSequenceTest, TablesOpenedBeforeTheirOwnCheckMayBeDamaged) {
  for (const std::string lookup : {"Genre", "Reissues"}) {
    run.lines.clear();
    Generate(true, 1);
    tools::TDamageOptions duplicate;
    duplicate.record = 5;
    tools::Damage(tools::TDamageKind::kDuplicateKey, Data("Books.db"), duplicate);
    tools::Damage(tools::TDamageKind::kTrailingPartBlock, Data(lookup + ".db"), {});
    RunTableSequence(*context);
    const auto leftOut = std::find_if(run.lines.begin(), run.lines.end(), [&lookup](const std::string& line) {
      return line.rfind("~    " + lookup + " left out of the recovery: ", 0) == 0;
    });
    ASSERT_NE(leftOut, run.lines.end()) << lookup;
    EXPECT_EQ(leftOut[-1], "  -- recovering books") << lookup;
    EXPECT_EQ(CheckingLines().back(), "Checking " + tools::FolderTitle(1) + "......") << lookup;
  }
}

// Genre.db is logged after it was taken back, CharX.db and GrpNames.db
// before; the genres are made again after a taken-back Genre.db whatever
// the rebuild found.
TEST_P(TakenBackTables, MissingTablesAreTakenBackWithTheirLines) {
  const auto catalogue = Generate(true, 1);
  for (const char* table : {"Genre", "CharX", "GrpNames", "ExpTitle"}) Break(table);
  MarkCopies({"Genre.db", "CharX.db", "GrpNames.db", "ExpTitle.db"});
  RunTableSequence(*context);
  ExpectSetAside();
  EXPECT_EQ(LinesFrom("    Retrieving backup for expanded titles", 3),
            (Lines{"    Retrieving backup for expanded titles", "<created C:\\FENRO\\ExpTitle.db>",
                   "Checking Expanded Titles..."}));
  EXPECT_EQ(LinesFrom("<created C:\\FENRO\\Genre.db>", 5),
            (Lines{"<created C:\\FENRO\\Genre.db>", "    Cannot find Genre.db -- retrieving backup",
                   "Checking Genres...", Transferred(catalogue.Records("Genre")), "  -- recovering genres"}));
  EXPECT_EQ(LinesFrom("    Cannot find CharX.db -- retrieving backup", 3),
            (Lines{"    Cannot find CharX.db -- retrieving backup", "<created C:\\FENRO\\CharX.db>",
                   "Checking Characters..."}));
  EXPECT_EQ(LinesFrom("    Cannot find GrpNames.db -- retrieving backup", 3),
            (Lines{"    Cannot find GrpNames.db -- retrieving backup", "<created C:\\FENRO\\GrpNames.db>",
                   "Checking Groups..."}));
  EXPECT_EQ(run.state.FailureCount, 0) << run.state.FailedTables;
}

// Genre.db is taken back only while no table has failed; CharX.db and
// GrpNames.db while at most one has.
TEST_F(TableSequenceTest, TakingBackDependsOnTheFailuresSoFar) {
  const struct {
    std::vector<const char*> failing;  // tables removed before the others
    std::vector<const char*> missing;  // tables removed with a saved copy
    std::vector<const char*> takenBack;
  } cases[] = {
      {{}, {"Genre"}, {"Genre"}},
      {{"AuthX"}, {"Genre"}, {}},
      {{"AuthX"}, {"CharX", "GrpNames"}, {"CharX", "GrpNames"}},
      {{"AuthX", "BookRef"}, {"CharX", "GrpNames"}, {}},
  };
  for (const auto& c : cases) {
    run.lines.clear();
    run.state.FailureCount = 0;
    run.state.FailedTables.clear();
    Generate(true, 1);
    for (const char* table : c.failing) RemoveTable(table);
    for (const char* table : c.missing) RemoveTable(table);
    RunTableSequence(*context);
    for (const char* table : c.missing) {
      const std::string label = std::string(table) + " after " + std::to_string(c.failing.size()) + " failures";
      const bool taken = std::count(c.takenBack.begin(), c.takenBack.end(), std::string_view(table)) > 0;
      EXPECT_EQ(Logged("    Cannot find " + std::string(table) + ".db -- retrieving backup"), taken) << label;
      EXPECT_EQ(Logged("  -- table not found: " + std::string(table)), !taken) << label;
    }
  }
}

TEST_F(TableSequenceTest, FixCharCopyReplacesTheCharactersWithTheSavedCopy) {
  Generate(true, 1);
  const auto saved = test::ReadWholeFile(SaveFolder() + "CharX.db");
  const auto current = test::ReadWholeFile(Data("CharX.db"));
  platform.platform.facts.programPath = "C:\\Remdo\\RemdoFixChar.exe";
  env::ForgetSystemInfo();
  RunTableSequence(*context);
  EXPECT_EQ(LinesFrom("    Retrieving backup for characters", 2),
            (Lines{"    Retrieving backup for characters", "Checking Characters..."}));
  EXPECT_EQ(test::ReadWholeFile(Data("CharX2.db")), current);
  EXPECT_EQ(test::ReadWholeFile(SaveFolder() + "CharX2.db"), saved);
}

// After Cancel the checks return at once, but the walk still takes back
// and recreates missing folder tables; the Close button stays disabled.
TEST_F(TableSequenceTest, StoppedRunStillVisitsEveryFolder) {
  Generate(true, 3);
  RemoveTable("Fldr0001");
  RemoveTable("Fldr0002");
  RemoveSaved("Fldr0002.db");
  run.state.ExpandedTitlesOk = true;
  run.state.Running = false;
  run.stopAfter = 0;
  CheckFolderTables(*context);
  EXPECT_EQ(run.lines, (Lines{"    Retrieving backup for Fldr0001.db", tools::FolderTitle(2) + " folder missing -- recreating"}));
  EXPECT_TRUE(Exists("Fldr0001.db"));
  EXPECT_FALSE(FolderRows("Fldr0002").empty());
  EXPECT_FALSE(run.cancelEnabled);
  EXPECT_EQ(run.state.FailureCount, 0);
}

}  // namespace
}  // namespace remdo::repair
