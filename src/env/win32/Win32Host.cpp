// On Windows the registry and the drives are the system's own: a Wine
// prefix or a registry file cannot stand in for them.
#include <windows.h>

#include "env/Host.h"

namespace remdo::env {

namespace {

TIoResult NotHere() {
  return TIoResult::Failure(ERROR_NOT_SUPPORTED,
                            "Wine prefixes and registry files are used only by the Linux program.");
}

}  // namespace

THost CurrentHost() { return THost::kWindows; }
bool UsesWinePrefix() { return false; }
TIoResult UseWinePrefix(std::string_view) { return NotHere(); }
TIoResult LoadWineDrives(std::string_view) { return NotHere(); }
TIoResult LoadRegistryFile(std::string_view) { return NotHere(); }
void SetTrashFolder(std::string_view) {}
void SetProcessFolder(std::string_view) {}
void ResetHost() {}

}  // namespace remdo::env
