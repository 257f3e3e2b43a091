// The posix backend of TFileSystem: file descriptors with pread/pwrite, the
// owner's write bit standing for the read-only attribute, dot files for the
// hidden one, and folder syncs after renames so that they survive a crash.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Text.h"
#include "env/posix/PosixFiles.h"

namespace remdo::env {

namespace {

using posix::ErrorText;
using posix::HostPath;

std::string Quoted(std::string_view path) { return "\"" + std::string(path) + "\""; }

// Owns one file descriptor.
class TPosixFile final : public TFile {
 public:
  TPosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TPosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  const std::string& Path() const override { return path_; }
  int Descriptor() const { return fd_; }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw EReadError("Cannot read file " + Quoted(path_) + ". " + ErrorText(errno));
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t put = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) throw EWriteError("Cannot write file " + Quoted(path_) + ". " + ErrorText(put < 0 ? errno : ENOSPC));
      done += static_cast<std::size_t>(put);
    }
  }

  std::uint64_t Size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw EReadError("Cannot read file " + Quoted(path_) + ". " + ErrorText(errno));
    return static_cast<std::uint64_t>(st.st_size);
  }

  void Truncate(std::uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      throw EWriteError("Cannot write file " + Quoted(path_) + ". " + ErrorText(errno));
    }
  }

  void Flush() override {
    if (::fsync(fd_) != 0) throw EWriteError("Cannot write file " + Quoted(path_) + ". " + ErrorText(errno));
  }

  void StartWriteBack(std::uint64_t offset, std::uint64_t length) override {
#ifdef SYNC_FILE_RANGE_WRITE
    (void)::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
  }

  bool WritesOnAnyThread() const override { return true; }

  void Close() override {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw EWriteError("Cannot close file " + Quoted(path_) + ". " + ErrorText(errno));
  }

 private:
  int fd_;
  const std::string path_;
};

TIoResult FromErrno() { return TIoResult::Failure(static_cast<std::uint32_t>(errno), ErrorText(errno)); }

std::uint32_t AttributesOf(const struct stat& st, std::string_view name) {
  std::uint32_t bits = S_ISDIR(st.st_mode) ? attr::kDirectory : attr::kArchive;
  if ((st.st_mode & S_IWUSR) == 0) bits |= attr::kReadOnly;
  if (!name.empty() && name[0] == '.') bits |= attr::kHidden;
  return bits;
}

