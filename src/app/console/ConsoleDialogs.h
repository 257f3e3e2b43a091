// Message boxes on the console: every box is written to standard error;
// a question is answered by --yes or --no when given, else asked on the
// terminal, else answered No (the safe answer) with a line saying so.
#ifndef REMDO_APP_CONSOLE_CONSOLEDIALOGS_H_
#define REMDO_APP_CONSOLE_CONSOLEDIALOGS_H_

#include <functional>
#include <optional>
#include <string>

#include "app/console/Terminal.h"
#include "env/Dialogs.h"

namespace remdo::app::console {

class TConsoleDialogs final : public env::TDialogs {
 public:
  TConsoleDialogs(TTerminal& terminal, std::optional<bool> answer) : terminal_(terminal), answer_(answer) {}

  // Called before a box is written, so that a status line is out of the way.
  void SetBeforeBox(std::function<void()> beforeBox) { beforeBox_ = std::move(beforeBox); }
  bool Show(const env::TMessageBox& box) override;

 private:
  bool Ask();

  TTerminal& terminal_;
  const std::optional<bool> answer_;
  std::function<void()> beforeBox_;
};

// A box as the console writes it: the caption, then the text's lines (its
// carriage returns and line feeds break lines) indented by two blanks; UTF-8.
std::string BoxText(const env::TMessageBox& box);

}  // namespace remdo::app::console

#endif  // REMDO_APP_CONSOLE_CONSOLEDIALOGS_H_
