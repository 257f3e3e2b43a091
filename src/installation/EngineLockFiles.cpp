#include "installation/EngineLockFiles.h"

#include "env/FileSystem.h"
#include "env/Path.h"

namespace remdo::installation {

std::vector<TLockFile> FindLockFiles(std::string_view folder) {
  std::vector<TLockFile> found;
  const std::string prefix = env::IncludeTrailingSeparator(folder);
  try {
    for (const env::TFindEntry& entry : env::DefaultFileSystem().Find(prefix + "*.lck", env::attr::kAnyFile)) {
      const std::string path = prefix + entry.name;
      found.push_back({entry.name, path, env::ProbeHolders(path)});
    }
  } catch (...) {
    // A folder that cannot be listed holds no lock file we could act on.
  }
  return found;
}

}  // namespace remdo::installation
