// The wrappers of a write confinement over whatever file system, registry
// and shell were installed before it.
#include "env/WriteConfinement.h"

#include <algorithm>
#include <mutex>

#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Registry.h"
#include "env/Shell.h"
#include "env/Text.h"

namespace remdo::env {

namespace {

// ERROR_ACCESS_DENIED, the answer Windows gives a write it does not allow.
constexpr std::uint32_t kAccessDenied = 5;
constexpr const char* kRefusal = "a write outside the allowed folders is refused";

std::string Normalised(std::string_view path) {
  std::string text = UpperCase(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

bool Climbs(const std::string& normalised) {
  std::size_t start = 0;
  while (start <= normalised.size()) {
    std::size_t end = normalised.find('\\', start);
    if (end == std::string::npos) end = normalised.size();
    if (normalised.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

struct TWriteConfinement::TState {
  std::vector<std::string> allowed;  // normalised
  mutable std::mutex mutex;
  std::vector<std::string> refused;

  // True when a write to path may go through; otherwise it is listed.
  bool Allows(std::string_view what, std::string_view path) {
    const std::string text = Normalised(path);
    const bool inside = !Climbs(text) && std::any_of(allowed.begin(), allowed.end(), [&text](const std::string& stem) {
      return !stem.empty() && text.compare(0, stem.size(), stem) == 0;
    });
    if (!inside) {
      const std::lock_guard lock(mutex);
      refused.push_back(std::string(what) + " " + std::string(path));
    }
    return inside;
  }
  TIoResult Refuse(std::string_view what, std::string_view path) {
    const std::lock_guard lock(mutex);
    refused.push_back(std::string(what) + " " + std::string(path));
    return TIoResult::Failure(kAccessDenied, kRefusal);
  }
};

namespace {

using TState = TWriteConfinement::TState;

TIoResult Refusal() { return TIoResult::Failure(kAccessDenied, kRefusal); }

class TConfinedFileSystem final : public TFileSystem {
 public:
  TConfinedFileSystem(TFileSystem& inner, std::shared_ptr<TState> state) : inner_(inner), state_(std::move(state)) {}

  std::unique_ptr<TFile> Open(std::string_view path, TOpenMode mode) override {
    if (mode != TOpenMode::kRead && !state_->Allows("open for writing", path)) {
      const std::string message = "Cannot open file \"" + std::string(path) + "\": " + kRefusal;
      if (mode == TOpenMode::kReadWrite) throw EFOpenError(message);
      throw EFCreateError(message);
    }
    return inner_.Open(path, mode);
  }
  bool FileExists(std::string_view path) override { return inner_.FileExists(path); }
  bool FolderExists(std::string_view path) override { return inner_.FolderExists(path); }
  std::optional<std::uint32_t> Attributes(std::string_view path) override { return inner_.Attributes(path); }
  TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override {
    return state_->Allows("set attributes of", path) ? inner_.SetAttributes(path, bits) : Refusal();
  }
  TIoResult Rename(std::string_view from, std::string_view to, bool replace) override {
    const bool allowed = state_->Allows("rename", from) && state_->Allows("rename to", to);
    return allowed ? inner_.Rename(from, to, replace) : Refusal();
  }
  TIoResult Remove(std::string_view path) override {
    return state_->Allows("delete", path) ? inner_.Remove(path) : Refusal();
  }
  TIoResult MakeFolder(std::string_view path) override {
    return state_->Allows("make folder", path) ? inner_.MakeFolder(path) : Refusal();
  }
  TIoResult RemoveFolder(std::string_view path) override {
    return state_->Allows("remove folder", path) ? inner_.RemoveFolder(path) : Refusal();
  }
  TIoResult SyncFolder(std::string_view path) override { return inner_.SyncFolder(path); }
  void FlushFiles(std::span<TFile* const> files) override { inner_.FlushFiles(files); }
  std::vector<TFindEntry> Find(std::string_view pattern, std::uint32_t attributeMask) override {
    return inner_.Find(pattern, attributeMask);
  }
  std::optional<std::int64_t> ModifiedTime(std::string_view path) override { return inner_.ModifiedTime(path); }
  TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override {
    return state_->Allows("set the time of", path) ? inner_.SetModifiedTime(path, unixSeconds) : Refusal();
  }
  std::string TempFolder() override { return inner_.TempFolder(); }

 private:
  TFileSystem& inner_;
  std::shared_ptr<TState> state_;
};

class TReadOnlyRegistry final : public TRegistry {
 public:
  TReadOnlyRegistry(TRegistry& inner, std::shared_ptr<TState> state) : inner_(inner), state_(std::move(state)) {}

  bool KeyExists(TRegistryRoot root, std::string_view key) override { return inner_.KeyExists(root, key); }
  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view key, std::string_view name) override {
    return inner_.ReadString(root, key, name);
  }
  std::optional<std::uint32_t> ReadNumber(TRegistryRoot root, std::string_view key, std::string_view name) override {
    return inner_.ReadNumber(root, key, name);
  }
  TIoResult WriteString(TRegistryRoot, std::string_view key, std::string_view name, std::string_view) override {
    return state_->Refuse("write registry value", std::string(key) + "\\" + std::string(name));
  }
  TIoResult WriteStrings(TRegistryRoot, std::string_view key,
                         const std::vector<std::pair<std::string, std::string>>&) override {
    return state_->Refuse("write registry values", key);
  }
  TIoResult CreateKey(TRegistryRoot, std::string_view key) override { return state_->Refuse("create registry key", key); }
  TIoResult DeleteValue(TRegistryRoot, std::string_view key, std::string_view name) override {
    return state_->Refuse("delete registry value", std::string(key) + "\\" + std::string(name));
  }

 private:
  TRegistry& inner_;
  std::shared_ptr<TState> state_;
};

class TConfinedShell final : public TShell {
 public:
  TConfinedShell(TShell& inner, std::shared_ptr<TState> state) : inner_(inner), state_(std::move(state)) {}

  bool CopyFiles(const std::vector<std::string>&, std::string_view target) override {
    return (void)state_->Refuse("copy files to", target), false;
  }
  bool DeleteToRecycleBin(std::string_view path) override { return (void)state_->Refuse("recycle", path), false; }
  bool Open(std::string_view target, std::string_view) override { return (void)state_->Refuse("start", target), false; }
  std::optional<TTopWindow> FindTopLevelWindow(std::string_view className, std::string_view title,
                                               std::string_view programFile) override {
    return inner_.FindTopLevelWindow(className, title, programFile);
  }
  bool BringToForeground(const TTopWindow& window) override { return inner_.BringToForeground(window); }
  void SetOwnerWindow(std::uintptr_t window) override { inner_.SetOwnerWindow(window); }

 private:
  TShell& inner_;
  std::shared_ptr<TState> state_;
};

}  // namespace

TWriteConfinement::TWriteConfinement(std::vector<std::string> allowed)
    : state_(std::make_shared<TState>()),
      previousFileSystem_(DefaultFileSystem()),
      previousRegistry_(DefaultRegistry()),
      previousShell_(DefaultShell()) {
  for (const auto& stem : allowed) state_->allowed.push_back(Normalised(stem));
  fileSystem_ = std::make_unique<TConfinedFileSystem>(previousFileSystem_, state_);
  registry_ = std::make_unique<TReadOnlyRegistry>(previousRegistry_, state_);
  shell_ = std::make_unique<TConfinedShell>(previousShell_, state_);
  InstallFileSystem(fileSystem_.get());
  InstallRegistry(registry_.get());
  InstallShell(shell_.get());
}

TWriteConfinement::~TWriteConfinement() {
  InstallFileSystem(&previousFileSystem_);
  InstallRegistry(&previousRegistry_);
  InstallShell(&previousShell_);
}

std::vector<std::string> TWriteConfinement::Refused() const {
  const std::lock_guard lock(state_->mutex);
  return state_->refused;
}

}  // namespace remdo::env
