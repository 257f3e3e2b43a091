// A folder table that has gone missing from the data folder and the save
// folder is made again empty and refilled from Folders, which records the
// books of every folder. Only Book and Release can be had from there; the
// catalogue application fills in the rest of each row, and the EntryDate
// far in the future marks the rows as refilled.
#include <memory>
#include <string>
#include <vector>

#include "env/Errors.h"
#include "repair/CatalogTables.h"
#include "repair/FolderWalk.h"
#include "repair/Helpers.h"
#include "repair/StepTable.h"

namespace remdo::repair {

namespace {

// Let the window repaint every so many refilled records.
constexpr int kRecordsBetweenMessages = 64;

// The Close button and the choices are disabled while a table is refilled,
// so Cancel cannot be pressed; they come back when the refill ends, also
// when an error ends it, so the window can still be closed.
class TRefillControls {
 public:
  explicit TRefillControls(TRunReporter& run) : run_(run) {
    run_.ShowWaitPanel(true);
    run_.SetCancelEnabled(false);
    run_.SetChoiceEnabled(TChoice::kClipboard, false);
    run_.SetChoiceEnabled(TChoice::kAutoClose, false);
    run_.SetChoiceEnabled(TChoice::kTurnOffOnlineOptions, false);
    run_.SetMessage("transferring info...");
  }
  ~TRefillControls() {
    run_.SetMessage("");
    run_.ShowWaitPanel(false);
    run_.SetBusyCursor(false);
    if (run_.KeepGoing()) run_.SetCancelEnabled(true);
    if (!run_.RunOption("INST") && !run_.RunOption("INSTALLING")) {
      run_.SetChoiceEnabled(TChoice::kClipboard, true);
      run_.SetChoiceEnabled(TChoice::kAutoClose, true);
    }
    run_.SetChoiceEnabled(TChoice::kTurnOffOnlineOptions, true);
  }
  TRefillControls(const TRefillControls&) = delete;
  TRefillControls& operator=(const TRefillControls&) = delete;

 private:
  TRunReporter& run_;
};

// Appends one row for a book of the folder; a row the engine refuses (a
// key violation) is left out.
void AppendFolderRow(paradox::TTable& folder, std::int32_t book, std::int32_t release) {
  try {
    folder.Append();
    folder.FieldByName("Book").SetAsInteger(book);
    folder.FieldByName("Release").SetAsInteger(release);
    folder.FieldByName("EntryDate").SetAsInteger(kRefilledEntryDate);
    folder.Post();
  } catch (const env::EDBEngineError&) {
    folder.Cancel();
  }
}

void TransferFolderRows(TRepairContext& context, std::int32_t n) {
  const std::string dataFolder = TRepairContext::DataFolder();
  TStepTable folder(context.Table1, dataFolder, FolderTableName(n));
  // Folders may have failed its own check and be beyond opening: the new
  // table then stays empty.
  std::unique_ptr<TStepTable> foldersTable;
  try {
    foldersTable = std::make_unique<TStepTable>(context.Table2, dataFolder, "Folders", "Folder");
  } catch (const env::EDBEngineError& error) {
    context.Run().LogLine("~    Folders left out of the refill: " + std::string(error.what()));
    return;
  }
  TStepTable& folders = *foldersTable;
  if (FindKeyIfHeld(*folders, {n})) {
    paradox::TField& number = folders->FieldByName("Folder");
    paradox::TField& book = folders->FieldByName("Book");
    paradox::TField& release = folders->FieldByName("Release");
    int sinceMessages = 0;
    while (!folders->Eof() && number.AsInteger() == n) {
      AppendFolderRow(*folder, book.AsInteger(), release.AsInteger());
      if (++sinceMessages == kRecordsBetweenMessages) {
        sinceMessages = 0;
        context.Run().ProcessMessages();
      }
      folders->Next();
    }
  }
  folder.Close();
  folders.Close();
}

}  // namespace

std::vector<std::int32_t> FoldersWithBooks(TRepairContext& context) {
  std::vector<std::int32_t> numbers;
  std::unique_ptr<TStepTable> foldersTable;
  try {
    foldersTable = std::make_unique<TStepTable>(context.Table2, TRepairContext::DataFolder(), "Folders", "Folder");
  } catch (const env::EDBEngineError& error) {
    context.Run().LogLine("~    Folders left out of the folder numbers: " + std::string(error.what()));
    return numbers;
  }
  TStepTable& folders = *foldersTable;
  paradox::TField& number = folders->FieldByName("Folder");
  // In the order of the index on Folder: each number once.
  for (folders->First(); !folders->Eof(); folders->Next()) {
    const std::int32_t n = number.AsInteger();
    if (n >= 1 && n <= kNumberedFolders && (numbers.empty() || numbers.back() != n)) numbers.push_back(n);
  }
  folders.Close();
  context.Table2.SetIndexName({});
  return numbers;
}

bool RecreateFolderTable(TRepairContext& context, std::int32_t n, std::string_view title) {
  TRunReporter& run = context.Run();
  run.LogLine(std::string(title) + " folder missing -- recreating");
  TTableOutcome outcome;
  outcome.table = FolderTableName(n);
  outcome.recreated = true;
  if (!CreateCatalogTable(context, FolderTableName(n) + ".db", FolderStructure(n))) {
    run.LogLine("  -- unable to create file");
    ++context.State().FailureCount;
    outcome.failed = true;
    context.State().TableOutcomes.push_back(std::move(outcome));
    return false;
  }
  RefillFolderTable(context, n);
  outcome.ok = true;
  context.State().TableOutcomes.push_back(std::move(outcome));
  return true;
}

void RefillFolderTable(TRepairContext& context, std::int32_t n) {
  const TRefillControls controls(context.Run());
  TransferFolderRows(context, n);
  context.Table2.SetIndexName({});
}

}  // namespace remdo::repair
