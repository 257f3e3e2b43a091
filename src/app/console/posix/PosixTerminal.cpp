// The console's terminal on Linux. Ctrl-C sets a flag that the window model
// reads at its next KeepGoing; the handler is installed without SA_RESTART
// so that a question waiting for input is interrupted too.
#include "app/console/posix/PosixTerminal.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

namespace remdo::app::console {

namespace {

volatile std::sig_atomic_t interrupted = 0;
struct sigaction previousAction {};

extern "C" void OnInterrupt(int) { interrupted = 1; }

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere left to report a failing output stream
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

TPosixTerminal::TPosixTerminal() : errIsTerminal_(::isatty(2) == 1), inIsTerminal_(::isatty(0) == 1) {
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  ::sigaction(SIGINT, &action, &previousAction);
}

TPosixTerminal::~TPosixTerminal() { ::sigaction(SIGINT, &previousAction, nullptr); }

void TPosixTerminal::WriteOut(std::string_view utf8) { WriteAll(1, utf8); }

void TPosixTerminal::WriteErr(std::string_view utf8) { WriteAll(2, utf8); }

std::optional<std::string> TPosixTerminal::ReadLine() {
  std::string line;
  for (;;) {
    char c = 0;
    const ssize_t got = ::read(0, &c, 1);
    if (got < 0 && errno == EINTR) {
      if (interrupted != 0) {
        interrupted = 0;
        return std::nullopt;
      }
      continue;
    }
    if (got <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
    if (c == '\n') return line;
    line += c;
  }
}

bool TPosixTerminal::TakeInterrupt() {
  if (interrupted == 0) return false;
  interrupted = 0;
  return true;
}

std::string TPosixTerminal::CurrentFolder() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

}  // namespace remdo::app::console
