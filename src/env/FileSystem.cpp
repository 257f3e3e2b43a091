// The process-wide choice of file system: the real backend unless a test has
// installed a wrapper around it.
#include "env/FileSystem.h"

namespace remdo::env {

namespace {
TFileSystem* installed = nullptr;
}  // namespace

TFileSystem& DefaultFileSystem() { return installed != nullptr ? *installed : RealFileSystem(); }

void InstallFileSystem(TFileSystem* fileSystem) { installed = fileSystem; }

}  // namespace remdo::env
