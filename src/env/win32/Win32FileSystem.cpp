// The Win32 backend of TFileSystem: the W functions on UTF-16 paths, bounded
// retries when another process (an antivirus scanner, the indexer) holds a
// file for a moment, and MoveFileEx with write-through for replacing renames.
// Calls on a held file go through its hold (Win32FileHolds.h).
#include <windows.h>

#include <algorithm>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/win32/Win32FileHolds.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

namespace {

using win32::ErrorText;
using win32::TScopedHandle;
using win32::Wide;

constexpr int kSharingRetries = 10;
constexpr DWORD kRetryPauseMs = 100;

std::string Quoted(std::string_view path) { return "\"" + std::string(path) + "\""; }

bool IsTransient(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Runs op until it succeeds or fails for a reason other than a brief lock.
template <typename Op>
auto WithRetries(Op op) {
  auto result = op();
  for (int attempt = 1; attempt < kSharingRetries && !result && IsTransient(::GetLastError()); ++attempt) {
    ::OutputDebugStringW(L"remdo: sharing violation, retrying");
    ::Sleep(kRetryPauseMs);
    result = op();
  }
  return result;
}

TIoResult LastError() {
  const DWORD error = ::GetLastError();
  return TIoResult::Failure(error, ErrorText(error));
}

class TWin32File final : public TFile {
 public:
  TWin32File(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  const std::string& Path() const override { return path_; }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
    std::size_t done = 0;
    while (done < out.size()) {
      OVERLAPPED at{};
      const std::uint64_t where = offset + done;
      at.Offset = static_cast<DWORD>(where);
      at.OffsetHigh = static_cast<DWORD>(where >> 32);
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(handle_.Get(), out.data() + done, want, &got, &at)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF) break;
        throw EReadError("Cannot read file " + Quoted(path_) + ". " + ErrorText(error));
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      OVERLAPPED at{};
      const std::uint64_t where = offset + done;
      at.Offset = static_cast<DWORD>(where);
      at.OffsetHigh = static_cast<DWORD>(where >> 32);
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(handle_.Get(), data.data() + done, want, &put, &at) || put == 0) {
        throw EWriteError("Cannot write file " + Quoted(path_) + ". " + ErrorText(::GetLastError()));
      }
      done += put;
    }
  }

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_.Get(), &size)) {
      throw EReadError("Cannot read file " + Quoted(path_) + ". " + ErrorText(::GetLastError()));
    }
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  void Truncate(std::uint64_t size) override {
    LARGE_INTEGER where{};
    where.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(handle_.Get(), where, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle_.Get())) {
      throw EWriteError("Cannot write file " + Quoted(path_) + ". " + ErrorText(::GetLastError()));
    }
  }

  void Flush() override {
    if (!::FlushFileBuffers(handle_.Get())) {
      throw EWriteError("Cannot write file " + Quoted(path_) + ". " + ErrorText(::GetLastError()));
    }
  }

  bool WritesOnAnyThread() const override { return true; }

  void Close() override {
    if (!handle_.IsValid()) return;
    if (!::CloseHandle(handle_.Release())) {
      throw EWriteError("Cannot close file " + Quoted(path_) + ". " + ErrorText(::GetLastError()));
    }
  }

 private:
  TScopedHandle handle_;
  const std::string path_;
};

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600LL;

std::int64_t ToUnixSeconds(const FILETIME& time) {
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000ULL) - kEpochDifference;
}

FILETIME FromUnixSeconds(std::int64_t seconds) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(seconds + kEpochDifference) * 10000000ULL;
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

