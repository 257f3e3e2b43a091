// Delete to the recycle bin on Linux: the freedesktop trash. The file moves
// to <trash>/files/<name> beside <trash>/info/<name>.trashinfo, which tells
// where it came from and when, so that the desktop can put it back. A file
// on another volume than the user's trash goes to that volume's own
// .Trash-<uid> folder. When neither is possible the file stays where it is:
// it is never deleted outright.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "env/posix/PosixHost.h"

namespace remdo::env::posix {

namespace {

bool MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

bool MakeFolders(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    struct stat st {};
    const std::string parent = path.substr(0, slash);
    if (::stat(parent.c_str(), &st) != 0 && !MakeFolders(parent)) return false;
  }
  return MakeFolder(path);
}

std::string PercentEncoded(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       byte == '/' || byte == '-' || byte == '_' || byte == '.' || byte == '~';
    if (plain) {
      out.push_back(c);
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::string Absolute(const std::string& hostPath) {
  if (!hostPath.empty() && hostPath[0] == '/') return hostPath;
  char folder[4096];
  if (::getcwd(folder, sizeof folder) == nullptr) return hostPath;
  return std::string(folder) + "/" + hostPath;
}

// Claims a name in the trash by creating its info file exclusively (two
// deletions of files with the same name get "name", "name.2", ...) and
// writes the info. The claimed name, or empty.
std::string ClaimName(const std::string& trash, const std::string& name, const std::string& original) {
  const std::string info = "[Trash Info]\nPath=" + PercentEncoded(original) + "\nDeletionDate=" + Now() + "\n";
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate = n == 1 ? name : name + "." + std::to_string(n);
    const std::string infoPath = trash + "/info/" + candidate + ".trashinfo";
    struct stat st {};
    if (::lstat((trash + "/files/" + candidate).c_str(), &st) == 0) continue;
    const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return {};
    const bool written = ::write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
    if (::close(fd) != 0 || !written) {
      ::unlink(infoPath.c_str());
      return {};
    }
    return candidate;
  }
  return {};
}

// Moves the file into trash; errno tells why when it could not.
bool MoveInto(const std::string& trash, const std::string& original) {
  if (trash.empty() || !MakeFolders(trash + "/files") || !MakeFolders(trash + "/info")) return false;
  const std::string name = original.substr(original.rfind('/') + 1);
  const std::string claimed = ClaimName(trash, name, original);
  if (claimed.empty()) return false;
  if (::rename(original.c_str(), (trash + "/files/" + claimed).c_str()) == 0) return true;
  const int error = errno;
  ::unlink((trash + "/info/" + claimed + ".trashinfo").c_str());
  errno = error;
  return false;
}

// The top folder of the volume holding path: the highest folder above it
// on the same device.
std::string VolumeTop(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  std::string top = path.substr(0, path.rfind('/'));
  for (;;) {
    const std::size_t slash = top.rfind('/');
    if (slash == std::string::npos || top.empty()) return top.empty() ? "/" : top;
    const std::string parent = slash == 0 ? "/" : top.substr(0, slash);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) return top;
    if (parent == "/") return parent;
    top = parent;
  }
}

}  // namespace

bool MoveToTrash(const std::string& hostPath) {
  const std::string original = Absolute(hostPath);
  struct stat st {};
  if (::lstat(original.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (MoveInto(TrashFolder(), original)) return true;
  if (errno != EXDEV) return false;
  const std::string top = VolumeTop(original);
  if (top.empty()) return false;
  return MoveInto((top == "/" ? std::string() : top) + "/.Trash-" + std::to_string(::getuid()), original);
}

}  // namespace remdo::env::posix
