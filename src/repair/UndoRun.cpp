// Finding the latest run and putting its tables back.
#include "repair/UndoRun.h"

#include <algorithm>
#include <optional>

#include "env/Dialogs.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "repair/RunKeeping.h"
#include "repair/UndoManifest.h"
#include "repair/UndoTables.h"

namespace remdo::repair {

namespace {

std::string TableList(const std::vector<std::string>& tables) {
  std::string list;
  for (const auto& table : tables) list += (list.empty() ? "" : ", ") + table;
  return list;
}

}  // namespace

std::optional<std::string> LatestRun(env::TFileSystem& fs, const std::string& rejected) {
  std::vector<std::string> runs;
  for (const auto& entry : fs.Find(rejected + "*", env::attr::kDirectory)) {
    if ((entry.attributes & env::attr::kDirectory) == 0) continue;
    if (entry.name.size() > kUndoneSuffix.size() &&
        env::SameText(entry.name.substr(entry.name.size() - kUndoneSuffix.size()), kUndoneSuffix)) {
      continue;
    }
    if (fs.FileExists(rejected + entry.name + env::SeparatorOf(rejected) + std::string(kManifestName))) {
      runs.push_back(entry.name);
    }
  }
  if (runs.empty()) return std::nullopt;
  return *std::max_element(runs.begin(), runs.end());
}

TUndoOutcome UndoLatestRun(TRunReporter& run, const std::string& dataFolder) {
  env::TFileSystem& fs = env::DefaultFileSystem();
  const char separator = env::SeparatorOf(dataFolder);
  const std::string rejected = dataFolder + "Rejected" + separator;
  TUndoOutcome outcome;
  const auto latest = LatestRun(fs, rejected);
  if (!latest) {
    run.LogLine("There is no repair run to undo.");
    return outcome;
  }
  outcome.run = *latest;
  const std::string runFolder = rejected + *latest;
  const std::string manifestPath = runFolder + separator + std::string(kManifestName);
  auto manifest = ReadManifest(fs, manifestPath);
  if (!manifest) {
    run.LogLine("The record of the run of " + *latest + " cannot be read; nothing was changed.");
    outcome.result = TUndoResult::kFailed;
    return outcome;
  }
  // A run that never reached its end wrote no after values: the files that
  // were not there at its start are its own.
  const bool ended = std::any_of(manifest->entries.begin(), manifest->entries.end(),
                                 [](const auto& item) { return item.second.after.has_value(); });
  if (!ended) {
    for (const auto& path : DataFolderFiles(fs, dataFolder)) {
      if (env::UpperCase(path).ends_with(env::UpperCase(kStagedSuffix))) continue;
      TManifestEntry& entry = manifest->entries[env::UpperCase(path)];
      if (entry.path.empty()) entry = {path, {}, true, std::nullopt, std::nullopt};
    }
  }
  // A file kept under its own path whose line a crash took: found by that
  // path, or beside its place when an undo cut short had moved it there.
  const std::string before =
      "Rejected" + std::string(1, separator) + *latest + separator + std::string(kBeforeFolder) + separator;
  for (auto& [key, entry] : manifest->entries) {
    if (!entry.keptAt.empty() || entry.created || !entry.before || entry.before->size < 0) continue;
    if (fs.FileExists(dataFolder + before + entry.path) ||
        fs.FileExists(dataFolder + entry.path + std::string(kStagedSuffix))) {
      entry.keptAt = before + entry.path;
    }
  }
  run.LogLine("Undoing the run of " + *latest);
  run.LogLine("");
  // A run that never ended left no after values: its manifest's time is
  // that of its last commit.
  const auto runEnd = ended ? std::nullopt : fs.ModifiedTime(manifestPath);
  TTableUndo undo(run, dataFolder, std::move(*manifest));
  if (const auto changed = undo.ChangedSince(runEnd); !changed.empty()) {
    const std::string tables = TableList(changed);
    if (!env::AskYesNo("These tables were changed after the run of " + *latest + ": " + tables +
                           ".\r\rUndoing the run loses those changes. Undo it all the same?",
                       "Undo")) {
      run.LogLine("Undo refused: " + tables + " changed after the run; nothing was changed.");
      outcome.result = TUndoResult::kRefused;
      return outcome;
    }
    run.LogLine("~    Later changes given up: " + tables);
  }
  TManifestWriter writer(fs, manifestPath);
  for (const auto& [group, entries] : undo.Groups()) {
    if (!run.KeepGoing()) break;
    if (!undo.Restore(group, entries, writer)) outcome.failed.push_back(group);
  }
  writer.Close();
  if (!outcome.failed.empty() || !run.KeepGoing()) {
    outcome.result = TUndoResult::kFailed;
    return outcome;
  }
  const auto renamed = fs.Rename(runFolder, runFolder + std::string(kUndoneSuffix), false);
  if (!renamed) run.LogLine("~    The folder " + runFolder + " could not be renamed: " + renamed.reason);
  outcome.result = TUndoResult::kDone;
  return outcome;
}

}  // namespace remdo::repair
