// Timed tool run: the check of one table of a data folder, as the table
// sequence runs it for the book table (structure 31, tolerance 8): format
// check, rebuild from the raw file, swap, pack when the folder asks for it.
// Prints the seconds the check took, the process's peak memory and the run
// log. scripts/bench-check runs it on a generated catalogue and compares it
// with copying the table's files.
//
//   CheckTableBench FOLDER [TABLE [STRUCTURE [TOLERANCE]]]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProcessFigures.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "installation/DataFolder.h"
#include "paradox/components/Database.h"
#include "paradox/engine/Engine.h"
#include "repair/HeadlessRun.h"
#include "repair/RepairContext.h"
#include "repair/TableCheck.h"

namespace remdo::repair {
namespace {

int Run(const std::string& folder, const std::string& table, int structure, int tolerance) {
  installation::SetDataFolder(folder);
  (void)paradox::DbiInit(nullptr);
  paradox::TDatabase database;
  database.SetDatabaseName(installation::GetDataFolder());
  database.Open();
  THeadlessRun run;
  run.state.Running = true;
  bool result = false;
  const auto start = std::chrono::steady_clock::now();
  {
    TRepairContext context(run, database);
    result = CheckTable(context, table, table, structure, tolerance, false, false);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  database.Close();
  (void)paradox::DbiExit();
  for (const auto& line : run.lines) std::fprintf(stderr, "%s\n", line.c_str());
  std::printf("seconds %.3f peak_kib %ld result %d\n", seconds, bench::PeakMemoryKiB(), result ? 1 : 0);
  return result ? 0 : 1;
}

}  // namespace
}  // namespace remdo::repair

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: CheckTableBench FOLDER [TABLE [STRUCTURE [TOLERANCE]]]\n");
    return 2;
  }
  const std::string table = argc > 2 ? argv[2] : "Books";
  const int structure = argc > 3 ? std::atoi(argv[3]) : 31;
  const int tolerance = argc > 4 ? std::atoi(argv[4]) : 8;
  return remdo::repair::Run(remdo::env::IncludeTrailingSeparator(argv[1]), table, structure, tolerance);
}
