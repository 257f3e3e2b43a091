// The real terminal of the console program on Linux: standard output and
// error, the terminal tests of standard input and error, and Ctrl-C caught
// as a request to stop instead of ending the process.
#ifndef REMDO_APP_CONSOLE_POSIX_POSIXTERMINAL_H_
#define REMDO_APP_CONSOLE_POSIX_POSIXTERMINAL_H_

#include <optional>
#include <string>

#include "app/console/Terminal.h"

namespace remdo::app::console {

class TPosixTerminal final : public TTerminal {
 public:
  // Installs the Ctrl-C handler for the life of the object.
  TPosixTerminal();
  ~TPosixTerminal() override;
  TPosixTerminal(const TPosixTerminal&) = delete;
  TPosixTerminal& operator=(const TPosixTerminal&) = delete;

  void WriteOut(std::string_view utf8) override;
  void WriteErr(std::string_view utf8) override;
  bool StatusVisible() override { return errIsTerminal_; }
  bool CanAsk() override { return inIsTerminal_; }
  std::optional<std::string> ReadLine() override;
  bool TakeInterrupt() override;
  std::string CurrentFolder() override;

 private:
  const bool errIsTerminal_;
  const bool inIsTerminal_;
};

}  // namespace remdo::app::console

#endif  // REMDO_APP_CONSOLE_POSIX_POSIXTERMINAL_H_
