// A scratch folder for the fuzz targets that work on files in a folder (the
// journal, commit markers, the table check): made once per process under
// the system's temporary folder (a memory file system where /dev/shm
// exists), emptied, subfolders included, before each input, and removed
// when the process ends normally.
#ifndef REMDO_FUZZ_FUZZFOLDER_H_
#define REMDO_FUZZ_FUZZFOLDER_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "env/FileSystem.h"

namespace remdo::fuzz {

class TFuzzFolder {
 public:
  // The folder, with a trailing separator.
  static const std::string& Path() {
    static const TOwned folder;
    return folder.path;
  }

  // Removes everything inside folder (Path() by default).
  static void Clear(const std::string& folder = Path()) {
    env::TFileSystem& fs = env::RealFileSystem();
    for (const auto& entry : fs.Find(folder + "*", env::attr::kAnyFile | env::attr::kDirectory)) {
      if (entry.name == "." || entry.name == "..") continue;
      if ((entry.attributes & env::attr::kDirectory) != 0) {
        Clear(folder + entry.name + "/");
        (void)fs.RemoveFolder(folder + entry.name);
      } else {
        (void)fs.SetAttributes(folder + entry.name, 0);
        (void)fs.Remove(folder + entry.name);
      }
    }
  }

  static void Write(std::string_view name, std::span<const std::byte> bytes) {
    auto file = env::RealFileSystem().Open(Path() + std::string(name), env::TOpenMode::kCreate);
    file->WriteAt(0, bytes);
    file->Close();
  }

 private:
  // The folder goes with the process when it ends normally.
  struct TOwned {
    TOwned() : path(Make()) {}
    ~TOwned() {
      Clear(path);
      (void)env::RealFileSystem().RemoveFolder(path);
    }
    const std::string path;
  };

  static std::string Make() {
    env::TFileSystem& fs = env::RealFileSystem();
    const std::string base = fs.FolderExists("/dev/shm/") ? std::string("/dev/shm/") : fs.TempFolder();
    for (int n = 0;; ++n) {
      const std::string path = base + "remdo-fuzz-" + std::to_string(n) + "/";
      if (!fs.FolderExists(path) && fs.MakeFolder(path)) return path;
    }
  }
};

}  // namespace remdo::fuzz

#endif  // REMDO_FUZZ_FUZZFOLDER_H_
