// The walks over the folder tables and the check of one folder table with
// its retries. The walks never stop early: after Cancel the checks return at
// once, but every folder is still visited, so that a missing folder table
// is still recreated and refilled.
#include "repair/FolderWalk.h"

#include <cmath>
#include <limits>
#include <string>

#include "catalogue/TableCatalogue.h"
#include "repair/CatalogTables.h"
#include "repair/FolderConversion.h"
#include "repair/Helpers.h"
#include "repair/StepTable.h"
#include "repair/TableCheck.h"
#include "repair/TableRetrieval.h"
#include "repair/TableSequence.h"

namespace remdo::repair {

namespace {

constexpr std::int32_t kFolderTitleInfo = 2;
constexpr std::int32_t kFolderTolerance = 7;
// Folder 3 has a layout of its own.
constexpr std::int32_t kSpecialFolder = 3;
constexpr std::int32_t kEarlierFolderFields = 5;

// The folder structures whose check skips the layout comparison.
std::int32_t UncomparedFolderStructure(std::int32_t n) { return n == kSpecialFolder ? 41 : 40; }

bool FolderRepaired(TRepairContext& context) {
  std::int32_t& failures = context.State().FailureCount;
  if (failures > 0) --failures;
  context.Run().LogLine("  -- folder repaired");
  return true;
}

// One folder title of the current format: the table taken back from the
// save folder when missing or unusable, then checked, or recreated when
// still missing.
void VisitFolder(TRepairContext& context, std::int32_t n, const std::string& title) {
  const std::string file = FolderTableName(n) + ".db";
  context.State().TableUnderWay = FolderTableName(n);
  if (DataFolderLacksUsable(file) && SaveFolderHolds(file)) {
    context.Run().LogLine("    Retrieving backup for " + file);
    TakeBackTable(context, file);
  }
  if (DataFolderHolds(file)) {
    CheckFolderTable(context, n, title);
  } else {
    RecreateFolderTable(context, n, title);
  }
}

// The folder titles are the expanded titles with Info 2; Book holds the
// folder's number, Title its name.
void WalkFolderTitles(TRepairContext& context) {
  TStepTable titles(context.ExpTitleTbl, TRepairContext::DataFolder(), "ExpTitle");
  if (!titles->FindKey({kFolderTitleInfo})) return;
  paradox::TField& info = titles->FieldByName("Info");
  paradox::TField& book = titles->FieldByName("Book");
  paradox::TField& name = titles->FieldByName("Title");
  while (!titles->Eof() && info.AsInteger() == kFolderTitleInfo) {
    VisitFolder(context, book.AsInteger(), name.AsString());
    titles->Next();
  }
  titles.Close();
}

// Without the folder titles, a folder whose table is gone too is known
// only from the books Folders puts in it.
void CheckNumberedFolders(TRepairContext& context) {
  for (std::int32_t n = 1; n <= kNumberedFolders; ++n) {
    const std::string name = FolderTableName(n);
    if (DataFolderHolds(name + ".db")) CheckFolderTable(context, n, name);
  }
  for (const std::int32_t n : FoldersWithBooks(context)) {
    const std::string name = FolderTableName(n);
    if (!DataFolderHolds(name + ".db")) VisitFolder(context, n, name);
  }
}

}  // namespace

std::int32_t FolderStructure(std::int32_t n) { return n == kSpecialFolder ? 22 : 21; }

void CheckFolderTables(TRepairContext& context) {
  if (context.State().ExpandedTitlesOk) {
    WalkFolderTitles(context);
  } else {
    CheckNumberedFolders(context);
  }
}

bool CheckFolderTable(TRepairContext& context, std::int32_t n, std::string_view stem) {
  const std::string name = FolderTableName(n);
  const std::string prefix(stem);
  if (CheckTable(context, prefix + "...", name, FolderStructure(n), kFolderTolerance, false, true)) return true;
  // A table of the earlier folder layout is converted; any other structure
  // number is 0, and that check does nothing.
  const std::int32_t probed = ProbeStructure(name + ".db", catalogue::kEarlierFolderStructure, 0, 0, kEarlierFolderFields);
  if (CheckTable(context, prefix + "...(retry)", name, probed, kFolderTolerance, false, true)) {
    return FolderRepaired(context);
  }
  if (CheckTable(context, prefix + "...(retry 2)", name, UncomparedFolderStructure(n), kFolderTolerance, false,
                 false)) {
    return FolderRepaired(context);
  }
  return false;
}

// The earlier format keeps folder n's title under Book -n, so the titles
// are the records from Book -1 backwards to the start of the table.
void CheckEarlierFolderTables(TRepairContext& context) {
  TStepTable titles(context.ExpTitleTbl, TRepairContext::DataFolder(), "ExpTitle");
  if (!titles->FindKey({-1.0})) return;
  paradox::TField& book = titles->FieldByName("Book");
  paradox::TField& name = titles->FieldByName("Title");
  while (!titles->Bof()) {
    const double number = std::fabs(book.AsFloat());
    // A number no folder can have (a damaged record) names no table.
    if (number <= std::numeric_limits<std::int32_t>::max()) {
      CheckTable(context, name.AsString() + "...", FolderTableName(static_cast<std::int32_t>(number)),
                 catalogue::kEarlierFolderStructure, kFolderTolerance, false, true);
    }
    titles->Prior();
  }
  titles.Close();
}

}  // namespace remdo::repair
