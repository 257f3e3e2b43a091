// Set-up of the Linux host: the registry store that a registry file or a
// Wine prefix fills, the prefix's drive letters, and the folders that tests
// redirect.
#include "env/posix/PosixHost.h"

#include <dirent.h>

#include <cerrno>
#include <cstdlib>

#include "env/DriveMap.h"
#include "env/Errors.h"
#include "env/Host.h"
#include "env/Path.h"
#include "env/Registry.h"
#include "env/SystemInfo.h"
#include "env/posix/PosixFiles.h"

namespace remdo::env {

namespace {

struct THostState {
  TRegistryStore store;
  std::string winePrefix;
  std::string trashFolder;
  std::string processFolder;
};

THostState& Host() {
  static THostState state;
  return state;
}

TIoResult LoadInto(TRegistryStore& store, std::string_view path) {
  try {
    store.LoadFile(RealFileSystem(), path);
    return TIoResult::Success();
  } catch (const ERemdoError& e) {
    return TIoResult::Failure(EIO, e.what());
  }
}

}  // namespace

namespace posix {

TRegistryStore& Store() { return Host().store; }
std::string WinePrefix() { return Host().winePrefix; }

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string TrashFolder() {
  if (!Host().trashFolder.empty()) return Host().trashFolder;
  const std::string dataHome = Environment("XDG_DATA_HOME");
  if (!dataHome.empty()) return dataHome + "/Trash";
  const std::string home = Environment("HOME");
  return home.empty() ? std::string() : home + "/.local/share/Trash";
}

std::string ProcessFolder() { return Host().processFolder.empty() ? std::string("/proc") : Host().processFolder; }

}  // namespace posix

THost CurrentHost() { return THost::kPosix; }

bool UsesWinePrefix() { return !Host().winePrefix.empty(); }

TIoResult LoadWineDrives(std::string_view prefixFolder) {
  const std::string devices = posix::HostPath(JoinPath(prefixFolder, "dosdevices"));
  DIR* dir = devices.empty() ? nullptr : ::opendir(devices.c_str());
  if (dir == nullptr) {
    return TIoResult::Failure(
        ENOENT, "\"" + std::string(prefixFolder) + "\" is not a Wine prefix: it has no dosdevices folder.");
  }
  // Each drive is a link such as "c:" -> "../drive_c"; the link itself is
  // mapped, so the drive follows the prefix's own set-up.
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() == 2 && name[1] == ':') (void)MapDrive(name[0], devices + "/" + name);
  }
  ::closedir(dir);
  return TIoResult::Success();
}

TIoResult UseWinePrefix(std::string_view prefixFolder) {
  const std::string system = JoinPath(prefixFolder, "system.reg");
  const std::string user = JoinPath(prefixFolder, "user.reg");
  if (!RealFileSystem().FileExists(system)) {
    return TIoResult::Failure(ENOENT,
                              "\"" + std::string(prefixFolder) + "\" is not a Wine prefix: it has no system.reg.");
  }
  if (!RealFileSystem().FolderExists(JoinPath(prefixFolder, "dosdevices"))) {
    return TIoResult::Failure(
        ENOENT, "\"" + std::string(prefixFolder) + "\" is not a Wine prefix: it has no dosdevices folder.");
  }
  TRegistryStore store;
  if (TIoResult loaded = LoadInto(store, system); !loaded) return loaded;
  if (RealFileSystem().FileExists(user)) {
    if (TIoResult loaded = LoadInto(store, user); !loaded) return loaded;
  }
  ClearDriveMap();
  if (TIoResult drives = LoadWineDrives(prefixFolder); !drives) return drives;
  Host().store = std::move(store);
  Host().winePrefix = posix::HostPath(prefixFolder);
  ForgetSystemInfo();
  return TIoResult::Success();
}

TIoResult LoadRegistryFile(std::string_view path) {
  ForgetSystemInfo();
  return LoadInto(Host().store, path);
}

void SetTrashFolder(std::string_view hostFolder) { Host().trashFolder = std::string(hostFolder); }
void SetProcessFolder(std::string_view hostFolder) { Host().processFolder = std::string(hostFolder); }

void ResetHost() {
  Host().store.Clear();
  Host().winePrefix.clear();
  Host().trashFolder.clear();
  Host().processFolder.clear();
  ClearDriveMap();
  ForgetSystemInfo();
}

}  // namespace remdo::env
