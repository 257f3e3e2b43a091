// System facts on Linux. The Windows folders exist only inside a Wine
// prefix, whose registry (loaded into the store) names them; the user's own
// folders come from the XDG user directories; memory from /proc/meminfo,
// free space from statvfs, the program's path from /proc/self/exe.
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>

#include "env/DriveMap.h"
#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/Path.h"
#include "env/SystemFacts.h"
#include "env/Text.h"
#include "env/posix/PosixFiles.h"
#include "env/posix/PosixHost.h"

namespace remdo::env {

namespace {

constexpr std::string_view kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string ReadText(const std::string& hostPath) {
  try {
    TFileStream stream(RealFileSystem(), posix::ProgramPath(hostPath), TOpenMode::kRead);
    std::string text(4096, '\0');
    text.resize(stream.Read(std::as_writable_bytes(std::span<char>(text))));
    return text;
  } catch (const ERemdoError&) {
    return {};
  }
}

// The value of a "NAME=value" or "NAME="value"" line of a shell-style file.
std::string ShellValue(const std::string& text, std::string_view name) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(std::string_view(text).substr(start, end - start));
    if (line.size() > name.size() && line.substr(0, name.size()) == name && line[name.size()] == '=') {
      std::string_view value = line.substr(name.size() + 1);
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      return std::string(value);
    }
    start = end + 1;
  }
  return {};
}

// A folder of ~/.config/user-dirs.dirs, or home + fallback when that exists.
std::string UserDirectory(std::string_view name, std::string_view fallback) {
  const std::string home = posix::Environment("HOME");
  std::string config = posix::Environment("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  std::string folder = config.empty() ? std::string() : ShellValue(ReadText(config + "/user-dirs.dirs"), name);
  if (folder.compare(0, 5, "$HOME") == 0) folder = home + folder.substr(5);
  if (folder.empty() && !home.empty()) folder = home + "/" + std::string(fallback);
  if (folder.empty() || !RealFileSystem().FolderExists(posix::ProgramPath(folder))) return {};
  return IncludeTrailingSeparator(posix::ProgramPath(folder));
}

std::string XdgFolder(const char* variable, std::string_view underHome) {
  std::string folder = posix::Environment(variable);
  const std::string home = posix::Environment("HOME");
  if (folder.empty() && !home.empty()) folder = home + "/" + std::string(underHome);
  return folder.empty() ? std::string() : IncludeTrailingSeparator(posix::ProgramPath(folder));
}

std::string NativeText(TRegistryRoot root, std::string_view key, std::string_view name) {
  const auto value = posix::Store().ReadNative(root, key, name);
  return value ? value->text : std::string();
}

// The two variables a prefix's folders are written with. The user's
// profile is the folder above the desktop (the variable itself lives in a
// key that Wine does not save).
std::string Expanded(std::string text) {
  const std::string desktop = NativeText(TRegistryRoot::kCurrentUser, kShellFolders, "Desktop");
  const std::pair<std::string_view, std::string> variables[] = {
      {"%USERPROFILE%", std::string(FolderPart(ExcludeTrailingSeparator(desktop)))},
      {"%SYSTEMROOT%", NativeText(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "SystemRoot")},
  };
  for (const auto& [name, value] : variables) {
    const std::size_t at = UpperCase(text).find(name);
    if (at != std::string::npos && !value.empty()) text.replace(at, name.size(), ExcludeTrailingSeparator(value));
  }
  return text;
}

// A Windows-form folder from the prefix's registry, when its drive is mapped.
std::string PrefixFolder(TRegistryRoot root, std::string_view key, std::string_view name) {
  const std::string text = Expanded(NativeText(root, key, name));
  if (text.size() < 3 || text[1] != ':' || !MappedDrive(text[0])) return {};
  if (text.find('%') != std::string::npos) return {};  // a variable this program cannot expand
  return IncludeTrailingSeparator(text);
}

std::uint32_t Number(std::string_view text, std::size_t& pos) {
  std::uint32_t value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
    value = value * 10 + static_cast<std::uint32_t>(text[pos++] - '0');
  return value;
}

class TPosixSystemFacts final : public TSystemFacts {
 public:
  std::string SpecialFolder(TSpecialFolder folder) override {
    switch (folder) {
      case TSpecialFolder::kWindows:
        return PrefixFolder(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "SystemRoot");
      case TSpecialFolder::kTemp: {
        std::string temp = PrefixFolder(TRegistryRoot::kCurrentUser, "Environment", "TEMP");
        return temp.empty() ? RealFileSystem().TempFolder() : temp;
      }
      case TSpecialFolder::kPersonal:
        return UserDirectory("XDG_DOCUMENTS_DIR", "Documents");
      case TSpecialFolder::kDesktop:
        return UserDirectory("XDG_DESKTOP_DIR", "Desktop");
      case TSpecialFolder::kAppData:
        return XdgFolder("XDG_CONFIG_HOME", ".config");
      case TSpecialFolder::kLocalAppData:
        return XdgFolder("XDG_DATA_HOME", ".local/share");
      // Linux has no Program Files and no folders shared by every user's
      // programs; outside a Wine prefix these are honestly absent.
      case TSpecialFolder::kProgramFiles:
      case TSpecialFolder::kCommonDocuments:
      case TSpecialFolder::kCommonAppData:
        return {};
    }
    return {};
  }

  // The Windows a loaded Wine prefix stands for; none otherwise.
  TWindowsVersion WindowsVersion() override {
    TWindowsVersion version;
    auto& store = posix::Store();
    const auto major = store.ReadNative(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "CurrentMajorVersionNumber");
    const auto minor = store.ReadNative(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "CurrentMinorVersionNumber");
    if (major && major->kind == TRegistryValueKind::kNumber) {
      version.major = major->number;
      version.minor = minor && minor->kind == TRegistryValueKind::kNumber ? minor->number : 0;
    } else if (const auto text = store.ReadNative(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "CurrentVersion")) {
      std::size_t pos = 0;
      version.major = Number(text->text, pos);
      if (pos < text->text.size() && text->text[pos] == '.') version.minor = Number(text->text, ++pos);
    }
    if (const auto build = store.ReadNative(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "CurrentBuildNumber")) {
      std::size_t pos = 0;
      version.build = Number(build->text, pos);
    }
    return version;
  }

  std::string OsProductName() override {
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
      const std::string name = ShellValue(ReadText(file), "PRETTY_NAME");
      if (!name.empty()) return Utf8ToCp1252(name);
    }
    struct utsname host {};
    if (::uname(&host) != 0) return {};
    return Utf8ToCp1252(std::string(host.sysname) + " " + host.release);
  }

  std::optional<std::uint64_t> PhysicalMemoryBytes() override {
    const std::string text = ReadText("/proc/meminfo");
    const std::size_t at = text.find("MemTotal:");
    if (at == std::string::npos) return std::nullopt;
    std::size_t pos = text.find_first_of("0123456789", at);
    if (pos == std::string::npos) return std::nullopt;
    std::uint64_t kilobytes = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
      kilobytes = kilobytes * 10 + static_cast<std::uint64_t>(text[pos++] - '0');
    return kilobytes * 1024;
  }

  std::optional<std::uint64_t> FreeDiskBytes(std::string_view path) override {
    const std::string host = posix::HostPath(path);
    struct statvfs volume {};
    if (host.empty() || ::statvfs(host.c_str(), &volume) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
  }

  std::string ProgramPath() override {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return posix::ProgramPath(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
  }
};

}  // namespace

TSystemFacts& RealSystemFacts() {
  static TPosixSystemFacts facts;
  return facts;
}

}  // namespace remdo::env
