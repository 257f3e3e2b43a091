// Removal of the repair's scratch files.
#include "repair/ScratchFiles.h"

#include <string_view>

#include "env/FileSystem.h"
#include "repair/AutomaticBackup.h"
#include "repair/RepairContext.h"

namespace remdo::repair {

namespace {

constexpr std::string_view kScratchPatterns[] = {kScratchTablePatterns[0], "*.runs.new", "*.~cp"};

void RemoveMatches(const std::string& folder, std::vector<std::string>& removed) {
  if (folder.empty()) return;
  env::TFileSystem& fileSystem = env::DefaultFileSystem();
  for (const std::string_view pattern : kScratchPatterns) {
    for (const auto& entry : fileSystem.Find(folder + std::string(pattern), env::attr::kAnyFile)) {
      if (fileSystem.Remove(folder + entry.name).ok) removed.push_back(entry.name);
    }
  }
}

}  // namespace

std::vector<std::string> RemoveScratchFiles() {
  std::vector<std::string> removed;
  // The save folder exists only below a data folder.
  if (TRepairContext::DataFolder().empty()) return removed;
  RemoveMatches(TRepairContext::DataFolder(), removed);
  RemoveMatches(SaveFolder(), removed);
  return removed;
}

void RemoveLeftoverScratchFiles(TRunReporter& run) {
  const std::vector<std::string> removed = RemoveScratchFiles();
  if (removed.empty()) return;
  std::string names;
  for (const auto& name : removed) names += (names.empty() ? "" : ", ") + name;
  run.LogLine("~    Removed scratch files left by an earlier run: " + names);
}

}  // namespace remdo::repair
