// Keeping the data folder's old files while a run changes them.
#include "repair/KeepingFileSystem.h"

#include <array>
#include <utility>

#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/Path.h"
#include "env/Text.h"

namespace remdo::repair {

namespace {

constexpr std::string_view kSettingsFolder = "settings";

std::string Normalised(std::string_view path) {
  std::string key = env::UpperCase(path);
  for (char& c : key) {
    if (c == '/') c = '\\';
  }
  return key;
}

// A file opened for writing that holds an original: copied before its
// first change.
class TKeptOnWriteFile final : public env::TFile {
 public:
  // path: as the file was opened (its Path() may be the platform's own
  // spelling of it).
  TKeptOnWriteFile(TKeepingFileSystem& owner, std::string path, std::unique_ptr<env::TFile> file)
      : owner_(owner), path_(std::move(path)), file_(std::move(file)) {}
  const std::string& Path() const override { return file_->Path(); }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override { return file_->ReadAt(offset, out); }
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
    BeforeChange();
    file_->WriteAt(offset, data);
  }
  std::uint64_t Size() override { return file_->Size(); }
  void Truncate(std::uint64_t size) override {
    BeforeChange();
    file_->Truncate(size);
  }
  void Flush() override { file_->Flush(); }
  void Close() override { file_->Close(); }

 private:
  void BeforeChange() {
    if (kept_) return;
    owner_.KeepBeforeChange(path_, *file_);
    kept_ = true;
  }
  TKeepingFileSystem& owner_;
  const std::string path_;
  std::unique_ptr<env::TFile> file_;
  bool kept_ = false;
};

}  // namespace

TKeepingFileSystem::TKeepingFileSystem(env::TFileSystem& base, std::string dataFolder, std::string runFolder,
                                       TManifestWriter& manifest, const std::vector<std::string>& listed)
    : base_(base),
      dataFolder_(std::move(dataFolder)),
      dataKey_(Normalised(dataFolder_)),
      runFolder_(std::move(runFolder)),
      manifest_(manifest) {
  for (const auto& path : listed) originals_[Normalised(path)] = path;
}

bool TKeepingFileSystem::Inside(std::string_view path) const {
  return Normalised(path.substr(0, std::min(path.size(), dataKey_.size()))) == dataKey_;
}

std::string TKeepingFileSystem::KeyOf(std::string_view path) const {
  return Inside(path) ? Normalised(path.substr(dataKey_.size())) : Normalised(path);
}

bool TKeepingFileSystem::Ignored(const std::string& key) const {
  return key == "REMDO.LOG" || key == "REMDLOGS.TXT" || key.rfind("REJECTED\\", 0) == 0;
}

std::optional<std::string> TKeepingFileSystem::OriginalAt(const std::string& key) const {
  const auto found = originals_.find(key);
  if (found == originals_.end()) return std::nullopt;
  return found->second;
}

std::string TKeepingFileSystem::KeptPathFor(const std::string& original) const {
  const char separator = env::SeparatorOf(dataFolder_);
  std::string relative = original;
  for (char& c : relative) {
    if (env::IsPathSeparator(c)) c = separator;
  }
  return runFolder_ + std::string(kBeforeFolder) + separator + relative;
}

bool TKeepingFileSystem::KeepByRename(std::string_view path) {
  if (!Inside(path)) {
    KeepOutside(path);
    return true;
  }
  const std::string key = KeyOf(path);
  const auto original = OriginalAt(key);
  if (!original || !base_.FileExists(path)) return true;
  const std::string keptAt = KeptPathFor(*original);
  const std::string target = dataFolder_ + keptAt;
  if (!env::MakeFolders(base_, env::FolderPart(target))) return false;
  manifest_.Kept(*original, keptAt, std::nullopt, false);
  if (!base_.Rename(path, target, false)) return false;
  originals_.erase(key);
  return true;
}

void TKeepingFileSystem::CopyInto(std::string_view path, env::TFile& source, const std::string& keptAt) {
  const std::string target = dataFolder_ + keptAt;
  if (!env::MakeFolders(base_, env::FolderPart(target))) {
    throw env::EFCreateError("Cannot create the folder " + std::string(env::FolderPart(target)) + ".");
  }
  const auto time = base_.ModifiedTime(path);
  {
    auto copy = base_.Open(target, env::TOpenMode::kCreate);
    std::vector<std::byte> buffer(1 << 16);
    std::uint64_t offset = 0;
    while (const std::size_t got = source.ReadAt(offset, buffer)) {
      copy->WriteAt(offset, std::span<const std::byte>(buffer.data(), got));
      offset += got;
    }
    copy->Flush();
    copy->Close();
  }
  if (time) (void)base_.SetModifiedTime(target, *time);
}

