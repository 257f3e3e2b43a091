// The progress window as a console: visible log lines go to standard output
// as they come (converted to UTF-8); the message panel and the progress are
// drawn as one status line on standard error when that is a terminal;
// Ctrl-C acts as the Cancel button.
#ifndef REMDO_APP_CONSOLE_CONSOLEVIEW_H_
#define REMDO_APP_CONSOLE_CONSOLEVIEW_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/FormView.h"
#include "app/MainForm.h"
#include "app/console/Terminal.h"

namespace remdo::app::console {

class TConsoleView final : public TFormView {
 public:
  explicit TConsoleView(TTerminal& terminal) : terminal_(terminal) {}

  // The form whose state is shown; set before the first event.
  void Attach(TMainForm& form) { form_ = &form; }
  // Clears the status line (before the program prints its last words).
  void ClearStatus();

  void Update() override;
  void ProcessMessages() override;
  bool Terminating() override { return closed_; }
  bool Showing() override { return !closed_; }
  void Close() override;
  void SetClipboardText(std::string_view) override {}
  void SetBusyCursor(bool) override {}
  void FocusCloseButton() override {}
  std::string DateTimeText(std::int64_t unixSeconds) override;

 private:
  std::string StatusText() const;

  TTerminal& terminal_;
  TMainForm* form_ = nullptr;
  std::size_t linesShown_ = 0;
  std::string statusShown_;
  bool closed_ = false;
  bool interruptPending_ = false;
};

// A time as the system's locale writes a date and a time ("%x %X"), or in
// the form 2024-03-01 14:05:09 under the plain C locales (C, C.UTF-8,
// POSIX), whose date has a two-digit year.
std::string LocalDateTimeText(std::int64_t unixSeconds);

}  // namespace remdo::app::console

#endif  // REMDO_APP_CONSOLE_CONSOLEVIEW_H_
