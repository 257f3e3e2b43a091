// Held files on Windows. A hold is a handle opened with no sharing; since
// Windows checks sharing per handle, not per program, our own opens,
// renames and deletions by path would fail on a held file as another
// program's do. So they go through the hold: an open duplicates its handle
// (one file object: no sharing check), and a rename or a deletion is set on
// the handle itself, which follows the file to its new name. Nothing lets
// go of a held file while the program works on it, with one exception: a
// replacing rename onto a held file lets go of that file just before
// (Windows replaces no open file); should another program open it in that
// moment, the rename fails and nothing is lost.
#include "env/win32/Win32FileHolds.h"

#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "env/FileHolds.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

namespace win32 {

namespace {

// The access a hold asks for, best first: a read-only file refuses write
// access (and may refuse DELETE), and is still held for reading.
constexpr DWORD kAccessLadder[] = {FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE, FILE_GENERIC_READ | DELETE,
                                   FILE_GENERIC_READ};
// A scanner or indexer may have a file open for a moment.
constexpr int kSharingRetries = 10;
constexpr DWORD kRetryPauseMs = 100;

struct THeld {
  std::wstring key;   // the full path in upper case
  std::wstring path;  // the full path
  HANDLE handle = INVALID_HANDLE_VALUE;
  DWORD access = 0;
};

class THolds {
 public:
  static THolds& Instance() {
    static THolds holds;
    return holds;
  }

  std::mutex mutex;
  std::vector<std::wstring> names;  // keys of the held names
  std::vector<THeld> files;

