// The shell on Linux: the multi-file copy as a plain copy through the file
// system, the "open" verb through xdg-open (a Windows program, known by the
// "MZ" its file begins with, through Wine in the prefix in use), and another
// program's window looked for among the processes: a Windows program runs
// under Wine as a process whose name or first argument is its program file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "env/FileCopy.h"
#include "env/Path.h"
#include "env/Shell.h"
#include "env/Text.h"
#include "env/posix/PosixFiles.h"
#include "env/posix/PosixHost.h"

extern char** environ;

namespace remdo::env {

namespace posix {
bool MoveToTrash(const std::string& hostPath);
}  // namespace posix

namespace {

constexpr std::size_t kCommLength = 15;  // the kernel keeps this much of a process name

bool IsAddress(std::string_view target) {
  return target.find("://") != std::string_view::npos || SameText(target.substr(0, 7), "mailto:");
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    const std::size_t end = std::min(text.find(' ', pos), text.size());
    if (end > pos) words.push_back(Cp1252ToUtf8(text.substr(pos, end - pos)));
    pos = end;
  }
  return words;
}

// Starts argv detached from this process (its own session, no terminal
// input or output) and reports whether the program could be started.
bool Spawn(std::vector<std::string> argv, std::vector<std::string> environment) {
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The middle process ends at once, so the program is never our child
    // and leaves no zombie behind.
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
    ::execvpe(args[0], args.data(), envp.data());
    const int error = errno;
    (void)!::write(report[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  return got == 0;
}

// A Windows program: a file that begins with the "MZ" of a PE image,
// whatever its name.
bool IsWindowsProgram(const std::string& hostPath) {
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::array<char, 2> magic{};
  ssize_t got = 0;
  do {
    got = ::read(fd, magic.data(), magic.size());
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  return got == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

std::string ReadSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  std::array<char, 4096> buffer{};
  ssize_t got = 0;
  while ((got = ::read(fd, buffer.data(), buffer.size())) > 0 && text.size() < 65536)
    text.append(buffer.data(), static_cast<std::size_t>(got));
  ::close(fd);
  return text;
}

// True when the process in folder runs programFile: its name or its first
// argument's last name is that file, and it runs under Wine (its program
// is Wine's loader, or cannot be seen: another user's process).
bool RunsProgram(const std::string& folder, const std::string& programFile) {
  const std::string wanted = UpperCase(programFile);
  std::string comm = ReadSmallFile(folder + "/comm");
  while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0')) comm.pop_back();
  const std::string cmdline = ReadSmallFile(folder + "/cmdline");
  const std::string first = Utf8ToCp1252(cmdline.substr(0, cmdline.find('\0')));
  const bool named = UpperCase(NamePart(first)) == wanted ||
                     (!comm.empty() && UpperCase(Utf8ToCp1252(comm)) == wanted.substr(0, kCommLength));
  if (!named) return false;
  std::array<char, 4096> link{};
  const ssize_t length = ::readlink((folder + "/exe").c_str(), link.data(), link.size() - 1);
  if (length <= 0) return true;
  return LowerCase(NamePart(std::string_view(link.data(), static_cast<std::size_t>(length)))).find("wine") !=
         std::string::npos;
}

class TPosixShell final : public TShell {
 public:
  bool CopyFiles(const std::vector<std::string>& sources, std::string_view target) override {
    return CopyFilesPlainly(DefaultFileSystem(), sources, target);
  }

  bool DeleteToRecycleBin(std::string_view path) override {
    const std::string host = posix::HostPath(path);
    return !host.empty() && posix::MoveToTrash(host);
  }

  bool Open(std::string_view target, std::string_view parameters) override {
    if (IsAddress(target)) return Spawn({"xdg-open", Cp1252ToUtf8(target)}, {});
    const std::string host = posix::HostPath(target);
    if (host.empty()) return false;
    if (!IsWindowsProgram(host)) return Spawn({"xdg-open", host}, {});
    std::vector<std::string> argv{"wine", host};
    for (std::string& word : Words(parameters)) argv.push_back(std::move(word));
    std::vector<std::string> environment;
    if (!posix::WinePrefix().empty()) environment.push_back("WINEPREFIX=" + posix::WinePrefix());
    return Spawn(argv, environment);
  }

  std::optional<TTopWindow> FindTopLevelWindow(std::string_view, std::string_view,
                                               std::string_view programFile) override {
    if (programFile.empty()) return std::nullopt;
    const std::string root = posix::ProcessFolder();
    DIR* dir = ::opendir(root.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<TTopWindow> found;
    const std::string self = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos || name == self) continue;
      if (RunsProgram(root + "/" + name, std::string(programFile))) {
        std::uintptr_t pid = 0;
        for (const char c : name) pid = pid * 10 + static_cast<std::uintptr_t>(c - '0');
        found = TTopWindow{pid};
        break;
      }
    }
    ::closedir(dir);
    return found;
  }

  // A Wine program's window cannot be raised from outside Wine.
  bool BringToForeground(const TTopWindow&) override { return false; }
  void SetOwnerWindow(std::uintptr_t) override {}
};

}  // namespace

TShell& RealShell() {
  static TPosixShell shell;
  return shell;
}

}  // namespace remdo::env
