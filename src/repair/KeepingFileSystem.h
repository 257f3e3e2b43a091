// The file system a repair run works through while it keeps the data
// folder's old files for an undo. It passes every call on, but a file that
// still holds what the data folder held at the run's start is not lost:
//  - removed (the family commit's aside file, a scratch leftover) or
//    replaced by a rename: it is renamed into Rejected\<run>\Before\ under
//    its path at the start, relative to the data folder (same volume, no
//    copy);
//  - moved out of the data folder (into Rejected\<run>\Original\): the
//    manifest names where it went;
//  - opened to be rewritten in place (the memo file when saved records are
//    merged, a header count): copied there just before the first change;
//  - a settings file (.ini) outside the data folder, before it is first
//    written, replaced or removed: copied into Before\settings\.
// Each keeping is in the manifest before the call returns (flushed at the
// latest with the next folder sync). Files that only report (Remdo.log,
// RemdLogs.txt) and everything below Rejected\ pass through untouched.
#ifndef REMDO_REPAIR_KEEPINGFILESYSTEM_H_
#define REMDO_REPAIR_KEEPINGFILESYSTEM_H_

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "repair/UndoManifest.h"

namespace remdo::repair {

class TKeepingFileSystem final : public env::TFileSystem {
 public:
  // dataFolder has a trailing separator; runFolder is the run's folder
  // relative to it ("Rejected\20240131-154502\"); listed are the files
  // (paths relative to the data folder) found at the run's start.
  TKeepingFileSystem(env::TFileSystem& base, std::string dataFolder, std::string runFolder, TManifestWriter& manifest,
                     const std::vector<std::string>& listed);

  std::unique_ptr<env::TFile> Open(std::string_view path, env::TOpenMode mode) override;
  std::optional<std::uint32_t> Attributes(std::string_view path) override { return base_.Attributes(path); }
  env::TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override;
  env::TIoResult Rename(std::string_view from, std::string_view to, bool replace) override;
  env::TIoResult Remove(std::string_view path) override;
  env::TIoResult MakeFolder(std::string_view path) override { return base_.MakeFolder(path); }
  env::TIoResult RemoveFolder(std::string_view path) override { return base_.RemoveFolder(path); }
  // The kept files' lines are flushed with the folder's renames, and the
  // manifest's time follows the run's commits.
  void FlushFiles(std::span<env::TFile* const> files) override { base_.FlushFiles(files); }
  env::TIoResult SyncFolder(std::string_view path) override {
    manifest_.Flush();
    manifest_.Touch();
    return base_.SyncFolder(path);
  }
  std::vector<env::TFindEntry> Find(std::string_view pattern, std::uint32_t mask) override {
    return base_.Find(pattern, mask);
  }
  std::optional<std::int64_t> ModifiedTime(std::string_view path) override { return base_.ModifiedTime(path); }
  env::TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override;
  std::string TempFolder() override { return base_.TempFolder(); }

  // The file at location (relative to the data folder) holds the content
  // that original held at the run's start: an aside file of a commit a
  // crash cut short.
  void HoldsOriginal(std::string_view location, std::string original) {
    originals_[KeyOf(dataFolder_ + std::string(location))] = std::move(original);
  }
  // Keeps a copy of the file at path, read through file (open on it), when
  // it still holds its content of the run's start: the first change of a
  // file rewritten in place. Throws env::ERemdoError kinds.
  void KeepBeforeChange(std::string_view path, env::TFile& file);
  // The paths outside the data folder that the run kept or created.
  const std::map<std::string, std::string>& OutsidePaths() const { return outside_; }

 private:
  // A path's key: upper-cased, '/' as '\'; relative to the data folder
  // when inside it.
  std::string KeyOf(std::string_view path) const;
  bool Inside(std::string_view path) const;
  bool Ignored(const std::string& key) const;
  // The original path whose content the file at path still holds.
  std::optional<std::string> OriginalAt(const std::string& key) const;
  // Moves the file at path into Before\ when it holds an original;
  // false when it held one that could not be moved.
  bool KeepByRename(std::string_view path);
  // Copies an outside settings file the first time the run touches it.
  void KeepOutside(std::string_view path);
  void CopyInto(std::string_view path, env::TFile& source, const std::string& keptAt);
  std::string KeptPathFor(const std::string& original) const;

  env::TFileSystem& base_;
  const std::string dataFolder_;
  const std::string dataKey_;
  const std::string runFolder_;
  TManifestWriter& manifest_;
  // Current location (key) -> original relative path, for every file whose
  // content is still that of the run's start.
  std::map<std::string, std::string> originals_;
  std::map<std::string, std::string> outside_;  // key -> full path
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_KEEPINGFILESYSTEM_H_
