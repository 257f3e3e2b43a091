// Installs a file system as the program's default for the life of the
// object and puts the earlier one back afterwards.
//
// Header-only, so that the test programs of every layer can use it.
#ifndef REMDO_TESTS_SUPPORT_INSTALLEDFILESYSTEM_H_
#define REMDO_TESTS_SUPPORT_INSTALLEDFILESYSTEM_H_

#include "env/FileSystem.h"

namespace remdo::test {

class TInstalledFileSystem {
 public:
  explicit TInstalledFileSystem(env::TFileSystem& fileSystem) : previous_(&env::DefaultFileSystem()) {
    env::InstallFileSystem(&fileSystem);
  }
  ~TInstalledFileSystem() { env::InstallFileSystem(previous_); }
  TInstalledFileSystem(const TInstalledFileSystem&) = delete;
  TInstalledFileSystem& operator=(const TInstalledFileSystem&) = delete;

 private:
  env::TFileSystem* const previous_;
};

}  // namespace remdo::test

#endif  // REMDO_TESTS_SUPPORT_INSTALLEDFILESYSTEM_H_
