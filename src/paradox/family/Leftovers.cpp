#include "paradox/family/Leftovers.h"

#include <algorithm>

#include "env/Path.h"
#include "env/Text.h"
#include "paradox/family/FamilyCommit.h"
#include "paradox/family/TableFiles.h"

namespace remdo::paradox {

namespace {

constexpr std::string_view kMarker = "commit marker";
constexpr std::string_view kJournal = "journal";
constexpr std::string_view kCommitFile = "file of a commit";
constexpr std::string_view kTemporary = "temporary file";

struct TKind {
  std::string_view pattern;
  std::string_view what;
};
// ".new" and ".old" are told apart by name (KindOfRenamed); a journal set
// aside is "<journal>.stale", ".stale2", ...; ".~cp" is a file copy in
// progress (env/FileCopy.h).
constexpr TKind kKinds[] = {
    {"*.commit", kMarker}, {"*.journal", kJournal},     {"*.journal.*", kJournal},
    {"*.new", kCommitFile}, {"*.old", kCommitFile}, {"*.~cp", kTemporary},
};

// A table's file: .db, .mb, .px, .val or a secondary index file.
bool IsTableFile(std::string_view name) {
  const std::string_view extension = env::ExtensionPart(name);
  return !extension.empty() && IsFamilyExtension(extension.substr(1));
}

bool EndsWith(std::string_view name, std::string_view suffix) {
  return name.size() > suffix.size() && env::SameText(name.substr(name.size() - suffix.size()), suffix);
}

// "Books.db.new", "Books.mb.pack.new", "Books.px.old": a file of a commit;
// "Books.db.runs.new": a load's sorting runs. Nothing for a name that is not
// a table file under one of these names.
std::string_view KindOfRenamed(std::string_view name) {
  for (const std::string_view suffix : {kNewSuffix, kAsideSuffix}) {
    if (!EndsWith(name, suffix)) continue;
    std::string_view stem = name.substr(0, name.size() - suffix.size());
    if (EndsWith(stem, kSortRunsSuffix)) {
      return IsTableFile(stem.substr(0, stem.size() - kSortRunsSuffix.size())) ? kTemporary : "";
    }
    if (EndsWith(stem, kMemoPackSuffix)) stem.remove_suffix(kMemoPackSuffix.size());
    return IsTableFile(stem) ? kCommitFile : "";
  }
  return "";
}

void Add(std::vector<TLeftover>& found, std::string name, std::string_view what) {
  if (what.empty()) return;
  if (std::any_of(found.begin(), found.end(), [&name](const TLeftover& l) { return l.name == name; })) return;
  found.push_back({std::move(name), what});
}

std::vector<env::TFindEntry> Search(env::TFileSystem& fileSystem, const std::string& pattern) {
  try {
    return fileSystem.Find(pattern, env::attr::kAnyFile);
  } catch (...) {
    return {};
  }
}

}  // namespace

std::vector<TLeftover> FindLeftovers(env::TFileSystem& fileSystem, const std::string& folder,
                                     std::span<const std::string_view> scratchPatterns) {
  std::vector<TLeftover> found;
  for (const TKind& kind : kKinds) {
    for (auto& entry : Search(fileSystem, folder + std::string(kind.pattern))) {
      const bool renamed = kind.what == kCommitFile;
      Add(found, entry.name, renamed ? KindOfRenamed(entry.name) : kind.what);
    }
  }
  for (const std::string_view pattern : scratchPatterns) {
    for (auto& entry : Search(fileSystem, folder + std::string(pattern))) Add(found, entry.name, kTemporary);
  }
  return found;
}

}  // namespace remdo::paradox
