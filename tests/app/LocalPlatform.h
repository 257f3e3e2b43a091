// A platform for one test: a registry store, fake system facts and a
// recording shell installed, a scratch data folder fixed as the data folder,
// and every cached look-up forgotten on the way in and out. Header-only, so
// that the repair tests use it too.
#ifndef REMDO_TESTS_APP_LOCALPLATFORM_H_
#define REMDO_TESTS_APP_LOCALPLATFORM_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "env/DataFolder.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/RegistryStore.h"
#include "env/Shell.h"
#include "env/SystemFacts.h"
#include "env/SystemInfo.h"
#include "paradox/TableCatalogue.h"
#include "support/TestSupport.h"

namespace remdo::test::local {

inline constexpr std::uint64_t kMegabyte = 1048576;

class TFakeFacts final : public env::TSystemFacts {
 public:
  std::string SpecialFolder(env::TSpecialFolder) override { return std::string(); }
  env::TWindowsVersion WindowsVersion() override { return version; }
  std::string OsProductName() override { return productName; }
  std::optional<std::uint64_t> PhysicalMemoryBytes() override { return memoryBytes; }
  std::optional<std::uint64_t> FreeDiskBytes(std::string_view path) override {
    freeAsked.emplace_back(path);
    return freeBytes;
  }
  std::string ProgramPath() override { return programPath; }

  env::TWindowsVersion version{6, 1, 7601};
  std::string productName = "Microsoft Windows 7";
  std::optional<std::uint64_t> memoryBytes = 2048 * kMegabyte;
  std::optional<std::uint64_t> freeBytes = 12595 * kMegabyte;  // 12.3 GB
  std::vector<std::string> freeAsked;
  std::string programPath;
};

class TRecordingShell final : public env::TShell {
 public:
  bool CopyFiles(const std::vector<std::string>& sources, std::string_view target) override {
    std::string call = "copy";
    for (const auto& s : sources) call += " " + s;
    calls.push_back(call + " -> " + std::string(target));
    if (copyResult) return *copyResult;
    return env::CopyFilesPlainly(env::DefaultFileSystem(), sources, target);
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

  std::vector<std::string> calls;
  std::optional<env::TTopWindow> window;
  // When set, copies only answer this instead of copying.
  std::optional<bool> copyResult;
};

class TPlatform {
 public:
  // fixDataFolder: the scratch data folder is fixed before the first query.
  explicit TPlatform(bool fixDataFolder = true) {
    env::InstallRegistry(&registry);
    env::InstallSystemFacts(&facts);
    env::InstallShell(&shell);
    Forget();
    const char separator = env::SeparatorOf(scratch.Path());
    dataFolder = scratch / "FENRO" + separator;
    programFolder = scratch / "prog" + separator;
    (void)env::DefaultFileSystem().MakeFolder(dataFolder);
    (void)env::DefaultFileSystem().MakeFolder(programFolder);
    facts.programPath = programFolder + "FenroRemdo.exe";
    if (fixDataFolder) env::SetDataFolder(dataFolder);
  }
  ~TPlatform() {
    env::InstallRegistry(nullptr);
    env::InstallSystemFacts(nullptr);
    env::InstallShell(nullptr);
    Forget();
  }
  TPlatform(const TPlatform&) = delete;
  TPlatform& operator=(const TPlatform&) = delete;

  static void Forget() {
    env::ForgetSystemInfo();
    env::ForgetDataFolder();
    paradox::ResetCatalogueSettings();
  }

  // Creates a file, and its folders when missing.
  static void Put(const std::string& path, std::string_view content = "x") {
    (void)env::MakeFolders(env::DefaultFileSystem(), env::FolderPart(path));
    WriteWholeFile(path, content);
  }
  // Creates a file (and its folders) in the data folder.
  void DataFile(const std::string& name, std::string_view content = "x") const { Put(dataFolder + name, content); }
  bool DataFileExists(const std::string& name) const { return env::DefaultFileSystem().FileExists(dataFolder + name); }

  TScratchFolder scratch;
  env::TRegistryStore registry;
  TFakeFacts facts;
  TRecordingShell shell;
  std::string dataFolder;
  std::string programFolder;
};

}  // namespace remdo::test::local

#endif  // REMDO_TESTS_APP_LOCALPLATFORM_H_
