// A file system that passes every call on to another one, for tests that
// watch or speed up what goes through it: without syncs it skips the
// flushes and folder syncs (whole runs over scratch data whose durability no
// test looks at), onCreate hears of every file created and onSync of every
// flush and folder sync asked for.
//
// Header-only, so that the test programs of every layer can use it.
#ifndef REMDO_TESTS_SUPPORT_PASSTHROUGHFILESYSTEM_H_
#define REMDO_TESTS_SUPPORT_PASSTHROUGHFILESYSTEM_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "support/InstalledFileSystem.h"

namespace remdo::test {

class TPassThroughFileSystem final : public env::TFileSystem {
 public:
  explicit TPassThroughFileSystem(env::TFileSystem& base, bool syncs = true) : base_(base), syncs_(syncs) {}

  // Called with the path (as the program wrote it) before a file is
  // created or truncated.
  std::function<void(std::string_view)> onCreate;
  // Called with the file's or the folder's path when a flush or a folder
  // sync is asked for, whether or not it is passed on.
  std::function<void(std::string_view)> onSync;
  // Called before every open; it may throw as the OS refuses an open.
  std::function<void(std::string_view, env::TOpenMode)> onOpen;

  std::unique_ptr<env::TFile> Open(std::string_view path, env::TOpenMode mode) override {
    if (onOpen) onOpen(path, mode);
    if (onCreate && (mode == env::TOpenMode::kCreate || mode == env::TOpenMode::kCreateNew)) onCreate(path);
    auto file = base_.Open(path, mode);
    if (syncs_ && !onSync) return file;
    return std::make_unique<TWatchedFile>(*this, std::move(file));
  }
  bool FileExists(std::string_view path) override { return base_.FileExists(path); }
  bool FolderExists(std::string_view path) override { return base_.FolderExists(path); }
  std::optional<std::uint32_t> Attributes(std::string_view path) override { return base_.Attributes(path); }
  env::TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override {
    return base_.SetAttributes(path, bits);
  }
  env::TIoResult Rename(std::string_view from, std::string_view to, bool replace) override {
    return base_.Rename(from, to, replace);
  }
  env::TIoResult Remove(std::string_view path) override { return base_.Remove(path); }
  env::TIoResult MakeFolder(std::string_view path) override { return base_.MakeFolder(path); }
  env::TIoResult RemoveFolder(std::string_view path) override { return base_.RemoveFolder(path); }
  env::TIoResult SyncFolder(std::string_view path) override {
    if (onSync) onSync(path);
    return syncs_ ? base_.SyncFolder(path) : env::TIoResult::Success();
  }
  std::vector<env::TFindEntry> Find(std::string_view pattern, std::uint32_t mask) override {
    return base_.Find(pattern, mask);
  }
  std::optional<std::int64_t> ModifiedTime(std::string_view path) override { return base_.ModifiedTime(path); }
  env::TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override {
    return base_.SetModifiedTime(path, unixSeconds);
  }
  std::string TempFolder() override { return base_.TempFolder(); }

 private:
  class TWatchedFile final : public env::TFile {
   public:
    TWatchedFile(TPassThroughFileSystem& owner, std::unique_ptr<env::TFile> file)
        : owner_(owner), file_(std::move(file)) {}
    const std::string& Path() const override { return file_->Path(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override { return file_->ReadAt(offset, out); }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override { file_->WriteAt(offset, data); }
    std::uint64_t Size() override { return file_->Size(); }
    void Truncate(std::uint64_t size) override { file_->Truncate(size); }
    void Flush() override {
      if (owner_.onSync) owner_.onSync(file_->Path());
      if (owner_.syncs_) file_->Flush();
    }
    void Close() override { file_->Close(); }

   private:
    TPassThroughFileSystem& owner_;
    std::unique_ptr<env::TFile> file_;
  };

  env::TFileSystem& base_;
  const bool syncs_;
};

}  // namespace remdo::test

#endif  // REMDO_TESTS_SUPPORT_PASSTHROUGHFILESYSTEM_H_
