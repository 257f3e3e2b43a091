// The test platform: a registry store and fake system facts installed for
// one test, a recording shell, and a scratch folder seen as drive C:. On
// Linux the drive table maps C: to the scratch folder; on Windows, where
// drives cannot be remapped, a file system wrapper rewrites "C:\" paths
// into the scratch folder. The wrapper also records which paths were probed
// and can reorder wildcard listings, so tests can see the order of a search
// and the effect of the file system's enumeration order.
//
// Header-only, so that the test programs of other layers can use it too.
#ifndef REMDO_TESTS_ENV_TESTPLATFORM_H_
#define REMDO_TESTS_ENV_TESTPLATFORM_H_

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "env/DriveMap.h"
#include "env/FileCopy.h"
#include "env/FileHolds.h"
#include "env/FileSystem.h"
#include "env/LockProbe.h"
#include "env/Path.h"
#include "env/RegistryStore.h"
#include "env/Shell.h"
#include "env/SystemFacts.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/ForgetInstallation.h"
#include "support/TestSupport.h"

namespace remdo::test {

class TFakeSystemFacts final : public env::TSystemFacts {
 public:
  std::map<env::TSpecialFolder, std::string> folders;
  env::TWindowsVersion version{6, 1, 7601};
  std::string productName;
  std::optional<std::uint64_t> memoryBytes;
  std::map<std::string, std::uint64_t> freeBytes;  // by path as asked
  std::vector<std::string> freeAsked;
  std::string programPath;

  std::string SpecialFolder(env::TSpecialFolder folder) override {
    const auto it = folders.find(folder);
    return it == folders.end() ? std::string() : it->second;
  }
  env::TWindowsVersion WindowsVersion() override { return version; }
  std::string OsProductName() override { return productName; }
  std::optional<std::uint64_t> PhysicalMemoryBytes() override { return memoryBytes; }
  std::optional<std::uint64_t> FreeDiskBytes(std::string_view path) override {
    freeAsked.emplace_back(path);
    const auto it = freeBytes.find(std::string(path));
    if (it == freeBytes.end()) return std::nullopt;
    return it->second;
  }
  std::string ProgramPath() override { return programPath; }
};

// A shell that records what it was asked; copies go through the file
// system (and then afterCopy, which may spoil what arrived while the copy
// still reports its own result; a copy whose first source starts with
// failCopyFrom copies and then reports failure), deletions remove the file.
class TRecordingShell final : public env::TShell {
 public:
  std::vector<std::string> calls;
  std::optional<env::TTopWindow> window;
  std::function<void(std::string_view target)> afterCopy;
  std::string failCopyFrom;

  bool CopyFiles(const std::vector<std::string>& sources, std::string_view target) override {
    std::string call = "copy";
    for (const auto& s : sources) call += " " + s;
    calls.push_back(call + " -> " + std::string(target));
    const bool copied = env::CopyFilesPlainly(env::DefaultFileSystem(), sources, target);
    if (afterCopy) afterCopy(target);
    return copied && (failCopyFrom.empty() || sources.empty() || sources.front().rfind(failCopyFrom, 0) != 0);
  }
  bool DeleteToRecycleBin(std::string_view path) override {
    calls.push_back("recycle " + std::string(path));
    return static_cast<bool>(env::DefaultFileSystem().Remove(path));
  }
  bool Open(std::string_view target, std::string_view parameters) override {
    calls.push_back("open " + std::string(target) + " " + std::string(parameters));
    return true;
  }
  std::optional<env::TTopWindow> FindTopLevelWindow(std::string_view className, std::string_view title,
                                                    std::string_view programFile) override {
    calls.push_back("find " + std::string(className) + "/" + std::string(title) + "/" + std::string(programFile));
    return window;
  }
  bool BringToForeground(const env::TTopWindow&) override {
    calls.push_back("foreground");
    return true;
  }
  void SetOwnerWindow(std::uintptr_t) override {}
};

// Installs a fresh registry, facts and shell; every cached look-up is
// forgotten on the way in and out.
class TTestPlatform {
 public:
  env::TRegistryStore registry;
  TFakeSystemFacts facts;
  TRecordingShell shell;

  TTestPlatform() {
    env::InstallRegistry(&registry);
    env::InstallSystemFacts(&facts);
    env::InstallShell(&shell);
    Forget();
  }
  ~TTestPlatform() {
    env::InstallRegistry(nullptr);
    env::InstallSystemFacts(nullptr);
    env::InstallShell(nullptr);
    Forget();
  }
  TTestPlatform(const TTestPlatform&) = delete;
  TTestPlatform& operator=(const TTestPlatform&) = delete;

