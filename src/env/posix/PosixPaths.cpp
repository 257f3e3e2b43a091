// Resolution of program paths to host paths for the posix backend. A path in
// Windows form ("C:\Data\Orders.db") goes through the drive table; every name
// that does not exist under its exact spelling is looked up without regard
// to case, as Wine does, so "ORDERS.DB" finds Orders.db.
#include "env/posix/PosixFiles.h"

#include <sys/stat.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <type_traits>

#include "env/DriveMap.h"
#include "env/Text.h"
#include "env/posix/FolderListings.h"

namespace remdo::env {

namespace {

std::mutex driveMutex;
std::map<char, std::string>& Drives() {
  static std::map<char, std::string> drives;
  return drives;
}

}  // namespace

bool MapDrive(char letter, std::string_view hostFolder) {
  const char key = UpperChar(letter);
  if (key < 'A' || key > 'Z') return false;
  const std::lock_guard lock(driveMutex);
  if (hostFolder.empty()) {
    Drives().erase(key);
  } else {
    std::string folder(hostFolder);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    Drives()[key] = folder;
  }
  return true;
}

std::optional<std::string> MappedDrive(char letter) {
  const std::lock_guard lock(driveMutex);
  const auto it = Drives().find(UpperChar(letter));
  if (it == Drives().end()) return std::nullopt;
  return it->second;
}

void ClearDriveMap() {
  const std::lock_guard lock(driveMutex);
  Drives().clear();
}

namespace posix {

namespace {

bool Exists(const std::string& hostPath) {
  struct stat st {};
  return ::lstat(hostPath.c_str(), &st) == 0;
}

// The entry of folder whose name equals name without regard to case.
std::string FindCaseless(const std::string& folder, const std::string& name) {
  return FindEntryCaseless(folder, UpperCase(Utf8ToCp1252(name))).value_or(name);
}

// The host path of a missing last name whose folder exists under its exact
// spelling (a new file, most often): only that name is looked up without
// regard to case. Nothing when the folder itself needs resolving, or when
// the path is not a plain folder and name.
std::optional<std::string> ResolveLastName(const std::string& host) {
  const std::size_t slash = host.rfind('/');
  if (host.back() == '/' || host.find("//") != std::string::npos) return std::nullopt;
  if (slash == std::string::npos) return FindCaseless({}, host);
  const std::string folder = slash == 0 ? std::string("/") : host.substr(0, slash);
  if (!Exists(folder)) return std::nullopt;
  return host.substr(0, slash + 1) + FindCaseless(folder, host.substr(slash + 1));
}

}  // namespace

std::string HostPath(std::string_view path) {
  std::string text(path);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  std::string root;
  if (text.size() >= 2 && text[1] == ':') {
    const auto drive = MappedDrive(text[0]);
    if (!drive) return {};
    root = *drive;
    text.erase(0, 2);
  }
  const std::string host = root + Cp1252ToUtf8(text);
  if (host.empty() || Exists(host)) return host;
  if (auto resolved = ResolveLastName(host)) return *resolved;

  // Resolve name by name; stop resolving at the first name that is missing.
  std::string resolved;
  std::size_t pos = 0;
  if (host[0] == '/') { resolved = "/"; pos = 1; }
  bool missing = false;
  while (pos <= host.size()) {
    std::size_t end = host.find('/', pos);
    if (end == std::string::npos) end = host.size();
    const std::string name = host.substr(pos, end - pos);
    if (!name.empty()) {
      std::string candidate = resolved + name;
      if (!missing && !Exists(candidate)) {
        const std::string match = FindCaseless(resolved, name);
        candidate = resolved + match;
        missing = !Exists(candidate);
      }
      resolved = candidate;
      if (end < host.size()) resolved.push_back('/');
    } else if (end < host.size() && !resolved.empty() && resolved.back() != '/') {
      resolved.push_back('/');
    }
    pos = end + 1;
  }
  return resolved;
}

std::string ProgramPath(std::string_view hostPath) { return Utf8ToCp1252(hostPath); }

std::string ErrorText(int error) {
  std::array<char, 256> buffer{};
  // GNU strerror_r returns the text; the XSI variant fills the buffer.
  const auto result = ::strerror_r(error, buffer.data(), buffer.size());
  if constexpr (std::is_same_v<std::remove_cv_t<decltype(result)>, char*>) {
    return Utf8ToCp1252(result);
  } else {
    return Utf8ToCp1252(buffer.data());
  }
}

}  // namespace posix
}  // namespace remdo::env
