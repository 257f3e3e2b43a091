// The Linux program's registry: the store, and with a Wine prefix in use
// the prefix's own files behind it. A write goes into system.reg (machine
// keys) or user.reg (user keys) as an edit of the values' lines, through a
// temporary file renamed over the old one, and only while no Wine server
// runs for the prefix: a running server keeps the registry in memory and
// writes its own copy over the file when it saves.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "env/Errors.h"
#include "env/FileStream.h"
#include "env/Registry.h"
#include "env/RegistryTextEdit.h"
#include "env/posix/PosixFiles.h"
#include "env/posix/PosixHost.h"

namespace remdo::env {

namespace {

// Wine's server keeps a lock on "lock" in its folder under /tmp, named by
// the prefix folder's device and inode, for as long as it runs.
bool WineServerRuns(const std::string& prefix) {
  struct stat folder {};
  if (::stat(prefix.c_str(), &folder) != 0) return false;
  char lockPath[160];
  std::snprintf(lockPath, sizeof lockPath, "/tmp/.wine-%u/server-%" PRIx64 "-%" PRIx64 "/lock",
                static_cast<unsigned>(::getuid()), static_cast<std::uint64_t>(folder.st_dev),
                static_cast<std::uint64_t>(folder.st_ino));
  const int fd = ::open(lockPath, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const bool locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  ::close(fd);
  return locked;
}

std::string ReadAll(const std::string& path) {
  TFileStream stream(RealFileSystem(), posix::ProgramPath(path), TOpenMode::kRead);
  std::string text(static_cast<std::size_t>(stream.Size()), '\0');
  stream.ReadBuffer(std::as_writable_bytes(std::span<char>(text)));
  return text;
}

TIoResult WriteFileAtomically(const std::string& path, const std::string& text) {
  const std::string temp = path + ".remdo-new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return TIoResult::Failure(errno, "\"" + temp + "\" could not be created: " + posix::ErrorText(errno));
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const int error = done < text.size() ? errno : (::fsync(fd) != 0 ? errno : 0);
  if (::close(fd) != 0 || error != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = error != 0 ? error : errno;
    ::unlink(temp.c_str());
    return TIoResult::Failure(code, "\"" + path + "\" could not be written: " + posix::ErrorText(code));
  }
  return RealFileSystem().SyncFolder(posix::ProgramPath(path.substr(0, path.rfind('/'))));
}

class TPosixRegistry final : public TRegistry {
 public:
  bool KeyExists(TRegistryRoot root, std::string_view key) override { return posix::Store().KeyExists(root, key); }
  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view key, std::string_view name) override {
    return posix::Store().ReadString(root, key, name);
  }
  std::optional<std::uint32_t> ReadNumber(TRegistryRoot root, std::string_view key, std::string_view name) override {
    return posix::Store().ReadNumber(root, key, name);
  }
  TIoResult WriteString(TRegistryRoot root, std::string_view key, std::string_view name,
                        std::string_view value) override {
    return WriteStrings(root, key, {{std::string(name), std::string(value)}});
  }
  TIoResult WriteStrings(TRegistryRoot root, std::string_view key,
                         const std::vector<std::pair<std::string, std::string>>& values) override {
    auto& store = posix::Store();
    if (!store.KeyExists(root, key)) return TIoResult::Failure(ENOENT, "The key " + std::string(key) + " is missing.");
    if (const std::string prefix = posix::WinePrefix(); !prefix.empty()) {
      if (TIoResult saved = SaveToPrefix(prefix, root, store.ViewedKey(root, key), values); !saved) return saved;
    }
    return store.WriteStrings(root, key, values);
  }
  // Keys and removals stay in memory: the program never makes them in a
  // prefix.
  TIoResult CreateKey(TRegistryRoot root, std::string_view key) override { return posix::Store().CreateKey(root, key); }
  TIoResult DeleteValue(TRegistryRoot root, std::string_view key, std::string_view name) override {
    return posix::Store().DeleteValue(root, key, name);
  }

 private:
  static TIoResult SaveToPrefix(const std::string& prefix, TRegistryRoot root, const std::string& key,
                                const std::vector<std::pair<std::string, std::string>>& values) {
    if (WineServerRuns(prefix)) {
      return TIoResult::Failure(EBUSY, "Wine is running in the prefix " + posix::ProgramPath(prefix) +
                                           "; end its programs (wineserver -k) and start again.");
    }
    const std::string file = prefix + (root == TRegistryRoot::kLocalMachine ? "/system.reg" : "/user.reg");
    std::string text;
    try {
      text = ReadAll(file);
    } catch (const ERemdoError& e) {
      return TIoResult::Failure(EIO, e.what());
    }
    const auto edited = SetWineRegistryStrings(text, key, values);
    if (!edited) return TIoResult::Failure(ENOENT, "The key " + key + " has no section in " + file + ".");
    return WriteFileAtomically(file, *edited);
  }
};

}  // namespace

TRegistry& RealRegistry() {
  static TPosixRegistry registry;
  return registry;
}

}  // namespace remdo::env
