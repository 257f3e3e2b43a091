// The machine's look-ups, each made once per process. A look-up is kept as
// an empty optional until it is first made ("not yet looked up"); after that
// its text, even an empty one, is the answer for the life of the process.
#include "env/SystemInfo.h"

#include <cmath>

#include "env/Path.h"
#include "env/SystemFacts.h"
#include "env/Text.h"

namespace remdo::env {

namespace {

constexpr std::string_view kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kCommonShellFolders =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::size_t kWindowsFolderLimit = 246;

struct TCache {
  std::optional<std::string> programFiles, desktop, personal, localAppData, commonDocuments, commonAppData;
  std::optional<std::string> windows, temp, programPath, productName;
  std::uint32_t majorVersion = 0;  // 0: not yet known
};

TCache& Cache() {
  static TCache cache;
  return cache;
}

// A registry folder, or the system's own answer when the value is missing.
std::string RegistryFolder(TRegistryRoot root, std::string_view key, std::string_view name, TSpecialFolder own) {
  std::string folder = ReadRegistryString(root, key, name);
  if (folder.empty()) folder = DefaultSystemFacts().SpecialFolder(own);
  return IncludeTrailingSeparator(folder);
}

const std::string& Cached(std::optional<std::string>& slot, TRegistryRoot root, std::string_view key,
                          std::string_view name, TSpecialFolder own) {
  if (!slot) slot = RegistryFolder(root, key, name, own);
  return *slot;
}

std::string Lowered(std::string_view path) {
  std::string text = LowerCase(path);
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return !prefix.empty() && text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

char DriveOf(std::string_view folder) {
  const char c = folder.empty() ? '\0' : UpperChar(folder[0]);
  return c >= 'A' && c <= 'Z' ? c : 'C';
}

}  // namespace

std::string ReadRegistryString(TRegistryRoot root, std::string_view key, std::string_view name) {
  return DefaultRegistry().ReadString(root, key, name).value_or(std::string());
}

std::string GetProgramFilesFolder() {
  return Cached(Cache().programFiles, TRegistryRoot::kLocalMachine, kCurrentVersion, "ProgramFilesDir",
                TSpecialFolder::kProgramFiles);
}

std::string GetDesktopFolder() {
  return Cached(Cache().desktop, TRegistryRoot::kCurrentUser, kUserShellFolders, "Desktop", TSpecialFolder::kDesktop);
}

std::string GetPersonalFolder() {
  return Cached(Cache().personal, TRegistryRoot::kCurrentUser, kUserShellFolders, "Personal",
                TSpecialFolder::kPersonal);
}

std::string GetLocalAppDataFolder() {
  return Cached(Cache().localAppData, TRegistryRoot::kCurrentUser, kUserShellFolders, "Local AppData",
                TSpecialFolder::kLocalAppData);
}

std::string GetCommonDocumentsFolder() {
  return Cached(Cache().commonDocuments, TRegistryRoot::kLocalMachine, kCommonShellFolders, "Common Documents",
                TSpecialFolder::kCommonDocuments);
}

std::string GetCommonAppDataFolder() {
  return Cached(Cache().commonAppData, TRegistryRoot::kLocalMachine, kCommonShellFolders, "Common AppData",
                TSpecialFolder::kCommonAppData);
}

std::string GetWindowsFolder() {
  auto& slot = Cache().windows;
  if (!slot) {
    const std::string folder = DefaultSystemFacts().SpecialFolder(TSpecialFolder::kWindows);
    slot = ExcludeTrailingSeparator(folder).size() >= kWindowsFolderLimit ? std::string()
                                                                          : IncludeTrailingSeparator(folder);
  }
  return *slot;
}

std::string GetTempFolder() {
  auto& slot = Cache().temp;
  if (!slot) slot = IncludeTrailingSeparator(DefaultSystemFacts().SpecialFolder(TSpecialFolder::kTemp));
  return *slot;
}

std::string GetProgramPath() {
  auto& slot = Cache().programPath;
  if (!slot) slot = DefaultSystemFacts().ProgramPath();
  return *slot;
}

std::string GetProgramFolder() { return std::string(FolderPart(GetProgramPath())); }

std::string GetWindowsProductName() {
  auto& slot = Cache().productName;
  if (!slot) {
    std::string name = ReadRegistryString(TRegistryRoot::kLocalMachine, kCurrentVersion, "ProductName");
    if (name.empty()) name = ReadRegistryString(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "ProductName");
    if (name.empty()) name = DefaultSystemFacts().OsProductName();
    slot = name;
  }
  return *slot;
}

bool IsLaterWindows() {
  std::uint32_t& major = Cache().majorVersion;
  if (major == 0) major = DefaultSystemFacts().WindowsVersion().major;
  // A 64-bit Windows XP or Server 2003 (major 5) installs 32-bit programs
  // under "Program Files (x86)", as Vista and later do.
  if (major == 5 && GetProgramFilesFolder().find("(x86)") != std::string::npos) major = 6;
  return major > 5;
}

std::string GetProgramFilesRoot() {
  const std::string folder = GetProgramFilesFolder();
  if (folder.empty()) return {};
  return folder.substr(0, 3) + "Program Files\\";
}

bool IsUnderProgramFiles(std::string_view path) {
  const std::string folder = GetProgramFilesFolder();
  if (folder.empty()) return false;  // an empty prefix would put every path under it
  const std::string lowered = Lowered(path) + "\\";
  return StartsWith(lowered, Lowered(folder)) || StartsWith(lowered, Lowered(GetProgramFilesRoot()));
}

char GetProgramDrive() { return DriveOf(GetProgramFolder()); }

char GetProgramFilesDrive() { return DriveOf(GetProgramFilesFolder()); }

std::uint64_t PhysicalMemoryMegabytes() {
  const auto bytes = DefaultSystemFacts().PhysicalMemoryBytes();
  if (!bytes) return 0;
  return static_cast<std::uint64_t>(std::llround(static_cast<double>(*bytes) / 1048576.0));
}

std::string MemoryLine() { return "    Memory:       " + std::to_string(PhysicalMemoryMegabytes()) + " MB allocated"; }

std::optional<std::uint64_t> DriveFreeBytes(std::string_view folder) {
  if (folder.size() >= 2 && folder[1] == ':') {
    const char letter = UpperChar(folder[0]);
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    return DefaultSystemFacts().FreeDiskBytes(std::string(1, letter) + ":\\");
  }
  if (folder.empty()) return std::nullopt;
  return DefaultSystemFacts().FreeDiskBytes(folder);
}

void ForgetSystemInfo() { Cache() = TCache{}; }

}  // namespace remdo::env
