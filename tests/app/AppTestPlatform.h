// The platform of one application test: the test platform (registry store,
// fake system facts, recording shell) with a scratch folder as drive C:,
// the data folder "C:\FENRO\" fixed (or left to be located), the program at
// "C:\Remdo\FenroRemdo.exe", and the catalogue's format values reset on the
// way in and out. Header-only; the repair tests use it too.
#ifndef REMDO_TESTS_APP_APPTESTPLATFORM_H_
#define REMDO_TESTS_APP_APPTESTPLATFORM_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/TableCatalogue.h"
#include "env/FileSystem.h"
#include "env/Host.h"
#include "env/TestPlatform.h"
#include "installation/DataFolder.h"

namespace remdo::test {

inline constexpr std::uint64_t kMegabyte = 1048576;
inline constexpr const char* kDataFolder = "C:\\FENRO\\";
inline constexpr const char* kProgramFolder = "C:\\Remdo\\";
inline constexpr const char* kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class TAppPlatform {
 public:
  // fixDataFolder: "C:\FENRO\" is fixed before the first query; otherwise
  // the first query locates the data folder.
  explicit TAppPlatform(bool fixDataFolder = true) {
    catalogue::ResetCatalogueSettings();
    auto& facts = platform.facts;
    facts.productName = "Microsoft Windows 7";
    facts.memoryBytes = 2048 * kMegabyte;
    facts.freeBytes["C:\\"] = 12595 * kMegabyte;  // 12.3 GB
    facts.programPath = std::string(kProgramFolder) + "FenroRemdo.exe";
    drive.Folder(kDataFolder);
    drive.Folder(kProgramFolder);
    if (fixDataFolder) installation::SetDataFolder(kDataFolder);
  }
  ~TAppPlatform() { catalogue::ResetCatalogueSettings(); }
  TAppPlatform(const TAppPlatform&) = delete;
  TAppPlatform& operator=(const TAppPlatform&) = delete;

  // Creates a file (and its folders) given in "C:\..." form.
  void File(std::string_view path, std::string_view text = "x") { drive.File(path, text); }
  void DataFile(std::string_view name, std::string_view text = "x") { File(kDataFolder + std::string(name), text); }
  bool Exists(std::string_view path) { return env::DefaultFileSystem().FileExists(path); }
  bool DataFileExists(std::string_view name) { return Exists(kDataFolder + std::string(name)); }
  std::string Read(std::string_view path) { return drive.Read(path); }
  // A path of drive C: as the system names it, for another process.
  std::string HostPath(std::string_view path) {
    if (env::CurrentHost() == env::THost::kWindows) return drive.fileSystem.Real(path);
    std::string rest(path.substr(3));
    for (char& c : rest) c = c == '\\' ? '/' : c;
    return drive.HostRoot() + "/" + rest;
  }
  void SetProgramFiles(std::string_view folder) {
    platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kCurrentVersionKey, "ProgramFilesDir", folder);
  }

  TTestPlatform platform;
  TScratchDriveC drive;
};

}  // namespace remdo::test

#endif  // REMDO_TESTS_APP_APPTESTPLATFORM_H_
