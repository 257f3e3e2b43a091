// Putting back one table of a run's manifest.
#include "repair/UndoTables.h"

#include <algorithm>

#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/FamilyCommit.h"
#include "repair/UndoRun.h"

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

}  // namespace

TTableUndo::TTableUndo(TRunReporter& run, const std::string& dataFolder, TManifest manifest)
    : run_(run), fs_(env::DefaultFileSystem()), dataFolder_(dataFolder), manifest_(std::move(manifest)) {
  for (const auto& [key, entry] : manifest_.entries) {
    if (manifest_.undone.count(env::UpperCase(GroupOf(entry.path))) == 0) groups_[GroupOf(entry.path)].push_back(entry);
  }
}

std::string TTableUndo::PathOf(const TManifestEntry& entry) const {
  return IsOutside(entry.path) ? entry.path : dataFolder_ + entry.path;
}

std::vector<std::string> TTableUndo::ChangedSince(std::optional<std::int64_t> runEnd) const {
  std::vector<std::string> changed;
  for (const auto& [group, entries] : groups_) {
    // A file as it was before the run was put back by an undo cut short.
    const bool any = std::any_of(entries.begin(), entries.end(), [&](const TManifestEntry& entry) {
      const TFileState now = StateOf(fs_, PathOf(entry));
      if (SameContentStamp(now, entry.before.value_or(TFileState{}))) return false;
      if (entry.after) return !SameContentStamp(now, *entry.after);
      return runEnd && entry.before && entry.before->size >= 0 && now.size >= 0 && now.time > *runEnd;
    });
    if (any) changed.push_back(group);
  }
  return changed;
}

// The family commit puts the kept files in and takes the created ones out
// all or nothing; a kept file waits beside its place under its staged name.
void TTableUndo::RestoreCommitted(const std::string& group, const std::vector<TManifestEntry>& entries) {
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
void TTableUndo::RestorePlainly(const std::vector<TManifestEntry>& entries) {
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

void TTableUndo::RestoreStates(const std::vector<TManifestEntry>& entries) {
  for (const auto& entry : entries) {
    if (!entry.before || entry.before->size < 0) continue;
    const std::string path = PathOf(entry);
    const TFileState now = StateOf(fs_, path);
    if (now.size < 0) continue;
    if (now.time != entry.before->time) (void)fs_.SetModifiedTime(path, entry.before->time);
    if (now.attributes != entry.before->attributes) (void)fs_.SetAttributes(path, entry.before->attributes);
  }
}

bool TTableUndo::Restore(const std::string& group, const std::vector<TManifestEntry>& entries,
                         TManifestWriter& writer) {
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

}  // namespace remdo::repair
