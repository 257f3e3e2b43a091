// The choice of sequence, the earlier format's sequence, and the file
// operations the sequences share.
#include "repair/TableSequence.h"

#include <iterator>
#include <string>

#include "catalogue/TableCatalogue.h"
#include "env/FileSystem.h"
#include "repair/AutomaticBackup.h"
#include "repair/DataFolderCheck.h"
#include "repair/FolderWalk.h"
#include "repair/Helpers.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {

// The earlier format's tables in their order.
constexpr TSequenceRow kEarlierRows[] = {
    {"Authors", "AuthX", 1},
    {"Books", "Books", 2},
    {"Personal notes", "BookInfo", 3, 0, true},
    {"Expanded Titles", "ExpTitle", 4},
    {"Reissues", "Reissues", 5},
    {"Series", "BkSeries", 6, 0, false, true},
    {"Characters", "CharX", 7, 16},
    {"Genres", "Genre", 8, 16},
    {"Book indexing", "BookRef", 9},
    {"Group indexing", "BookGrp", 10, 4, false, true},
    {"Groups", "GrpNames", 11, 0, true},
    {"Locale indexing", "BookLoc", 10, 16, false, true},
    {"Locales", "LocNames", 12, 0, true},
    {"Prices", "Prices", 13},
};

bool FolderHolds(const std::string& folder, std::string_view name) {
  return !folder.empty() && env::DefaultFileSystem().FileExists(folder + std::string(name));
}

}  // namespace

void RunTableSequence(TRepairContext& context) {
  // Without a data folder every table name would name a file of the
  // current folder: nothing is opened, checked or written. The folder
  // check says so, and the run counts it as failed (no table name).
  if (TRepairContext::DataFolder().empty()) {
    CheckDataFolder(context);
    ++context.State().FailureCount;
    return;
  }
  if (catalogue::IsCurrentLayout()) {
    RunCurrentSequence(context);
  } else {
    RunEarlierSequence(context);
  }
}

std::vector<TSequenceRow> SequenceRows(bool currentLayout) {
  if (currentLayout) return CurrentSequenceRows();
  return {std::begin(kEarlierRows), std::end(kEarlierRows)};
}

void RunEarlierSequence(TRepairContext& context) {
  for (const TSequenceRow& row : kEarlierRows) CheckRow(context, row);
  CheckEarlierFolderTables(context);
}

bool CheckRow(TRepairContext& context, const TSequenceRow& row) {
  return CheckTable(context, row.displayName, row.tableName, row.structureNumber, row.missingTolerance,
                    row.restoreFromSave, row.verifyMissing);
}

bool DataFolderHolds(std::string_view name) { return FolderHolds(TRepairContext::DataFolder(), name); }

bool SaveFolderHolds(std::string_view name) { return FolderHolds(SaveFolder(), name); }

void TakeBackFromSaveFolder(std::string_view name) {
  CopyFileOrFail(SaveFolder() + std::string(name), TRepairContext::DataFolder() + std::string(name));
}

}  // namespace remdo::repair
