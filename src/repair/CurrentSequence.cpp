// The current format's table sequence. Four tables are taken back from the
// save folder when they are missing, each under its own condition: the
// expanded titles always, the genres only while no table has failed, the
// characters and groups while at most one has. A copy of the program whose
// name contains "fixchar" replaces the characters with their saved copy,
// keeping both earlier files as CharX2.db.
#include <iterator>
#include <string>

#include "env/SystemInfo.h"
#include "env/Text.h"
#include "repair/AutomaticBackup.h"
#include "repair/BookRecovery.h"
#include "repair/DataFolderCheck.h"
#include "repair/FolderWalk.h"
#include "repair/Helpers.h"
#include "repair/TableRetrieval.h"
#include "repair/TableSequence.h"

namespace remdo::repair {

namespace {

constexpr TSequenceRow kAuthors{"Authors", "AuthX", 34};
constexpr TSequenceRow kExpandedTitles{"Expanded Titles", "ExpTitle", 32};
constexpr TSequenceRow kBooks{"Books", "Books", 31, 8};
constexpr TSequenceRow kBookIndexing{"Book indexing", "BookRef", 26, 8};
constexpr TSequenceRow kGenres{"Genres", "Genre", 27, 10240};
constexpr TSequenceRow kSeries{"Series", "BkSeries", 28, 0, false, true};
constexpr TSequenceRow kReissues{"Reissues", "Reissues", 30, 64};
constexpr TSequenceRow kCharacters{"Characters", "CharX", 7, 500};
constexpr TSequenceRow kGroups{"Groups", "GrpNames", 37, 0, true};
// From the locales to the prices every row is checked as it stands.
constexpr TSequenceRow kMiddleRows[] = {
    {"Locales", "LocNames", 38, 0, true},
    {"Group indexing", "BookInx", 36, 0, false, true},
    {"Timeline calendar", "Calendar", 33, 0, false, true},
    {"Publishers", "Pubs", 23, 84},
    {"ISBNs", "ISBNs", 24, 32},
    {"Contacts", "Contact", 25},
    {"Image links", "Images", 29, 444},
    {"Personal notes", "BookInfo", 3, 0, true},
    {"Prices", "Prices", 13, 0, true},
};
constexpr TSequenceRow kFavoriteAuthors{"Favorite authors", "Auth0001", 39, 2};
constexpr TSequenceRow kFolderIndexing{"Folder indexing", "Folders", 35, 999999};

}  // namespace

std::vector<TSequenceRow> CurrentSequenceRows() {
  std::vector<TSequenceRow> rows = {kAuthors, kExpandedTitles, kBooks,      kBookIndexing, kGenres,
                                    kSeries,  kReissues,       kCharacters, kGroups};
  rows.insert(rows.end(), std::begin(kMiddleRows), std::end(kMiddleRows));
  rows.push_back(kFavoriteAuthors);
  rows.push_back(kFolderIndexing);
  return rows;
}

namespace {

constexpr std::int32_t kFixedCharactersTolerance = 900000;
constexpr std::int32_t kRetrievedCharactersTolerance = 4000;

TSequenceRow WithTolerance(TSequenceRow row, std::int32_t tolerance) {
  row.missingTolerance = tolerance;
  return row;
}

// A missing (or unusable) table whose saved copy is there, and at most so
// many failures so far.
bool MissingButSaved(TRepairContext& context, std::string_view file, std::int32_t failuresAllowed) {
  return context.State().FailureCount <= failuresAllowed && DataFolderLacksUsable(file) && SaveFolderHolds(file);
}

// With a saved copy the expanded titles are restored from it when
// incomplete, or taken back when missing.
bool CheckExpandedTitles(TRepairContext& context) {
  TSequenceRow row = kExpandedTitles;
  context.State().TableUnderWay = row.tableName;
  if (SaveFolderHolds("ExpTitle.db")) {
    if (!DataFolderLacksUsable("ExpTitle.db")) {
      row.restoreFromSave = true;
    } else {
      context.Run().LogLine("    Retrieving backup for expanded titles");
      TakeBackTable(context, "ExpTitle.db");
    }
  }
  return CheckRow(context, row);
}

void CheckBooks(TRepairContext& context) {
  TRunState& state = context.State();
  state.BooksOk = CheckRow(context, kBooks);
  if (context.Run().KeepGoing() && state.BooksOk && state.RecordsMayBeMissing()) RecoverBooks(context);
}

// A taken-back Genre.db lacks the genres of books added since the backup:
// they are made again whenever its check succeeds.
void CheckGenres(TRepairContext& context) {
  TRunState& state = context.State();
  state.TableUnderWay = kGenres.tableName;
  if (MissingButSaved(context, "Genre.db", 0)) {
    TakeBackTable(context, "Genre.db");
    context.Run().LogLine("    Cannot find Genre.db -- retrieving backup");
    const bool checked = CheckRow(context, kGenres);
    FillAwaitedGenres(context);
    if (checked) RecoverGenres(context);
    return;
  }
  const bool checked = CheckRow(context, kGenres);
  FillAwaitedGenres(context);
  if (checked && state.RecordsMayBeMissing() && state.BooksOk) RecoverGenres(context);
}

bool FixCharactersCopy() { return env::LowerCase(env::GetProgramPath()).find("fixchar") != std::string::npos; }

void CheckCharacters(TRepairContext& context) {
  TRunReporter& run = context.Run();
  context.State().TableUnderWay = kCharacters.tableName;
  if (FixCharactersCopy() && DataFolderHolds("CharX.db") && SaveFolderHolds("CharX.db")) {
    run.LogLine("    Retrieving backup for characters");
    const std::string data = TRepairContext::DataFolder();
    const std::string save = SaveFolder();
    CopyFileOrFail(data + "CharX.db", data + "CharX2.db");
    CopyFileOrFail(save + "CharX.db", save + "CharX2.db");
    TakeBackFromSaveFolder("CharX.db");
    CheckRow(context, WithTolerance(kCharacters, kFixedCharactersTolerance));
  } else if (MissingButSaved(context, "CharX.db", 1)) {
    run.LogLine("    Cannot find CharX.db -- retrieving backup");
    TakeBackTable(context, "CharX.db");
    CheckRow(context, WithTolerance(kCharacters, kRetrievedCharactersTolerance));
  } else {
    CheckRow(context, kCharacters);
  }
}

void CheckGroups(TRepairContext& context) {
  context.State().TableUnderWay = kGroups.tableName;
  if (MissingButSaved(context, "GrpNames.db", 1)) {
    context.Run().LogLine("    Cannot find GrpNames.db -- retrieving backup");
    TakeBackTable(context, "GrpNames.db");
  }
  CheckRow(context, kGroups);
}

void CheckFolderIndexing(TRepairContext& context) {
  if (CheckRow(context, kFolderIndexing) && context.State().RecordsMayBeMissing()) {
    context.Run().LogLine("  -- folders need to be reindexed");
  }
}

}  // namespace

void RunCurrentSequence(TRepairContext& context) {
  TRunState& state = context.State();
  CheckDataFolder(context);
  CheckRow(context, kAuthors);
  state.ExpandedTitlesOk = CheckExpandedTitles(context);
  CheckBooks(context);
  CheckRow(context, kBookIndexing);
  CheckGenres(context);
  CheckRow(context, kSeries);
  CheckRow(context, kReissues);
  FillAwaitedReissueDates(context);
  CheckCharacters(context);
  CheckGroups(context);
  for (const TSequenceRow& row : kMiddleRows) CheckRow(context, row);
  if (DataFolderHolds("Auth0001.db")) CheckRow(context, kFavoriteAuthors);
  CheckFolderIndexing(context);
  CheckFolderTables(context);
}

}  // namespace remdo::repair
