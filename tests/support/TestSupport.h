// Helpers shared by the test programs: the sample tables' folder, scratch
// folders that clean up after themselves, and whole-file reads and writes
// through the platform interface.
#ifndef REMDO_TESTS_SUPPORT_TESTSUPPORT_H_
#define REMDO_TESTS_SUPPORT_TESTSUPPORT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::test {

// The folder of the shared sample tables, with a trailing separator, or
// nothing when ../shared is absent (a user's fresh clone).
std::optional<std::string> SamplesFolder();

// Skips the current test when the sample tables are absent; yields the folder.
#define REMDO_SAMPLES_OR_SKIP(var)                                  \
  const auto var##Optional = ::remdo::test::SamplesFolder();        \
  if (!var##Optional) GTEST_SKIP() << "sample tables not present"; \
  const std::string& var = *var##Optional

// Every file below folder whose name matches one of the extensions (".db",
// any case), as full paths, sorted.
std::vector<std::string> FilesBelow(const std::string& folder, const std::vector<std::string>& extensions);

// A fresh, empty folder under the temporary folder, removed with everything
// in it when the object goes.
class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  // The folder's path with a trailing separator.
  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

void RemoveTree(const std::string& folder);

std::vector<std::byte> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<std::byte>& bytes);
void WriteWholeFile(const std::string& path, std::string_view text);
std::vector<std::byte> Bytes(std::string_view text);

}  // namespace remdo::test

#endif  // REMDO_TESTS_SUPPORT_TESTSUPPORT_H_
