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

#include <algorithm>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "ProcessFigures.h"
#include "env/FileSystem.h"
#include "paradox/memo/MemoFileBuilder.h"
#include "paradox/memo/MemoFileEditor.h"

namespace remdo::paradox {
namespace {

// The values' bytes are views into one small pool (a 6,000-byte run of each
// letter), so that reading them costs the same at every N: a million values
// held apart would take 750 MB, and the benchmark would time its own input
// leaving the processor's cache rather than the editor.
struct TValues {
  std::vector<std::byte> pool;
  std::vector<std::span<const std::byte>> values;
};

TValues Values(std::size_t count) {
  constexpr std::size_t kLongest = 6000;
  TValues result;
  result.pool.resize(26 * kLongest);
  for (std::size_t letter = 0; letter < 26; ++letter) {
    std::fill_n(result.pool.begin() + static_cast<std::ptrdiff_t>(letter * kLongest), kLongest,
                static_cast<std::byte>('a' + letter));
  }
  std::mt19937 random(1);
  result.values.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const bool large = random() % 25 == 0;
    const std::size_t length = large ? 2100 + random() % 3901 : 20 + random() % 1181;
    result.values.emplace_back(result.pool.data() + i % 26 * kLongest, length);
  }
  return result;
}

std::string BenchFile() { return env::RealFileSystem().TempFolder() + "remdo-memo-bench.MB"; }

void CreateBenchFile() {
  env::TFileSystem& fs = env::RealFileSystem();
  (void)fs.Remove(BenchFile());
  CreateEmptyMemoFile(fs, BenchFile());
}

// Stores every value, one after another, into the bench file.
void StoreInto(const TValues& input) {
  TMemoFileEditor editor(env::RealFileSystem(), BenchFile());
  for (const auto& value : input.values) benchmark::DoNotOptimize(editor.Store(TBlobKind::kMemo, value, 1));
  editor.Close();
}

void Store(benchmark::State& state, bool userTime) {
  const TValues input = Values(static_cast<std::size_t>(state.range(0)));
  // One untimed round first: the timed ones then find the page cache in the
  // state they leave it, whatever N the benchmark before them wrote.
  CreateBenchFile();
  StoreInto(input);
  for (auto _ : state) {
    state.PauseTiming();
    CreateBenchFile();
    state.ResumeTiming();
    const double start = bench::UserSeconds();
    StoreInto(input);
    if (userTime) state.SetIterationTime(bench::UserSeconds() - start);
  }
  (void)env::RealFileSystem().Remove(BenchFile());
  state.SetComplexityN(state.range(0));
  state.counters["values/s"] =
      benchmark::Counter(static_cast<double>(input.values.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void StoreValues(benchmark::State& state) { Store(state, false); }
void StoreValuesUserTime(benchmark::State& state) { Store(state, true); }

constexpr int kLargestN = 1000000;

// N from 25k to 1M values, fitted to O(N).
void Sizes(benchmark::internal::Benchmark* b) {
  for (const int n : {25000, 50000, 100000, 200000, 500000, kLargestN}) b->Arg(n);
  b->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

BENCHMARK(StoreValues)->Apply(Sizes);
BENCHMARK(StoreValuesUserTime)->Apply(Sizes)->UseManualTime();

}  // namespace
}  // namespace remdo::paradox

// The largest round is stored once before any is timed. On a virtual
// machine the first use of memory the host has taken back costs far more
// than its reuse, and without it the first benchmark's large N would pay
// for the page cache the later ones find ready.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  remdo::paradox::CreateBenchFile();
  remdo::paradox::StoreInto(remdo::paradox::Values(remdo::paradox::kLargestN));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  (void)remdo::env::RealFileSystem().Remove(remdo::paradox::BenchFile());
  return 0;
}