void TKeepingFileSystem::KeepBeforeChange(std::string_view path, env::TFile& file) {
  const std::string key = KeyOf(path);
  const auto original = OriginalAt(key);
  if (!original) return;
  const std::string keptAt = KeptPathFor(*original);
  CopyInto(path, file, keptAt);
  manifest_.Kept(*original, keptAt, std::nullopt, false);
  originals_.erase(key);
}

// A settings file outside the data folder: its old content (or that it was
// not there) is in the manifest under its full path before the first change.
void TKeepingFileSystem::KeepOutside(std::string_view path) {
  const std::string key = KeyOf(path);
  if (key.size() < 4 || key.compare(key.size() - 4, 4, ".INI") != 0 || outside_.count(key) != 0) return;
  outside_[key] = std::string(path);
  const TFileState before = StateOf(base_, path);
  if (before.size < 0) {
    manifest_.Kept(path, "", before);
    return;
  }
  const char separator = env::SeparatorOf(dataFolder_);
  std::string keptAt = KeptPathFor(std::string(kSettingsFolder)) + separator + std::to_string(outside_.size()) + "-" +
                       std::string(env::NamePart(path));
  auto source = base_.Open(path, env::TOpenMode::kRead);
  CopyInto(path, *source, keptAt);
  manifest_.Kept(path, keptAt, before);
}

std::unique_ptr<env::TFile> TKeepingFileSystem::Open(std::string_view path, env::TOpenMode mode) {
  const std::string key = KeyOf(path);
  const bool tracked = !Inside(path) || !Ignored(key);
  if (tracked && mode == env::TOpenMode::kCreate && !KeepByRename(path)) {
    throw env::EFCreateError("Cannot keep " + std::string(path) + " before it is written anew.");
  }
  if (tracked && !Inside(path) && mode != env::TOpenMode::kRead) KeepOutside(path);
  auto file = base_.Open(path, mode);
  if (mode != env::TOpenMode::kReadWrite || !Inside(path) || !OriginalAt(key)) return file;
  return std::make_unique<TKeptOnWriteFile>(*this, std::string(path), std::move(file));
}

env::TIoResult TKeepingFileSystem::SetAttributes(std::string_view path, std::uint32_t bits) {
  if (!Inside(path)) KeepOutside(path);
  return base_.SetAttributes(path, bits);
}

env::TIoResult TKeepingFileSystem::SetModifiedTime(std::string_view path, std::int64_t unixSeconds) {
  if (!Inside(path)) KeepOutside(path);
  return base_.SetModifiedTime(path, unixSeconds);
}

env::TIoResult TKeepingFileSystem::Remove(std::string_view path) {
  const std::string key = KeyOf(path);
  if (!Inside(path)) {
    KeepOutside(path);
    return base_.Remove(path);
  }
  if (Ignored(key) || !OriginalAt(key)) return base_.Remove(path);
  if (KeepByRename(path)) return env::TIoResult::Success();
  return base_.Remove(path);
}

env::TIoResult TKeepingFileSystem::Rename(std::string_view from, std::string_view to, bool replace) {
  const std::string fromKey = KeyOf(from);
  const std::string toKey = KeyOf(to);
  const bool toTracked = !Inside(to) || !Ignored(toKey);
  const auto targetOriginal = Inside(to) && toTracked ? OriginalAt(toKey) : std::nullopt;
  const bool targetKept = replace && targetOriginal && base_.FileExists(to);
  if (replace && toTracked && !KeepByRename(to)) {
    return env::TIoResult::Failure(0, "Cannot keep " + std::string(to) + " before it is replaced.");
  }
  const env::TIoResult result = base_.Rename(from, to, replace);
  if (!result) {
    // The target stays where the caller expects it (the manifest's line for
    // it then finds it back in place).
    if (targetKept && base_.Rename(dataFolder_ + KeptPathFor(*targetOriginal), to, false)) {
      originals_[toKey] = *targetOriginal;
    }
    return result;
  }
  const auto moved = Inside(from) ? OriginalAt(fromKey) : std::nullopt;
  if (!moved) return result;
  originals_.erase(fromKey);
  if (Inside(to) && toTracked) {
    originals_[toKey] = *moved;
  } else {
    // Moved out of the data folder (the kept originals of a take-back).
    manifest_.Kept(*moved, Inside(to) ? std::string(to.substr(dataFolder_.size())) : std::string(to), std::nullopt);
  }
  return result;
}

}  // namespace remdo::repair
