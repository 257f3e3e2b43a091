// Fuzz target for the table check: any bytes as the data file of the
// catalogue's Books table (seeded with generated ones) in a scratch data
// folder, checked as the run's sequence checks it: format check, rebuild
// into the scratch table, swap, pack. Errors allowed: the ones the check
// names (engine, read, open, create and write errors all share the
// program's base class); anything else, a crash or a sanitizer report is a
// finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "FuzzFolder.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "installation/DataFolder.h"
#include "paradox/components/Database.h"
#include "paradox/engine/Engine.h"
#include "repair/HeadlessRun.h"
#include "repair/RepairContext.h"
#include "repair/TableCheck.h"

namespace {

using remdo::fuzz::TFuzzFolder;

constexpr std::int32_t kBooksStructure = 31;
constexpr std::int32_t kBooksTolerance = 8;

// Never stopped by the window; the run log is kept but not read.
class TQuietRun final : public remdo::repair::THeadlessRun {
 public:
  bool KeepGoing() override { return true; }
};

// Every question is answered No, as on a console without a terminal.
class TNoDialogs final : public remdo::env::TDialogs {
 public:
  bool Show(const remdo::env::TMessageBox&) override { return false; }
};

struct TCheckSetting {
  TCheckSetting() {
    remdo::env::InstallDialogs(&dialogs);
    remdo::installation::SetDataFolder(TFuzzFolder::Path());
    (void)remdo::paradox::DbiInit(nullptr);
    database.SetDatabaseName(TFuzzFolder::Path());
    database.Open();
    context = std::make_unique<remdo::repair::TRepairContext>(run, database);
  }
  TNoDialogs dialogs;
  TQuietRun run;
  remdo::paradox::TDatabase database;
  std::unique_ptr<remdo::repair::TRepairContext> context;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TCheckSetting setting;
  TFuzzFolder::Clear();
  TFuzzFolder::Write("Books.db", std::span(reinterpret_cast<const std::byte*>(data), size));
  try {
    (void)remdo::repair::CheckTable(*setting.context, "Books", "Books", kBooksStructure, kBooksTolerance, false, false);
  } catch (const remdo::env::ERemdoError&) {
  }
  (void)remdo::paradox::TEngineSession::Instance().TakeWarnings();
  return 0;
}
