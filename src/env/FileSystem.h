// The file-system part of the platform interface. The engine, the repair and
// the tools reach files only through TFileSystem, so that tests can wrap it,
// fail or stop its Nth call, and look at what is left on disk.
//
// Paths are Windows-1252 text. Both '\' and '/' separate names. The Win32
// backend passes them to the W functions; the posix backend maps drive
// letters through its drive table and resolves each name without regard to
// case, as Wine does.
#ifndef REMDO_ENV_FILESYSTEM_H_
#define REMDO_ENV_FILESYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::env {

// File attribute bits, with the values Windows gives them.
namespace attr {
constexpr std::uint32_t kReadOnly = 0x01;
constexpr std::uint32_t kHidden = 0x02;
constexpr std::uint32_t kSystem = 0x04;
constexpr std::uint32_t kVolumeId = 0x08;
constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kArchive = 0x20;
// The mask of a search for every file and no folder: read-only, hidden,
// system, volume label and archive (47). A plain file with none of these
// bits is found by every mask.
constexpr std::uint32_t kAnyFile = kReadOnly | kHidden | kSystem | kVolumeId | kArchive;
}  // namespace attr

// The outcome of an operation whose failure is an answer (rename, delete,
// attributes): the OS's own error number and text when it failed.
struct TIoResult {
  bool ok = true;
  std::uint32_t osCode = 0;
  std::string reason;

  explicit operator bool() const { return ok; }
  static TIoResult Success() { return {}; }
  static TIoResult Failure(std::uint32_t code, std::string text) {
    return {false, code, std::move(text)};
  }
};

enum class TOpenMode {
  kRead,          // existing file, read only; failure: EFOpenError
  kReadWrite,     // existing file, read and write; failure: EFOpenError
  kCreate,        // create or truncate, read and write; failure: EFCreateError
  kCreateNew,     // create, failing when the file exists; failure: EFCreateError
};

// An open file. Positional reads and writes; no shared file pointer.
// The destructor closes quietly; call Close() when a failure matters.
class TFile {
 public:
  virtual ~TFile() = default;
  TFile() = default;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  virtual const std::string& Path() const = 0;
  // Reads up to out.size() bytes at offset and returns how many were read;
  // fewer only at the end of the file. Throws EReadError when the OS fails.
  virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) = 0;
  // Writes all of data at offset. Throws EWriteError.
  virtual void WriteAt(std::uint64_t offset, std::span<const std::byte> data) = 0;
  // Current size in bytes. Throws EReadError.
  virtual std::uint64_t Size() = 0;
  // Cuts or extends the file to size bytes. Throws EWriteError.
  virtual void Truncate(std::uint64_t size) = 0;
  // Forces written data to the disk. Throws EWriteError.
  virtual void Flush() = 0;
  // Starts the disk on the length bytes written at offset without waiting
  // for it, so that the disk works while the program goes on and a later
  // Flush has less to wait for. Promises nothing and reports nothing (Flush
  // does); where the OS has no such call it does nothing.
  virtual void StartWriteBack(std::uint64_t offset, std::uint64_t length) {
    (void)offset;
    (void)length;
  }
  // Closes the handle, reporting a failure as EWriteError. Idempotent.
  virtual void Close() = 0;
  // True when WriteAt and StartWriteBack may run on another thread while
  // this one goes on with other files (never with this one). Files that
  // watch or count the calls made to them say no.
  virtual bool WritesOnAnyThread() const { return false; }
};

// One entry of a wildcard search: the name alone, without folder.
struct TFindEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;

  // Opens path in the given mode; see TOpenMode for what is thrown.
  virtual std::unique_ptr<TFile> Open(std::string_view path, TOpenMode mode) = 0;

  // By the attributes: a file is anything that is not a folder.
  virtual bool FileExists(std::string_view path) {
    const auto bits = Attributes(path);
    return bits && (*bits & attr::kDirectory) == 0;
  }
  virtual bool FolderExists(std::string_view path) {
    const auto bits = Attributes(path);
    return bits && (*bits & attr::kDirectory) != 0;
  }
  // The attribute bits of a file or folder; nothing when it does not exist.
  virtual std::optional<std::uint32_t> Attributes(std::string_view path) = 0;
  virtual TIoResult SetAttributes(std::string_view path, std::uint32_t bits) = 0;

  // Renames a file. With replace, an existing target is replaced in one
  // atomic step; without it an existing target makes the rename fail.
  // SyncFolder makes the new name durable.
  virtual TIoResult Rename(std::string_view from, std::string_view to, bool replace) = 0;
  // Deletes a file (not a folder).
  virtual TIoResult Remove(std::string_view path) = 0;
  virtual TIoResult MakeFolder(std::string_view path) = 0;
  virtual TIoResult RemoveFolder(std::string_view path) = 0;
  // Makes renames and deletions inside the folder durable (a no-op where the
  // OS does that by itself).
  virtual TIoResult SyncFolder(std::string_view path) = 0;
  // Forces the written data of every file to the disk, as Flush on each
  // does; a backend may make them all durable in one call of the OS.
  // Throws EWriteError.
  virtual void FlushFiles(std::span<TFile* const> files) {
    for (TFile* file : files) file->Flush();
  }

  // Wildcard search in the manner of Windows: '*' and '?' in the last name of
  // pattern, compared without regard to case. Plain files are always listed;
  // folders, hidden and system files only when their bit is in attributeMask.
  // A missing folder gives an empty list. "." and ".." are never listed.
  virtual std::vector<TFindEntry> Find(std::string_view pattern, std::uint32_t attributeMask) = 0;

  // Last-write time as seconds since 1970-01-01 UTC; nothing when missing.
  virtual std::optional<std::int64_t> ModifiedTime(std::string_view path) = 0;
  virtual TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) = 0;

  // The folder for temporary files, with a trailing separator.
  virtual std::string TempFolder() = 0;
};

// The real file system of this platform. Lives for the whole process.
TFileSystem& RealFileSystem();

// The file system the program uses unless told otherwise: the real one, or
// whatever a test installed. Installing nullptr restores the real one.
TFileSystem& DefaultFileSystem();
void InstallFileSystem(TFileSystem* fileSystem);

}  // namespace remdo::env

#endif  // REMDO_ENV_FILESYSTEM_H_
