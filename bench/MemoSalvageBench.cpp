// The salvage of a damaged memo file against a plain copy of the same table:
// the memo inventory, the linking of every record's reference and the new
// memo file written with every value found (SalvageMemoFile, as the repair
// runs it on its rebuilt table), beside `remdo-table copy`, which writes the
// table and every memo value anew through the engine. The goal is a salvage
// within 1.5 times the copy. The memo file is the table's with one 4 KiB
// unit in its middle zeroed, so that the salvage has a finding and writes.
//
//   MemoSalvageBench FOLDER [benchmark flags]
//       both, timed by Google Benchmark (FOLDER holds Books.db, .px, .mb)
//   MemoSalvageBench --once FOLDER
//       one salvage, printing "seconds S peak_kib K" (its peak memory
//       against /usr/bin/time's of a remdo-table copy)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessFigures.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "remdo-table/RemdoTable.h"
#include "repair/MemoSalvage.h"

namespace remdo::repair {
namespace {

constexpr std::uint64_t kUnit = 4096;

struct TBenchFiles {
  std::string folder;  // the generated table's, with a trailing separator
  std::string work;    // the bench's own files
};

TBenchFiles& Files() {
  static TBenchFiles files;
  return files;
}

void Remove(const std::string& path) { (void)env::RealFileSystem().Remove(path); }

// The table's memo file with the unit in its middle zeroed, once.
void MakeDamagedMemo() {
  env::TFileSystem& fs = env::RealFileSystem();
  const std::string damaged = Files().work + "Damaged.mb";
  env::CopyWholeFile(fs, Files().folder + "Books.mb", damaged);
  auto file = fs.Open(damaged, env::TOpenMode::kReadWrite);
  const std::uint64_t units = file->Size() / kUnit;
  file->WriteAt(units / 2 * kUnit, std::vector<std::byte>(kUnit));
  file->Close();
}

// The scratch table the salvage rewrites in place: a fresh copy each time.
void PrepareSalvage() {
  const std::string& work = Files().work;
  for (const char* name : {"Scratch.db", "Scratch.mb", "Books_memo.db", "Books_memo.mb", "Books_memo.csv"}) {
    Remove(work + name);
  }
  env::CopyWholeFile(env::RealFileSystem(), Files().folder + "Books.db", work + "Scratch.db");
}

TMemoSalvage Salvage() {
  const std::string& work = Files().work;
  TMemoSalvageRequest request{work + "Scratch.db", work + "Damaged.mb", work + "Scratch.mb", 1252, "DBWINUS0", {}};
  request.unlinkedPath = [&] { return work + "Books_memo"; };
  return SalvageMemoFile(request);
}

void SalvageMemo(benchmark::State& state) {
  TMemoSalvage last;
  for (auto _ : state) {
    state.PauseTiming();
    PrepareSalvage();
    state.ResumeTiming();
    last = Salvage();
  }
  state.counters["values"] = static_cast<double>(last.intact + last.relinked);
  state.counters["cut"] = static_cast<double>(last.cut);
}

void CopyTable(benchmark::State& state) {
  const std::string out = Files().work + "Copy" + env::SeparatorOf(Files().work);
  for (auto _ : state) {
    state.PauseTiming();
    for (const auto& entry : env::RealFileSystem().Find(out + "*", env::attr::kAnyFile)) Remove(out + entry.name);
    state.ResumeTiming();
    std::ostringstream said;
    if (tools::RunRemdoTable({"copy", Files().folder + "Books.db", out + "Books.db"}, said, said) != 0) {
      state.SkipWithError(said.str().c_str());
    }
  }
}

BENCHMARK(SalvageMemo)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(CopyTable)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace
}  // namespace remdo::repair

int main(int argc, char** argv) {
  using remdo::repair::Files;
  benchmark::Initialize(&argc, argv);
  const bool once = argc == 3 && std::string(argv[1]) == "--once";
  if (argc != 2 && !once) {
    std::fprintf(stderr, "usage: MemoSalvageBench [--once] FOLDER [benchmark flags]\n");
    return 2;
  }
  remdo::env::TFileSystem& fs = remdo::env::RealFileSystem();
  Files().folder = remdo::env::IncludeTrailingSeparator(argv[argc - 1]);
  Files().work = fs.TempFolder() + "remdo-salvage-bench" + remdo::env::SeparatorOf(fs.TempFolder());
  (void)fs.MakeFolder(Files().work);
  (void)fs.MakeFolder(Files().work + "Copy");
  remdo::repair::MakeDamagedMemo();
  if (once) {
    remdo::repair::PrepareSalvage();
    const auto start = std::chrono::steady_clock::now();
    const auto salvage = remdo::repair::Salvage();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seconds %.3f peak_kib %ld values %zu cut %zu\n", seconds, remdo::bench::PeakMemoryKiB(),
                salvage.intact + salvage.relinked, salvage.cut);
    return 0;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
