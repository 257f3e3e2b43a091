// The start and end of keeping a run's old files.
#include "repair/RunKeeping.h"

#include <algorithm>
#include <cstdint>

#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "env/Text.h"

namespace remdo::repair {

namespace {

constexpr std::uint32_t kEverything = env::attr::kAnyFile | env::attr::kDirectory;

void ListBelow(env::TFileSystem& fileSystem, const std::string& folder, const std::string& below,
               std::vector<std::string>& files) {
  const char separator = env::SeparatorOf(folder);
  for (const auto& entry : fileSystem.Find(folder + below + "*", kEverything)) {
    const std::string path = below + entry.name;
    const std::string upper = env::UpperCase(path);
    if ((entry.attributes & env::attr::kDirectory) != 0) {
      if (upper != "REJECTED") ListBelow(fileSystem, folder, path + separator, files);
    } else if (upper != "REMDO.LOG" && upper != "REMDLOGS.TXT") {
      files.push_back(path);
    }
  }
}

}  // namespace

std::vector<std::string> DataFolderFiles(env::TFileSystem& fileSystem, const std::string& folder) {
  std::vector<std::string> files;
  ListBelow(fileSystem, folder, "", files);
  return files;
}

TRunKeeping::TRunKeeping(TRunReporter& run, std::string dataFolder, std::string runFolder)
    : run_(run), dataFolder_(std::move(dataFolder)), runFolder_(std::move(runFolder)), base_(env::DefaultFileSystem()) {
  try {
    PruneEarlierRuns();
    Start();
  } catch (const env::ERemdoError& error) {
    keeping_.reset();
    manifest_.reset();
    run_.LogLine("~This run cannot be undone: " + std::string(error.what()));
  }
}

TRunKeeping::~TRunKeeping() { Uninstall(); }

// The Before\ folders of all but the latest runs go, with their manifests
// (an undo needs both); the rest of each run's folder stays.
void TRunKeeping::PruneEarlierRuns() {
  const std::string rejected = dataFolder_ + "Rejected" + env::SeparatorOf(dataFolder_);
  std::vector<std::string> runs;
  for (const auto& entry : base_.Find(rejected + "*", env::attr::kDirectory)) {
    if ((entry.attributes & env::attr::kDirectory) == 0) continue;
    if (base_.FolderExists(rejected + entry.name + env::SeparatorOf(rejected) + std::string(kBeforeFolder))) {
      runs.push_back(entry.name);
    }
  }
  std::sort(runs.begin(), runs.end());
  if (runs.size() <= kKeptEarlierRuns) return;
  runs.resize(runs.size() - kKeptEarlierRuns);
  for (const auto& name : runs) {
    const std::string folder = rejected + name + env::SeparatorOf(rejected);
    (void)base_.Remove(folder + std::string(kManifestName));
    const bool removed = RemoveFolderTree(base_, folder + std::string(kBeforeFolder));
    run_.LogLine("~    Deleted the files kept for an undo of the run of " + name +
                 (removed ? std::string() : std::string(" (some could not be deleted)")) +
                 "; only the last three runs keep theirs.");
  }
}

void TRunKeeping::Start() {
  listed_ = DataFolderFiles(base_, dataFolder_);
  std::vector<TFileState> states;
  std::uint64_t total = 0;
  for (const auto& path : listed_) {
    states.push_back(StateOf(base_, dataFolder_ + path));
    total += static_cast<std::uint64_t>(std::max<std::int64_t>(states.back().size, 0));
  }
  const auto freeBytes = env::DriveFreeBytes(dataFolder_);
  if (freeBytes && *freeBytes < total) {
    run_.LogLine("~This run cannot be undone: the drive has less free space than the data set.");
    return;
  }
  const std::string runFolder = dataFolder_ + runFolder_;
  if (!env::MakeFolders(base_, runFolder)) throw env::EFCreateError("Cannot create the folder " + runFolder + ".");
  manifest_ = std::make_unique<TManifestWriter>(base_, runFolder + std::string(kManifestName));
  manifest_->Listed(listed_, states);
  keeping_ = std::make_unique<TKeepingFileSystem>(base_, dataFolder_, runFolder_, *manifest_, listed_);
  env::InstallFileSystem(keeping_.get());
}

void TRunKeeping::Uninstall() noexcept {
  if (!keeping_) return;
  if (&env::DefaultFileSystem() == keeping_.get()) {
    env::InstallFileSystem(&base_ == &env::RealFileSystem() ? nullptr : &base_);
  }
  keeping_.reset();
}

void TRunKeeping::Finish() {
  if (!keeping_) return;
  Uninstall();
  try {
    auto manifest = ReadManifest(base_, dataFolder_ + runFolder_ + std::string(kManifestName));
    if (!manifest) throw env::EReadError("The manifest of the run cannot be read.");
    for (const auto& path : DataFolderFiles(base_, dataFolder_)) {
      TManifestEntry& entry = manifest->entries[env::UpperCase(path)];
      if (entry.path.empty()) entry = {path, {}, true, std::nullopt, std::nullopt};
    }
    for (auto& [key, entry] : manifest->entries) {
      const bool inside = entry.path.find(':') == std::string::npos && !env::IsPathSeparator(entry.path[0]);
      entry.after = StateOf(base_, inside ? dataFolder_ + entry.path : entry.path);
      if ((!entry.before || entry.before->size < 0) && entry.keptAt.empty()) entry.created = true;
    }
    manifest_->Rewrite(*manifest);
    manifest_->Close();
  } catch (const env::ERemdoError& error) {
    run_.LogLine("~The record of this run for an undo is incomplete: " + std::string(error.what()));
  }
}

}  // namespace remdo::repair
