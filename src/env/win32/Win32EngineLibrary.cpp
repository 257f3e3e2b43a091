// The installed engine's library, loaded with LoadLibrary. Its folder joins
// the search for the libraries it loads in turn (its drivers lie beside it).
// The declarations follow the engine's published API: stdcall, 16-bit
// results, handles of pointer size, enumerations passed as int.
#include <windows.h>

#include <cstdint>
#include <string>

#include "env/EngineLibrary.h"
#include "env/win32/Win32Util.h"

namespace remdo::env {

namespace {

using TDbiResult = std::uint16_t;
using THandle = void*;

// DBIOpenMode, CFGMode, DBILockType.
constexpr int kReadWrite = 0;   // dbiREADWRITE
constexpr int kReadOnly = 1;    // dbiREADONLY
constexpr int kPersistent = 0;  // cfgPersistent
constexpr int kNoLock = 0;      // dbiNOLOCK
constexpr int kWriteLock = 2;   // dbiWRITELOCK
// The engine's "not supported" answer, given here without asking it when a
// record of a list opened for reading is to be written.
constexpr TDbiResult kNotSupported = 0x3D04;

using TDbiInit = TDbiResult(__stdcall*)(void* env);
using TDbiOpenCfgInfoList = TDbiResult(__stdcall*)(THandle cfg, int openMode, int configMode, char* path,
                                                   THandle* cursor);
using TDbiSetToBegin = TDbiResult(__stdcall*)(THandle cursor);
using TDbiGetNextRecord = TDbiResult(__stdcall*)(THandle cursor, int lock, unsigned char* record, void* props);
using TDbiModifyRecord = TDbiResult(__stdcall*)(THandle cursor, unsigned char* record, BOOL freeLock);
using TDbiExit = TDbiResult(__stdcall*)();

template <typename Call>
bool Bind(HMODULE module, const char* name, Call& call) {
  call = reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  return call != nullptr;
}

class TWin32EngineLibrary final : public TEngineLibrary {
 public:
  explicit TWin32EngineLibrary(HMODULE module) : module_(module) {}
  ~TWin32EngineLibrary() override { ::FreeLibrary(module_); }
  TWin32EngineLibrary(const TWin32EngineLibrary&) = delete;
  TWin32EngineLibrary& operator=(const TWin32EngineLibrary&) = delete;

  bool BindAll() {
    return Bind(module_, "DbiInit", init_) && Bind(module_, "DbiOpenCfgInfoList", open_) &&
           Bind(module_, "DbiSetToBegin", begin_) && Bind(module_, "DbiGetNextRecord", next_) &&
           Bind(module_, "DbiModifyRecord", modify_) && Bind(module_, "DbiExit", exit_);
  }

  std::uint16_t Init() override { return init_(nullptr); }
  std::uint16_t OpenConfigList(std::string_view path, TConfigAccess access) override {
    std::string text(path);
    access_ = access;
    const bool write = access == TConfigAccess::kWrite;
    return open_(nullptr, write ? kReadWrite : kReadOnly, kPersistent, text.data(), &cursor_);
  }
  std::uint16_t SetToBegin() override { return begin_(cursor_); }
  std::uint16_t NextRecord(TConfigRecord& record) override {
    return next_(cursor_, access_ == TConfigAccess::kWrite ? kWriteLock : kNoLock, record.Data(), nullptr);
  }
  std::uint16_t ModifyRecord(const TConfigRecord& record) override {
    if (access_ != TConfigAccess::kWrite) return kNotSupported;
    TConfigRecord copy = record;  // the engine's signature takes a writable buffer
    return modify_(cursor_, copy.Data(), TRUE);
  }
  void Exit() override { (void)exit_(); }

 private:
  const HMODULE module_;
  THandle cursor_ = nullptr;
  TConfigAccess access_ = TConfigAccess::kRead;
  TDbiInit init_ = nullptr;
  TDbiOpenCfgInfoList open_ = nullptr;
  TDbiSetToBegin begin_ = nullptr;
  TDbiGetNextRecord next_ = nullptr;
  TDbiModifyRecord modify_ = nullptr;
  TDbiExit exit_ = nullptr;
};

// The altered search takes the folder of a full path only; a bare name
// means the library in the current folder.
std::wstring FullPath(std::string_view path) {
  const std::wstring given = win32::Wide(path);
  std::wstring full(MAX_PATH, L'\0');
  const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return given;
  full.resize(length);
  return full;
}

std::unique_ptr<TEngineLibrary> LoadFrom(std::string_view path) {
  const HMODULE module = ::LoadLibraryExW(FullPath(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) return nullptr;
  auto library = std::make_unique<TWin32EngineLibrary>(module);
  if (!library->BindAll()) return nullptr;
  return library;
}

}  // namespace

TEngineLibraryLoader RealEngineLibraryLoader() { return LoadFrom; }

}  // namespace remdo::env
