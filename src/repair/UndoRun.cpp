// Putting a run's tables back.
#include "repair/UndoRun.h"

#include <algorithm>
#include <map>
#include <optional>

#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/FamilyCommit.h"
#include "repair/RunKeeping.h"
#include "repair/UndoManifest.h"

namespace remdo::repair {

namespace {

constexpr std::string_view kSettingsGroup = "settings";

bool IsOutside(const std::string& path) {
  return path.find(':') != std::string::npos || (!path.empty() && env::IsPathSeparator(path[0]));
}

// A table's family: its folder below the data folder and its base name
// ("Save\Books"); the settings files outside the data folder are one group.
std::string GroupOf(const std::string& path) {
  if (IsOutside(path)) return std::string(kSettingsGroup);
  const std::string_view name = env::NamePart(path);
  return std::string(env::FolderPart(path)) + std::string(name.substr(0, name.find('.')));
}

bool SameContentStamp(const TFileState& a, const TFileState& b) { return a.size == b.size && a.time == b.time; }

// The latest run folder with a manifest that is not undone yet.
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

class TUndo {
 public:
  TUndo(TRunReporter& run, const std::string& dataFolder, TManifest manifest)
      : run_(run), fs_(env::DefaultFileSystem()), dataFolder_(dataFolder), manifest_(std::move(manifest)) {
    for (const auto& [key, entry] : manifest_.entries) {
      if (manifest_.undone.count(env::UpperCase(GroupOf(entry.path))) == 0)
        groups_[GroupOf(entry.path)].push_back(entry);
    }
  }
  // The tables whose files changed after the run.
  std::vector<std::string> ChangedSince() const;
  // Puts one table back; false (with a log line) when it could not be.
  bool Restore(const std::string& group, const std::vector<TManifestEntry>& entries, TManifestWriter& writer);
  const std::map<std::string, std::vector<TManifestEntry>>& Groups() const { return groups_; }

 private:
  std::string PathOf(const TManifestEntry& entry) const {
    return IsOutside(entry.path) ? entry.path : dataFolder_ + entry.path;
  }
  void RestoreCommitted(const std::string& group, const std::vector<TManifestEntry>& entries);
  void RestorePlainly(const std::vector<TManifestEntry>& entries);
  void RestoreStates(const std::vector<TManifestEntry>& entries);

  TRunReporter& run_;
  env::TFileSystem& fs_;
  const std::string dataFolder_;
  TManifest manifest_;
  std::map<std::string, std::vector<TManifestEntry>> groups_;
};

std::vector<std::string> TUndo::ChangedSince() const {
  std::vector<std::string> changed;
  for (const auto& [group, entries] : groups_) {
    // A file as it was before the run was put back by an undo cut short.
    const bool any = std::any_of(entries.begin(), entries.end(), [&](const TManifestEntry& entry) {
      if (!entry.after) return false;
      const TFileState now = StateOf(fs_, PathOf(entry));
      return !SameContentStamp(now, *entry.after) && !SameContentStamp(now, entry.before.value_or(TFileState{}));
    });
    if (any) changed.push_back(group);
  }
  return changed;
}

// The family commit puts the kept files in and takes the created ones out
// all or nothing; a kept file waits beside its place under its staged name.
void TUndo::RestoreCommitted(const std::string& group, const std::vector<TManifestEntry>& entries) {
  const std::string folder = dataFolder_ + std::string(env::FolderPart(entries.front().path));
  paradox::TFamilyCommit commit(fs_, folder, std::string(env::NamePart(group)));
  for (const auto& entry : entries) {
    const std::string name(env::NamePart(entry.path));
    const std::string staged = name + std::string(kStagedSuffix);
    if (!entry.keptAt.empty()) {
      const std::string kept = dataFolder_ + entry.keptAt;
      if (fs_.FileExists(kept)) {
        const auto moved = fs_.Rename(kept, folder + staged, true);
        if (!moved) throw env::EWriteError("Cannot move " + kept + " back. " + moved.reason);
      }
      if (fs_.FileExists(folder + staged)) {
        commit.Adopt(staged, name);
      } else if (!entry.before || !SameContentStamp(StateOf(fs_, folder + name), *entry.before)) {
        throw env::EReadError("The kept copy of " + entry.path + " is missing.");
      }
    } else if (entry.created) {
      commit.Remove(name);
    }
  }
  commit.Commit();
}

// Files no family commit can name (a name without extension) and the
// settings files outside the data folder, one by one.
void TUndo::RestorePlainly(const std::vector<TManifestEntry>& entries) {
  for (const auto& entry : entries) {
    const std::string path = PathOf(entry);
    if (!entry.keptAt.empty() && fs_.FileExists(dataFolder_ + entry.keptAt)) {
      if (IsOutside(entry.path)) {
        env::CopyWholeFile(fs_, dataFolder_ + entry.keptAt, path);
      } else if (const auto moved = fs_.Rename(dataFolder_ + entry.keptAt, path, true); !moved) {
        throw env::EWriteError("Cannot move " + entry.keptAt + " back. " + moved.reason);
      }
    } else if (entry.created && fs_.FileExists(path)) {
      if (const auto removed = fs_.Remove(path); !removed) {
        throw env::EWriteError("Cannot delete " + path + ". " + removed.reason);
      }
    }
  }
}

void TUndo::RestoreStates(const std::vector<TManifestEntry>& entries) {
  for (const auto& entry : entries) {
    if (!entry.before || entry.before->size < 0) continue;
    const std::string path = PathOf(entry);
    const TFileState now = StateOf(fs_, path);
    if (now.size < 0) continue;
    if (now.time != entry.before->time) (void)fs_.SetModifiedTime(path, entry.before->time);
    if (now.attributes != entry.before->attributes) (void)fs_.SetAttributes(path, entry.before->attributes);
  }
}

bool TUndo::Restore(const std::string& group, const std::vector<TManifestEntry>& entries, TManifestWriter& writer) {
  const bool plain = group == kSettingsGroup || std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
                       return env::NamePart(entry.path).find('.') == std::string_view::npos;
                     });
  try {
    if (plain) {
      RestorePlainly(entries);
    } else {
      RestoreCommitted(group, entries);
    }
    RestoreStates(entries);
    writer.Undone(group);
  } catch (const env::ERemdoError& error) {
    run_.LogLine("  -- " + group + " could not be put back: " + std::string(error.what()));
    return false;
  }
  run_.LogLine("    " + group + " put back");
  return true;
}

std::string TableList(const std::vector<std::string>& tables) {
  std::string list;
  for (const auto& table : tables) list += (list.empty() ? "" : ", ") + table;
  return list;
}

}  // namespace

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
  run.LogLine("Undoing the run of " + *latest);
  run.LogLine("");
  TUndo undo(run, dataFolder, std::move(*manifest));
  if (const auto changed = undo.ChangedSince(); !changed.empty()) {
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