class TPosixFileSystem final : public TFileSystem {
 public:
  std::unique_ptr<TFile> Open(std::string_view path, TOpenMode mode) override {
    const bool create = mode == TOpenMode::kCreate || mode == TOpenMode::kCreateNew;
    int flags = O_CLOEXEC;
    switch (mode) {
      case TOpenMode::kRead: flags |= O_RDONLY; break;
      case TOpenMode::kReadWrite: flags |= O_RDWR; break;
      case TOpenMode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
      case TOpenMode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    const std::string host = HostPath(path);
    int fd = -1;
    do {
      fd = host.empty() ? (errno = ENOENT, -1) : ::open(host.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      const std::string reason = ErrorText(errno);
      if (create) throw EFCreateError("Cannot create file " + Quoted(path) + ". " + reason);
      throw EFOpenError("Cannot open file " + Quoted(path) + ". " + reason);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      throw EFOpenError("Cannot open file " + Quoted(path) + ". " + ErrorText(EISDIR));
    }
    return std::make_unique<TPosixFile>(fd, std::string(path));
  }

  std::optional<std::uint32_t> Attributes(std::string_view path) override {
    struct stat st {};
    const std::string host = HostPath(path);
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return std::nullopt;
    return AttributesOf(st, NamePart(ExcludeTrailingSeparator(path)));
  }

  TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override {
    struct stat st {};
    const std::string host = HostPath(path);
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return FromErrno();
    mode_t mode = st.st_mode & 07777;
    if ((bits & attr::kReadOnly) != 0) {
      mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
      mode |= S_IWUSR;
    }
    if (::chmod(host.c_str(), mode) != 0) return FromErrno();
    return TIoResult::Success();
  }

  TIoResult Rename(std::string_view from, std::string_view to, bool replace) override {
    const std::string source = HostPath(from);
    const std::string target = HostPath(to);
    if (source.empty() || target.empty()) return TIoResult::Failure(ENOENT, ErrorText(ENOENT));
    if (!replace) {
      struct stat st {};
      if (::lstat(target.c_str(), &st) == 0 && source != target) return TIoResult::Failure(EEXIST, ErrorText(EEXIST));
    }
    if (::rename(source.c_str(), target.c_str()) != 0) return FromErrno();
    return TIoResult::Success();
  }

  TIoResult Remove(std::string_view path) override {
    const std::string host = HostPath(path);
    if (host.empty() || ::unlink(host.c_str()) != 0) return FromErrno();
    return TIoResult::Success();
  }

  TIoResult MakeFolder(std::string_view path) override {
    const std::string host = HostPath(ExcludeTrailingSeparator(path));
    if (host.empty() || ::mkdir(host.c_str(), 0777) != 0) return FromErrno();
    return TIoResult::Success();
  }

  TIoResult RemoveFolder(std::string_view path) override {
    const std::string host = HostPath(ExcludeTrailingSeparator(path));
    if (host.empty() || ::rmdir(host.c_str()) != 0) return FromErrno();
    return TIoResult::Success();
  }

  // One flush of the file system that holds the files instead of one per
  // file: each flush of a file waits for a commit of the file system's
  // journal and a flush of the disk's cache, and all of them together cost
  // about as much as one (Linux's syncfs waits for the data of every file).
  void FlushFiles(std::span<TFile* const> files) override {
#ifdef __linux__
    const auto* first = files.empty() ? nullptr : dynamic_cast<const TPosixFile*>(files.front());
    struct stat st {};
    const dev_t device = first != nullptr && ::fstat(first->Descriptor(), &st) == 0 ? st.st_dev : dev_t{};
    // Every file ours and on the first one's file system.
    const bool allOurs = std::all_of(files.begin(), files.end(), [&](TFile* file) {
      const auto* ours = dynamic_cast<const TPosixFile*>(file);
      struct stat its {};
      return ours != nullptr && ::fstat(ours->Descriptor(), &its) == 0 && its.st_dev == device;
    });
    if (files.size() > 1 && first != nullptr && allOurs) {
      if (::syncfs(first->Descriptor()) != 0) {
        throw EWriteError("Cannot write file " + Quoted(first->Path()) + ". " + ErrorText(errno));
      }
      return;
    }
#endif
    TFileSystem::FlushFiles(files);
  }

  TIoResult SyncFolder(std::string_view path) override {
    std::string host = HostPath(ExcludeTrailingSeparator(path));
    if (host.empty()) host = ".";
    const int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FromErrno();
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0) return TIoResult::Failure(static_cast<std::uint32_t>(error), ErrorText(error));
    return TIoResult::Success();
  }

  std::vector<TFindEntry> Find(std::string_view pattern, std::uint32_t mask) override {
    std::vector<TFindEntry> entries;
    const std::string_view folder = FolderPart(pattern);
    const std::string_view wanted = NamePart(pattern);
    std::string host = folder.empty() ? std::string(".") : HostPath(folder);
    if (host.empty()) return entries;
    DIR* dir = ::opendir(host.c_str());
    if (dir == nullptr) return entries;
    if (host.back() != '/') host.push_back('/');
    while (const dirent* item = ::readdir(dir)) {
      const std::string name = Utf8ToCp1252(item->d_name);
      if (name == "." || name == ".." || !WildcardMatch(wanted, name)) continue;
      struct stat st {};
      if (::stat((host + item->d_name).c_str(), &st) != 0) continue;
      const std::uint32_t bits = AttributesOf(st, name);
      const std::uint32_t special = bits & (attr::kDirectory | attr::kHidden | attr::kSystem);
      if ((special & ~mask) != 0) continue;
      entries.push_back({name, bits, static_cast<std::uint64_t>(st.st_size)});
    }
    ::closedir(dir);
    return entries;
  }

  std::optional<std::int64_t> ModifiedTime(std::string_view path) override {
    struct stat st {};
    const std::string host = HostPath(path);
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
  }

  TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override {
    const std::string host = HostPath(path);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(unixSeconds);
    times[1].tv_nsec = 0;
    if (host.empty() || ::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return FromErrno();
    return TIoResult::Success();
  }

  std::string TempFolder() override {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    return IncludeTrailingSeparator(posix::ProgramPath(folder));
  }
};

}  // namespace

TFileSystem& RealFileSystem() {
  static TPosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace remdo::env
