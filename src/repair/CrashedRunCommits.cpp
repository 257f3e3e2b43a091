// Settling a crashed run's commits through a keeping file system.
#include "repair/CrashedRunCommits.h"

#include <algorithm>
#include <optional>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "paradox/family/FamilyCommit.h"
#include "repair/KeepingFileSystem.h"
#include "repair/UndoManifest.h"
#include "repair/UndoRun.h"

namespace remdo::repair {

namespace {

bool SameContentStamp(const TFileState& a, const TFileState& b) { return a.size == b.size && a.time == b.time; }

bool AnyMarker(env::TFileSystem& fs, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    return !fs.Find(folder + "*" + std::string(paradox::kMarkerExtension), 0).empty();
  });
}

// The aside files that still hold a file's content of the run's start and
// that the run has not kept yet: aside path and the original's path.
std::vector<std::pair<std::string, std::string>> AsideOriginals(env::TFileSystem& fs, const std::string& dataFolder,
                                                                const std::string& before, const TManifest& manifest) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& [key, entry] : manifest.entries) {
    if (entry.created || !entry.before || entry.before->size < 0) continue;
    // A kept line is written before its file moves: the crash may have
    // come between the two.
    const std::string keptAt = entry.keptAt.empty() ? before + entry.path : entry.keptAt;
    const std::string aside = entry.path + std::string(paradox::kAsideSuffix);
    if (fs.FileExists(dataFolder + keptAt) || !fs.FileExists(dataFolder + aside)) continue;
    if (SameContentStamp(StateOf(fs, dataFolder + aside), *entry.before)) found.emplace_back(aside, entry.path);
  }
  return found;
}

}  // namespace

std::vector<std::string> SettleCrashedRunCommits(const std::string& dataFolder,
                                                 const std::vector<std::string>& folders) {
  env::TFileSystem& fs = env::DefaultFileSystem();
  std::vector<std::string> lines;
  if (!AnyMarker(fs, folders)) return lines;
  const char separator = env::SeparatorOf(dataFolder);
  const std::string rejected = "Rejected" + std::string(1, separator);
  const auto latest = LatestRun(fs, dataFolder + rejected);
  if (!latest) return lines;
  const std::string runFolder = rejected + *latest + separator;
  const std::string manifestPath = dataFolder + runFolder + std::string(kManifestName);
  const auto manifest = ReadManifest(fs, manifestPath);
  const bool ended = manifest && std::any_of(manifest->entries.begin(), manifest->entries.end(),
                                             [](const auto& item) { return item.second.after.has_value(); });
  if (!manifest || ended) return lines;
  const auto originals =
      AsideOriginals(fs, dataFolder, runFolder + std::string(kBeforeFolder) + separator, *manifest);
  if (originals.empty()) return lines;
  // The manifest's time marks the run's last commit (see UndoRun.cpp); this
  // settlement is no part of the run.
  const auto manifestTime = fs.ModifiedTime(manifestPath);
  try {
    TManifestWriter writer(fs, manifestPath);
    TKeepingFileSystem keeping(fs, dataFolder, runFolder, writer, {});
    for (const auto& [aside, original] : originals) keeping.HoldsOriginal(aside, original);
    std::vector<std::string> warnings;  // the engine's connection reports them
    for (const auto& folder : folders) {
      for (const auto& entry : fs.Find(folder + "*" + std::string(paradox::kMarkerExtension), 0)) {
        const std::string table = entry.name.substr(0, entry.name.size() - paradox::kMarkerExtension.size());
        (void)paradox::SettleFamilyCommit(keeping, folder, table, warnings);
      }
    }
    writer.Flush();
    writer.Close();
  } catch (const env::ERemdoError& error) {
    lines.push_back("    The files of a commit cut short could not all be kept for an undo: " +
                    std::string(error.what()));
  }
  if (manifestTime) (void)fs.SetModifiedTime(manifestPath, *manifestTime);
  for (const auto& [aside, original] : originals) {
    if (fs.FileExists(dataFolder + runFolder + std::string(kBeforeFolder) + separator + original)) {
      lines.push_back("    Kept the old " + original + " of a commit cut short by a crash, for an undo of the run of " +
                      *latest);
    }
  }
  return lines;
}

}  // namespace remdo::repair
