// Packing a table through the engine's restructure with the pack option:
// the tables with memo files when the user asks for it ("packmemo.ini" or
// the run option PACKMEMO), every table with the run option PACK, and the
// memo variant of the book table always. The window shows the wait panel
// while the engine works, since one engine call cannot report progress.
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/DbiCalls.h"
#include "repair/MemoSalvage.h"
#include "repair/StepTable.h"
#include "repair/TableCheck.h"

namespace remdo::repair {

namespace {

constexpr std::int32_t kAlwaysPackedStructure = 42;
constexpr std::int32_t kMemoStructures[] = {1, 2, 3, 15, 25, 31, 34};

// The window during a pack: nothing to cancel or change, the wait panel in
// place of the progress bar. Put back when the pack ends, however it ends.
class TPackingWindow {
 public:
  TPackingWindow(TRunReporter& run, const std::string& tableName) : run_(run) {
    run_.SetProgress(0);
    run_.ShowWaitPanel(true);
    run_.SetCancelEnabled(false);
    run_.SetChoiceEnabled(TChoice::kClipboard, false);
    run_.SetChoiceEnabled(TChoice::kAutoClose, false);
    run_.SetChoiceEnabled(TChoice::kTurnOffOnlineOptions, false);
    run_.SetMessage("Packing table \"" + tableName + "\"...");
  }
  ~TPackingWindow() {
    run_.SetMessage("");
    run_.ShowWaitPanel(false);
    run_.SetBusyCursor(false);
    if (run_.KeepGoing()) run_.SetCancelEnabled(true);
    run_.SetChoiceEnabled(TChoice::kClipboard, true);
    run_.SetChoiceEnabled(TChoice::kAutoClose, true);
  }
  TPackingWindow(const TPackingWindow&) = delete;
  TPackingWindow& operator=(const TPackingWindow&) = delete;

 private:
  TRunReporter& run_;
};

}  // namespace

bool TTableCheck::PackWanted() const {
  const std::int32_t structure = request_.StructureNumber;
  if (structure == kAlwaysPackedStructure) return true;
  if (!Reporter().RunOption("PACKMEMO") && !env::DefaultFileSystem().FileExists(DataPath("packmemo.ini"))) {
    return false;
  }
  for (const std::int32_t memo : kMemoStructures) {
    if (structure == memo) return true;
  }
  return false;
}

bool TTableCheck::PackTable() {
  TRunReporter& run = Reporter();
  if (run.RunOption("NOPACK") || run.RunOption("INSTALLING") || run.RunOption("INST")) return true;
  if (!run.RunOption("PACK") && !PackWanted()) return true;
  run.SetBusyCursor(true);
  if (!run.KeepGoing()) {
    run.SetBusyCursor(false);
    return false;
  }
  TPackingWindow window(run, request_.TableName);
  // The pack copies the values its memo reader can read and cuts the rest
  // to their leader; those records are named, never passed over.
  const std::vector<std::string> cut =
      ValuesAPackWouldCut(DataPath(request_.TableName + ".db"), DataPath(request_.TableName + ".mb"));
  paradox::TCrTblDesc desc;
  paradox::TDbHandle database = nullptr;
  {
    TStepTable table(context_.Table1, TRepairContext::DataFolder(), request_.TableName);
    paradox::TCursorProps props;
    paradox::CheckEngineResult(paradox::DbiGetCursorProps(table->Handle(), props), "Packing " + request_.TableName);
    desc.tableName = table->TableName();
    desc.tableType = props.tableType;
    desc.pack = true;
    paradox::CheckEngineResult(paradox::DbiGetObjFromObj(table->Handle(), paradox::TDbiObjType::kDatabase, database),
                               "Packing " + request_.TableName);
    table.Close();
  }
  const std::uint16_t code = paradox::DbiDoRestructure(database, 1, &desc, {}, {}, {}, false);
  if (code != 0) {
    run.LogLine("  -- error while packing table " + request_.TableName + " (" + paradox::EngineErrorName(code) + ")");
  } else {
    run.LogLine("  -- table packed.");
    LogCutRecords(run, cut, "the pack cut ");
  }
  return code == 0;
}

}  // namespace remdo::repair