class TWin32FileSystem final : public TFileSystem {
 public:
  std::unique_ptr<TFile> Open(std::string_view path, TOpenMode mode) override {
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
      case TOpenMode::kRead: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
      case TOpenMode::kReadWrite: access |= GENERIC_WRITE; break;
      case TOpenMode::kCreate: access |= GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
      case TOpenMode::kCreateNew: access |= GENERIC_WRITE; disposition = CREATE_NEW; break;
    }
    const std::wstring wide = Wide(path);
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (const auto held = win32::OpenHeld(path, mode)) {
      handle = *held;
    } else {
      WithRetries([&] {
        handle = ::CreateFileW(wide.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE;
      });
    }
    TScopedHandle owned(handle);
    if (!owned.IsValid()) {
      const std::string reason = ErrorText(::GetLastError());
      if (mode == TOpenMode::kCreate || mode == TOpenMode::kCreateNew) {
        throw EFCreateError("Cannot create file " + Quoted(path) + ". " + reason);
      }
      throw EFOpenError("Cannot open file " + Quoted(path) + ". " + reason);
    }
    return std::make_unique<TWin32File>(owned.Release(), std::string(path));
  }

  std::optional<std::uint32_t> Attributes(std::string_view path) override {
    const DWORD bits = ::GetFileAttributesW(Wide(ExcludeTrailingSeparator(path)).c_str());
    if (bits == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return static_cast<std::uint32_t>(bits);
  }

  TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override {
    const std::wstring wide = Wide(path);
    if (!WithRetries([&] { return ::SetFileAttributesW(wide.c_str(), bits) != 0; })) return LastError();
    return TIoResult::Success();
  }

  TIoResult Rename(std::string_view from, std::string_view to, bool replace) override {
    const std::wstring source = Wide(from);
    const std::wstring target = Wide(to);
    if (const auto held = win32::RenameHeld(from, to, replace)) return *held ? TIoResult::Success() : LastError();
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!WithRetries([&] { return ::MoveFileExW(source.c_str(), target.c_str(), flags) != 0; })) return LastError();
    return TIoResult::Success();
  }

  TIoResult Remove(std::string_view path) override {
    if (const auto held = win32::RemoveHeld(path)) return *held ? TIoResult::Success() : LastError();
    const std::wstring wide = Wide(path);
    if (!WithRetries([&] { return ::DeleteFileW(wide.c_str()) != 0; })) return LastError();
    return TIoResult::Success();
  }

  TIoResult MakeFolder(std::string_view path) override {
    if (!::CreateDirectoryW(Wide(ExcludeTrailingSeparator(path)).c_str(), nullptr)) return LastError();
    return TIoResult::Success();
  }

  TIoResult RemoveFolder(std::string_view path) override {
    if (!::RemoveDirectoryW(Wide(ExcludeTrailingSeparator(path)).c_str())) return LastError();
    return TIoResult::Success();
  }

  // MoveFileEx with MOVEFILE_WRITE_THROUGH already makes a rename durable.
  TIoResult SyncFolder(std::string_view) override { return TIoResult::Success(); }

  std::vector<TFindEntry> Find(std::string_view pattern, std::uint32_t mask) override {
    std::vector<TFindEntry> entries;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(Wide(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
      const std::string name = win32::Narrow(data.cFileName);
      if (name == "." || name == "..") continue;
      const std::uint32_t bits = data.dwFileAttributes;
      const std::uint32_t special = bits & (attr::kDirectory | attr::kHidden | attr::kSystem);
      if ((special & ~mask) != 0) continue;
      const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      entries.push_back({name, bits, size});
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return entries;
  }

  std::optional<std::int64_t> ModifiedTime(std::string_view path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return ToUnixSeconds(data.ftLastWriteTime);
  }

  TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override {
    TScopedHandle file(::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) return LastError();
    const FILETIME time = FromUnixSeconds(unixSeconds);
    if (!::SetFileTime(file.Get(), nullptr, nullptr, &time)) return LastError();
    return TIoResult::Success();
  }

  std::string TempFolder() override {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    return IncludeTrailingSeparator(win32::Narrow(std::wstring_view(buffer, length)));
  }
};

}  // namespace

TFileSystem& RealFileSystem() {
  static TWin32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace remdo::env
