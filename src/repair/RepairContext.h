// What the repair steps work with besides the run reporter: the engine
// connection on the data folder and the table components the steps open
// (Table1, Table2, ExpTitleTbl, SaveExpTitleTbl). The progress window owns
// one context for the life of the process, beside its connection; a step
// opens a component, and closes it before it returns, also on failure.
//
// The context also names the run's folder of rejected records,
// "Rejected\YYYYMMDD-HHMMSS\" inside the data folder, from the run's start
// (local time). The folder is made only when something is put into it.
#ifndef REMDO_REPAIR_REPAIRCONTEXT_H_
#define REMDO_REPAIR_REPAIRCONTEXT_H_

#include <cstdint>
#include <string>

#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "repair/RunReporter.h"
#include "repair/RunState.h"

namespace remdo::repair {

class TRepairContext {
 public:
  // Both must outlive the context; database is the run's connection on the
  // data folder (connected by the run before any step).
  TRepairContext(TRunReporter& run, paradox::TDatabase& database) : run_(run), database_(database) {}
  TRepairContext(const TRepairContext&) = delete;
  TRepairContext& operator=(const TRepairContext&) = delete;

  TRunReporter& Run() const { return run_; }
  TRunState& State() const { return run_.State(); }
  paradox::TDatabase& Database() const { return database_; }
  // The data folder with its trailing separator (empty when none was found).
  static std::string DataFolder();

  // The run's folder of rejected records relative to the data folder, with
  // a trailing separator in the data folder's style ("Rejected\20240131-
  // 154502\"). The name is fixed on first use from the run's start time
  // (the time of that first use when the run has none).
  const std::string& RejectedFolderName();

  // The table components of the progress window.
  paradox::TTable Table1;
  paradox::TTable Table2;
  paradox::TTable ExpTitleTbl;
  paradox::TTable SaveExpTitleTbl;

 private:
  TRunReporter& run_;
  paradox::TDatabase& database_;
  std::string rejectedFolderName_;
};

// "YYYYMMDD-HHMMSS" of a time (seconds since 1970-01-01 UTC) in local time.
std::string RunStampText(std::int64_t unixSeconds);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_REPAIRCONTEXT_H_
