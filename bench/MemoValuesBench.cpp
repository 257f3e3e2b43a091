// Memo values written one after another cost the same however large the memo
// file has grown: N values stored into a new memo file through the editor a
// table uses, as the copy tool, the merge of saved records and every post
// write them; Google Benchmark fits the complexity (O(N) expected). The
// values' lengths follow the catalogue's memos: most of 20 to 1,200 bytes
// (shared blocks), one in twenty-five of 2,100 to 6,000 (blocks of their own).
//
// StoreValuesUserTime fits the same work on its user-mode CPU time alone: the
// kernel's cost of taking a value's bytes into the page cache grows per byte
// once the file passes a few hundred megabytes on some machines, which is
// the OS's and not the editor's.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "ProcessFigures.h"
#include "env/FileSystem.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoFileEditor.h"

namespace remdo::paradox {
namespace {

std::vector<std::vector<std::byte>> Values(std::size_t count) {
  std::mt19937 random(1);
  std::vector<std::vector<std::byte>> values;
  values.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const bool large = random() % 25 == 0;
    const std::size_t length = large ? 2100 + random() % 3901 : 20 + random() % 1181;
    values.emplace_back(length, static_cast<std::byte>('a' + i % 26));
  }
  return values;
}

void Store(benchmark::State& state, bool userTime) {
  env::TFileSystem& fs = env::RealFileSystem();
  const std::string path = fs.TempFolder() + "remdo-memo-bench.MB";
  const auto values = Values(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    (void)fs.Remove(path);
    CreateEmptyMemoFile(fs, path);
    state.ResumeTiming();
    const double start = bench::UserSeconds();
    TMemoFileEditor editor(fs, path);
    for (const auto& value : values) benchmark::DoNotOptimize(editor.Store(TBlobKind::kMemo, value, 1));
    editor.Close();
    if (userTime) state.SetIterationTime(bench::UserSeconds() - start);
  }
  (void)fs.Remove(path);
  state.SetComplexityN(state.range(0));
  state.counters["values/s"] =
      benchmark::Counter(static_cast<double>(values.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void StoreValues(benchmark::State& state) { Store(state, false); }
void StoreValuesUserTime(benchmark::State& state) { Store(state, true); }

// N from 25k to 1M values, fitted to O(N).
void Sizes(benchmark::internal::Benchmark* b) {
  for (const int n : {25000, 50000, 100000, 200000, 500000, 1000000}) b->Arg(n);
  b->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

BENCHMARK(StoreValues)->Apply(Sizes);
BENCHMARK(StoreValuesUserTime)->Apply(Sizes)->UseManualTime();

}  // namespace
}  // namespace remdo::paradox

BENCHMARK_MAIN();
