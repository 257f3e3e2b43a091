// Timed tool run: the index and memo check of the verify report over every
// table of a data folder. Prints each table's seconds and finding lines, the
// whole time and the process's peak memory; a 100,000-book catalogue should
// take seconds.
//
//   IndexMemoAuditBench FOLDER
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ProcessFigures.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "repair/verify/IndexMemoAudit.h"

namespace remdo::repair {
namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Run(const std::string& folder) {
  env::TFileSystem& fileSystem = env::RealFileSystem();
  const auto start = std::chrono::steady_clock::now();
  for (const auto& entry : fileSystem.Find(folder + "*.db", 0)) {
    const auto tableStart = std::chrono::steady_clock::now();
    const TIndexMemoAudit audit = AuditIndexesAndMemo(fileSystem, folder + entry.name);
    std::printf("%-16s %8.3f s  %zu findings\n", entry.name.c_str(), SecondsSince(tableStart), audit.findings.size());
    for (const auto& line : FindingLines(audit.findings)) std::fprintf(stderr, "%s\n", line.c_str());
  }
  std::printf("seconds %.3f peak_kib %ld\n", SecondsSince(start), bench::PeakMemoryKiB());
  return 0;
}

}  // namespace
}  // namespace remdo::repair

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: IndexMemoAuditBench FOLDER\n");
    return 2;
  }
  return remdo::repair::Run(remdo::env::IncludeTrailingSeparator(argv[1]));
}