  static void Forget() {
    env::ForgetSystemInfo();
    installation::ForgetInstallation();
  }
};

// Wraps the real file system: optionally rewrites one drive letter into a
// host folder, records the probed paths (as the program wrote them), and
// lets a test order wildcard listings.
class TTestFileSystem final : public env::TFileSystem {
 public:
  std::vector<std::string> probes;
  std::function<void(std::vector<env::TFindEntry>&)> orderFind;

  explicit TTestFileSystem(env::TFileSystem& base = env::RealFileSystem()) : base_(base) {}

  void Redirect(char letter, std::string folder) {
    letter_ = env::UpperChar(letter);
    folder_ = env::IncludeTrailingSeparator(folder);
  }

  std::string Real(std::string_view path) const {
    if (letter_ == 0 || path.size() < 2 || path[1] != ':' || env::UpperChar(path[0]) != letter_) {
      return std::string(path);
    }
    std::string_view rest = path.substr(2);
    while (!rest.empty() && env::IsPathSeparator(rest.front())) rest.remove_prefix(1);
    return folder_ + std::string(rest);
  }

  std::unique_ptr<env::TFile> Open(std::string_view path, env::TOpenMode mode) override {
    return base_.Open(Real(path), mode);
  }
  bool FileExists(std::string_view path) override {
    probes.emplace_back(path);
    return base_.FileExists(Real(path));
  }
  bool FolderExists(std::string_view path) override {
    probes.emplace_back(path);
    return base_.FolderExists(Real(path));
  }
  std::optional<std::uint32_t> Attributes(std::string_view path) override { return base_.Attributes(Real(path)); }
  env::TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override {
    return base_.SetAttributes(Real(path), bits);
  }
  env::TIoResult Rename(std::string_view from, std::string_view to, bool replace) override {
    return base_.Rename(Real(from), Real(to), replace);
  }
  env::TIoResult Remove(std::string_view path) override { return base_.Remove(Real(path)); }
  env::TIoResult MakeFolder(std::string_view path) override { return base_.MakeFolder(Real(path)); }
  env::TIoResult RemoveFolder(std::string_view path) override { return base_.RemoveFolder(Real(path)); }
  env::TIoResult SyncFolder(std::string_view path) override { return base_.SyncFolder(Real(path)); }
  std::vector<env::TFindEntry> Find(std::string_view pattern, std::uint32_t mask) override {
    probes.push_back("find " + std::string(pattern));
    auto entries = base_.Find(Real(pattern), mask);
    if (orderFind) orderFind(entries);
    return entries;
  }
  std::optional<std::int64_t> ModifiedTime(std::string_view path) override { return base_.ModifiedTime(Real(path)); }
  env::TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override {
    return base_.SetModifiedTime(Real(path), unixSeconds);
  }
  std::string TempFolder() override { return base_.TempFolder(); }

 private:
  env::TFileSystem& base_;
  char letter_ = 0;
  std::string folder_;
};

// A scratch folder seen as drive C: through the installed TTestFileSystem
// for the life of the object.
class TScratchDriveC {
 public:
  TTestFileSystem fileSystem;

  TScratchDriveC() {
    if (!env::MapDrive('C', scratch_.Path())) {
      fileSystem.Redirect('C', scratch_.Path());
      env::InstallLockProber([this](std::string_view path) { return env::ProbeLockFile(fileSystem.Real(path)); });
      env::InstallFileHolder([this](std::string_view path) { return env::HoldFile(fileSystem.Real(path)); });
    }
    env::InstallFileSystem(&fileSystem);
  }
  ~TScratchDriveC() {
    env::InstallLockProber({});
    env::InstallFileHolder({});
    env::ReleaseHeldFiles();
    env::InstallFileSystem(nullptr);
    (void)env::MapDrive('C', "");
  }
  TScratchDriveC(const TScratchDriveC&) = delete;
  TScratchDriveC& operator=(const TScratchDriveC&) = delete;

  // Creates a folder (and its parents) given in "C:\..." form.
  void Folder(std::string_view path) { ASSERT_TRUE(env::MakeFolders(fileSystem, path)) << path; }
  // Creates a file given in "C:\..." form, with its folder.
  void File(std::string_view path, std::string_view text = "") {
    Folder(env::FolderPart(path));
    WriteWholeFile(std::string(path), text);
  }
  // The scratch folder's own path (a host path on Linux).
  const std::string& HostRoot() const { return scratch_.Path(); }
  std::string Read(std::string_view path) {
    const auto bytes = ReadWholeFile(std::string(path));
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

 private:
  TScratchFolder scratch_;
};

}  // namespace remdo::test

#endif  // REMDO_TESTS_ENV_TESTPLATFORM_H_
