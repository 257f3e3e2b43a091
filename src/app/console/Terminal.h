// What the console front-end needs of its terminal: the two output streams,
// whether a person can answer, a line of input, and Ctrl-C. The posix
// backend (console/posix) gives the real ones; tests give scripted ones.
// Texts are UTF-8 here: the console converts at this edge.
#ifndef REMDO_APP_CONSOLE_TERMINAL_H_
#define REMDO_APP_CONSOLE_TERMINAL_H_

#include <optional>
#include <string>
#include <string_view>

namespace remdo::app::console {

class TTerminal {
 public:
  virtual ~TTerminal() = default;

  // Standard output (the log lines) and standard error (everything else).
  virtual void WriteOut(std::string_view utf8) = 0;
  virtual void WriteErr(std::string_view utf8) = 0;
  // Standard error is a terminal: the status line may be drawn on it.
  virtual bool StatusVisible() = 0;
  // A person can answer questions: standard input is a terminal.
  virtual bool CanAsk() = 0;
  // One line typed by the person, without its line end; nothing at end of
  // input or when Ctrl-C interrupted the reading (that Ctrl-C is then used
  // up: TakeInterrupt does not report it).
  virtual std::optional<std::string> ReadLine() = 0;
  // True once for every Ctrl-C since the last call.
  virtual bool TakeInterrupt() = 0;
  // The current folder, for relative paths given on the command line; empty
  // when unknown.
  virtual std::string CurrentFolder() = 0;
};

}  // namespace remdo::app::console

#endif  // REMDO_APP_CONSOLE_TERMINAL_H_
