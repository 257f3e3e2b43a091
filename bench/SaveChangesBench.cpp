// Saving changes after every appended record stays linear: appending N
// records to a Genre-like table and saving after each one costs in
// proportion to N (Google Benchmark fits the complexity). The genre
// recovery of the repair works this way.
#include <benchmark/benchmark.h>

#include <string>

#include "env/FileSystem.h"
#include "env/Path.h"
#include "paradox/components/Database.h"
#include "paradox/components/Table.h"
#include "paradox/engine/DbiCalls.h"

namespace remdo::paradox {
namespace {

std::string ScratchFolder() {
  env::TFileSystem& fs = env::RealFileSystem();
  const std::string folder = fs.TempFolder() + "remdo-save-bench/";
  for (const auto& entry : fs.Find(folder + "*", 0)) (void)fs.Remove(folder + entry.name);
  (void)fs.MakeFolder(folder);
  return folder;
}

TCrTblDesc GenreDesc() {
  TCrTblDesc desc;
  desc.tableName = "Genre.db";
  desc.tableType = "PARADOX";
  const char* names[] = {"Book", "Token", "Prop"};
  const std::uint16_t types[] = {267, 261, 261};
  for (int i = 0; i < 3; ++i) {
    TFldDesc field;
    field.number = static_cast<std::uint16_t>(i + 1);
    field.name = names[i];
    field.type = types[i];
    desc.fields.push_back(field);
  }
  TIdxDesc primary;
  primary.primary = primary.unique = primary.maintained = true;
  primary.keyFields = {1, 2};
  desc.indexes.push_back(primary);
  return desc;
}

void AppendAndSaveEach(benchmark::State& state) {
  const std::string folder = ScratchFolder();
  (void)DbiInit(nullptr);
  const auto records = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TDatabase database;
    database.SetDatabaseName(folder);
    database.Open();
    if (DbiCreateTable(database.Handle(), true, GenreDesc()) != 0) state.SkipWithError("create failed");
    TTable table;
    table.SetDatabaseName(folder);
    table.SetTableName("Genre");
    table.Open();
    state.ResumeTiming();
    for (int i = 0; i < records; ++i) {
      table.AppendRecord({i / 8 + 1, i % 8 + 1, 0});
      if (DbiSaveChanges(table.Handle()) != 0) state.SkipWithError("save failed");
    }
    table.Close();
  }
  state.SetComplexityN(records);
  state.counters["saves/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(AppendAndSaveEach)->RangeMultiplier(2)->Range(12500, 100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
}  // namespace remdo::paradox

BENCHMARK_MAIN();