  bool Empty() const { return names.empty() && files.empty(); }
  bool Named(const std::wstring& key) const {
    for (const auto& name : names) {
      if (name == key) return true;
    }
    return false;
  }
  // The index of the file held at key, or files.size().
  std::size_t At(const std::wstring& key) const {
    std::size_t i = 0;
    while (i < files.size() && files[i].key != key) ++i;
    return i;
  }
  void Drop(std::size_t index) {
    ::CloseHandle(files[index].handle);
    files.erase(files.begin() + static_cast<std::ptrdiff_t>(index));
  }
};

std::wstring FullPath(std::string_view path) {
  const std::wstring wide = Wide(path);
  DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  size = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return full;
}

std::wstring KeyOf(std::wstring full) {
  if (!full.empty()) ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

// Opens with no sharing and the best access the file allows.
HANDLE OpenExclusive(const std::wstring& path, DWORD disposition, DWORD& access) {
  for (const DWORD wanted : kAccessLadder) {
    for (int attempt = 0;; ++attempt) {
      HANDLE handle = ::CreateFileW(path.c_str(), wanted, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle != INVALID_HANDLE_VALUE) {
        access = wanted;
        return handle;
      }
      if (::GetLastError() != ERROR_SHARING_VIOLATION || attempt + 1 >= kSharingRetries) break;
      ::Sleep(kRetryPauseMs);
    }
    if (::GetLastError() != ERROR_ACCESS_DENIED || disposition != OPEN_EXISTING) break;
  }
  return INVALID_HANDLE_VALUE;
}

// Gives the hold at index the access it lacks, by opening the file afresh:
// a file held while it was read-only, whose mark the check has cleared
// since. A hold that cannot be taken again is dropped.
bool Widen(THolds& holds, std::size_t index, DWORD needed) {
  THeld& held = holds.files[index];
  if ((held.access & needed) == needed) return true;
  ::CloseHandle(held.handle);
  held.handle = OpenExclusive(held.path, OPEN_EXISTING, held.access);
  if (held.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    holds.files.erase(holds.files.begin() + static_cast<std::ptrdiff_t>(index));
    ::SetLastError(error);
    return false;
  }
  if ((held.access & needed) == needed) return true;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

// The name a rename through a handle wants: the NT form of a full path.
std::wstring NtPath(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

bool RenameThrough(HANDLE handle, const std::wstring& target, bool replace) {
  const std::wstring name = NtPath(target);
  const DWORD nameBytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = nameBytes;
  std::memcpy(info->FileName, name.data(), nameBytes);
  return ::SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

std::optional<HANDLE> OpenHeld(std::string_view path, TOpenMode mode) {
  THolds& holds = THolds::Instance();
  const std::lock_guard<std::mutex> lock(holds.mutex);
  if (holds.Empty()) return std::nullopt;
  const std::wstring full = FullPath(path);
  const std::wstring key = KeyOf(full);
  std::size_t index = holds.At(key);
  if (index == holds.files.size()) {
    if (!holds.Named(key)) return std::nullopt;
    const DWORD disposition = mode == TOpenMode::kCreate      ? CREATE_ALWAYS
                              : mode == TOpenMode::kCreateNew ? CREATE_NEW
                                                              : OPEN_EXISTING;
    DWORD access = 0;
    HANDLE handle = OpenExclusive(full, disposition, access);
    if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    holds.files.push_back({key, full, handle, access});
  } else if (mode == TOpenMode::kCreateNew) {
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  const DWORD wanted = mode == TOpenMode::kRead ? FILE_GENERIC_READ : FILE_GENERIC_READ | FILE_GENERIC_WRITE;
  if (!Widen(holds, index, wanted)) return INVALID_HANDLE_VALUE;
  HANDLE copy = INVALID_HANDLE_VALUE;
  const HANDLE self = ::GetCurrentProcess();
  if (!::DuplicateHandle(self, holds.files[index].handle, self, &copy, wanted, FALSE, 0)) return INVALID_HANDLE_VALUE;
  if (mode == TOpenMode::kCreate) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(copy, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(copy)) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(copy);
      ::SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  }
  return copy;
}

std::optional<bool> RenameHeld(std::string_view from, std::string_view to, bool replace) {
  THolds& holds = THolds::Instance();
  const std::lock_guard<std::mutex> lock(holds.mutex);
  if (holds.Empty()) return std::nullopt;
  const std::wstring fromFull = FullPath(from);
  const std::wstring toFull = FullPath(to);
  const std::wstring fromKey = KeyOf(fromFull);
  const std::wstring toKey = KeyOf(toFull);
  const std::size_t target = holds.At(toKey);
  if (holds.At(fromKey) == holds.files.size() && target == holds.files.size() && !holds.Named(toKey)) {
    return std::nullopt;
  }
  if (target != holds.files.size() && toKey != fromKey) {
    if (!replace) {
      ::SetLastError(ERROR_ALREADY_EXISTS);
      return false;
    }
    holds.Drop(target);
  }
  std::size_t source = holds.At(fromKey);
  const bool takenNow = source == holds.files.size();
  if (takenNow) {
    DWORD access = 0;
    HANDLE handle = OpenExclusive(fromFull, OPEN_EXISTING, access);
    if (handle == INVALID_HANDLE_VALUE) return false;
    holds.files.push_back({fromKey, fromFull, handle, access});
  }
  if (!Widen(holds, source, DELETE)) return false;
  if (!RenameThrough(holds.files[source].handle, toFull, replace)) {
    const DWORD error = ::GetLastError();
    if (takenNow) holds.Drop(source);
    ::SetLastError(error);
    return false;
  }
  holds.files[source].path = toFull;
  holds.files[source].key = toKey;
  // As durable as MoveFileEx's write-through: the flush of a file on NTFS
  // commits the journal that holds its rename.
  if ((holds.files[source].access & FILE_WRITE_DATA) != 0) (void)::FlushFileBuffers(holds.files[source].handle);
  return true;
}

std::optional<bool> RemoveHeld(std::string_view path) {
  THolds& holds = THolds::Instance();
  const std::lock_guard<std::mutex> lock(holds.mutex);
  if (holds.files.empty()) return std::nullopt;
  const std::size_t index = holds.At(KeyOf(FullPath(path)));
  if (index == holds.files.size()) return std::nullopt;
  if (!Widen(holds, index, DELETE)) return false;
  FILE_DISPOSITION_INFO dispose{};
  dispose.DeleteFile = TRUE;
  if (!::SetFileInformationByHandle(holds.files[index].handle, FileDispositionInfo, &dispose, sizeof dispose)) {
    return false;
  }
  // The file goes when its last handle closes: this one, unless our own
  // engine still has a copy open.
  holds.Drop(index);
  return true;
}

}  // namespace win32

TIoResult HoldFile(std::string_view path) {
  win32::THolds& holds = win32::THolds::Instance();
  const std::lock_guard<std::mutex> lock(holds.mutex);
  const std::wstring full = win32::FullPath(path);
  const std::wstring key = win32::KeyOf(full);
  if (!holds.Named(key)) holds.names.push_back(key);
  if (holds.At(key) != holds.files.size()) return TIoResult::Success();
  DWORD access = 0;
  HANDLE handle = win32::OpenExclusive(full, OPEN_EXISTING, access);
  if (handle != INVALID_HANDLE_VALUE) {
    holds.files.push_back({key, full, handle, access});
    return TIoResult::Success();
  }
  const DWORD error = ::GetLastError();
  // No file there yet: the name is held, and a file that arrives is taken.
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return TIoResult::Success();
  std::erase(holds.names, key);
  return TIoResult::Failure(error, win32::ErrorText(error));
}

void ReleaseHeldFiles() {
  win32::THolds& holds = win32::THolds::Instance();
  const std::lock_guard<std::mutex> lock(holds.mutex);
  for (const auto& held : holds.files) ::CloseHandle(held.handle);
  holds.files.clear();
  holds.names.clear();
}

}  // namespace remdo::env
