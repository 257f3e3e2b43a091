// Finding the Borland engine's library and reading its version resource.
#include "installation/EngineVersion.h"

#include <cstdio>

#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/Registry.h"

namespace remdo::installation {

namespace {

constexpr std::string_view kEngineKey = "Software\\Borland\\Database Engine";
constexpr std::string_view kLibrary = "IDAPI32.DLL";
constexpr double kNotComputed = -1;

double cachedNumber = kNotComputed;

}  // namespace

std::string FindEngineLibrary() {
  const auto dllPath = env::DefaultRegistry().ReadString(env::TRegistryRoot::kLocalMachine, kEngineKey, "DLLPATH");
  if (!dllPath || dllPath->empty()) return {};
  auto& fs = env::DefaultFileSystem();
  if (fs.FileExists(kLibrary)) return std::string(kLibrary);
  std::size_t start = 0;
  while (start <= dllPath->size()) {
    std::size_t end = dllPath->find(';', start);
    if (end == std::string::npos) end = dllPath->size();
    std::string folder = dllPath->substr(start, end - start);
    // "C:" names the drive's current folder and gets no separator.
    if (!folder.empty() && folder.back() != ':') folder = env::IncludeTrailingSeparator(folder);
    const std::string candidate = folder + std::string(kLibrary);
    if (!folder.empty() && fs.FileExists(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

std::optional<env::TFileVersion> EngineFileVersion() {
  const std::string library = FindEngineLibrary();
  if (library.empty()) return std::nullopt;
  return env::ReadFileVersion(env::DefaultFileSystem(), library);
}

std::string GetEngineVersionText() {
  const std::string library = FindEngineLibrary();
  if (library.empty()) return "not found";
  const auto version = env::ReadFileVersion(env::DefaultFileSystem(), library);
  if (!version) return {};
  char text[40];
  std::snprintf(text, sizeof text, "%u.%u.%u", static_cast<unsigned>(version->Major()),
                static_cast<unsigned>(version->Minor()), static_cast<unsigned>(version->Release()));
  return text;
}

double GetEngineVersionNumber() {
  if (cachedNumber != kNotComputed) return cachedNumber;
  const std::string library = FindEngineLibrary();
  if (library.empty()) return 0;
  const auto version = env::ReadFileVersion(env::DefaultFileSystem(), library);
  // Only the last digit of the minor number counts: 5.11 is 5.1, 4.51 is 4.1.
  cachedNumber = version ? version->Major() + (version->Minor() % 10) / 10.0 : 0;
  return cachedNumber;
}

void ForgetEngineVersionNumber() { cachedNumber = kNotComputed; }

}  // namespace remdo::installation
