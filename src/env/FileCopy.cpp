// Copies through the file-system interface. The target is written under a
// temporary name and renamed into place, so that a failed copy leaves the
// old target (or none) and never a truncated one.
#include "env/FileCopy.h"

#include <memory>
#include <vector>

#include "env/Errors.h"
#include "env/Path.h"
#include "env/Text.h"

namespace remdo::env {

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr std::uint32_t kEveryEntry = attr::kDirectory | attr::kHidden | attr::kSystem;

bool HasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

void CopyBytes(TFile& source, TFile& target) {
  std::vector<std::byte> buffer(kChunk);
  std::uint64_t offset = 0;
  for (;;) {
    const std::size_t got = source.ReadAt(offset, buffer);
    if (got == 0) break;
    target.WriteAt(offset, std::span<const std::byte>(buffer.data(), got));
    offset += got;
  }
}

// The folder above path, by its separators alone (on Linux a name may hold
// a colon, as Wine's "c:" links do); empty at a root.
std::string ParentOf(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !IsPathSeparator(path[end - 1])) --end;
  if (end == 0) return {};
  return ExcludeTrailingSeparator(std::string_view(path).substr(0, end));
}

// path lies inside folder, whichever separators the two use (Windows takes
// '/' as well as '\\') and without regard to case.
bool LiesInside(std::string_view path, std::string_view folder) {
  const std::string inside = IncludeTrailingSeparator(folder);
  if (path.size() < inside.size()) return false;
  for (std::size_t i = 0; i < inside.size(); ++i) {
    const bool separators = IsPathSeparator(path[i]) && IsPathSeparator(inside[i]);
    if (!separators && !SameText(path.substr(i, 1), inside.substr(i, 1))) return false;
  }
  return true;
}

}  // namespace

void CopyWholeFile(TFileSystem& fs, std::string_view from, std::string_view to, TCopyTime time) {
  const std::string temporary = std::string(to) + ".~cp";
  auto source = fs.Open(from, TOpenMode::kRead);
  {
    std::unique_ptr<TFile> target;
    try {
      target = fs.Open(temporary, TOpenMode::kCreate);
    } catch (const EFCreateError& e) {
      throw EFCreateError("Cannot create file \"" + std::string(to) + "\". " + e.what());
    }
    try {
      CopyBytes(*source, *target);
      target->Flush();
      target->Close();
    } catch (const ERemdoError&) {
      target.reset();
      (void)fs.Remove(temporary);
      throw;
    }
  }
  if (time == TCopyTime::kSourceTime) {
    if (const auto sourceTime = fs.ModifiedTime(from)) (void)fs.SetModifiedTime(temporary, *sourceTime);
  }
  const TIoResult renamed = fs.Rename(temporary, to, true);
  if (!renamed) {
    (void)fs.Remove(temporary);
    throw EWriteError("Cannot write file \"" + std::string(to) + "\". " + renamed.reason);
  }
  (void)fs.SyncFolder(FolderPart(to));
}

bool MakeFolders(TFileSystem& fs, std::string_view folder) {
  const std::string path = ExcludeTrailingSeparator(folder);
  if (path.empty() || fs.FolderExists(path)) return !path.empty();
  const std::string parent = ParentOf(path);
  if (!parent.empty() && parent != path && !fs.FolderExists(parent) && !MakeFolders(fs, parent)) return false;
  (void)fs.MakeFolder(path);
  return fs.FolderExists(path);
}

bool RemoveFolderTree(TFileSystem& fs, std::string_view folder) {
  const std::string path = IncludeTrailingSeparator(folder);
  bool ok = true;
  for (const TFindEntry& entry : fs.Find(path + "*", attr::kAnyFile | attr::kDirectory)) {
    if ((entry.attributes & attr::kDirectory) != 0) {
      ok = RemoveFolderTree(fs, path + entry.name) && ok;
    } else {
      if ((entry.attributes & attr::kReadOnly) != 0) (void)fs.SetAttributes(path + entry.name, 0);
      ok = fs.Remove(path + entry.name).ok && ok;
    }
  }
  return fs.RemoveFolder(ExcludeTrailingSeparator(path)).ok && ok;
}

void CopyFolderTree(TFileSystem& fs, std::string_view from, std::string_view to) {
  // A folder copied into itself would grow until paths grow too long.
  if (LiesInside(to, from)) {
    throw EWriteError("Cannot copy folder \"" + std::string(from) + "\" into itself.");
  }
  if (!MakeFolders(fs, to)) throw EFCreateError("Cannot create folder \"" + std::string(to) + "\".");
  const std::string source = IncludeTrailingSeparator(from);
  const std::string target = IncludeTrailingSeparator(to);
  for (const TFindEntry& entry : fs.Find(source + "*", kEveryEntry)) {
    if ((entry.attributes & attr::kDirectory) != 0) {
      CopyFolderTree(fs, source + entry.name, target + entry.name);
    } else {
      CopyWholeFile(fs, source + entry.name, target + entry.name);
    }
  }
}

bool CopyFilesPlainly(TFileSystem& fs, const std::vector<std::string>& sources, std::string_view target) {
  // Expand the patterns first: every source that exists, as a full path.
  std::vector<std::string> paths;
  bool patterns = false;
  for (const std::string& source : sources) {
    if (HasWildcard(NamePart(source))) {
      patterns = true;
      const std::string folder(FolderPart(source));
      for (const TFindEntry& entry : fs.Find(source, kEveryEntry)) paths.push_back(folder + entry.name);
    } else if (fs.Attributes(source)) {
      paths.push_back(ExcludeTrailingSeparator(source));
    } else {
      return false;
    }
  }
  const bool intoFolder =
      fs.FolderExists(target) || (!target.empty() && IsPathSeparator(target.back())) || sources.size() > 1 || patterns;
  try {
    if (!intoFolder) {
      if (paths.empty()) return true;
      const std::string parent(FolderPart(target));
      if (!parent.empty() && !MakeFolders(fs, parent)) return false;
      if (fs.FolderExists(paths[0])) {
        CopyFolderTree(fs, paths[0], target);
      } else {
        CopyWholeFile(fs, paths[0], target);
      }
      return true;
    }
    if (!paths.empty() && !MakeFolders(fs, target)) return false;
    for (const std::string& path : paths) {
      const std::string destination = JoinPath(target, NamePart(path));
      if (fs.FolderExists(path)) {
        CopyFolderTree(fs, path, destination);
      } else {
        CopyWholeFile(fs, path, destination);
      }
    }
  } catch (const ERemdoError&) {
    return false;
  }
  return true;
}

}  // namespace remdo::env
