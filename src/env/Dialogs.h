// Modal message boxes, a platform service that every layer may call (the
// engine's error box included). Each front-end installs its own TDialogs:
// the window shows real boxes, the console asks on the terminal, tests use a
// scripted implementation that records every box and answers from a queue.
//
// The shared boxes and their looks:
//   ShowErrorBox(text)             caption "! Error !", warning icon, OK
//   ShowWarningBox(text)           caption "! Warning !", warning icon, OK
//   ShowInfoBox(text, caption)     the given caption, no icon, OK
//   AskYesNo(text, caption)        question icon, Yes and No
//   AskWarningYesNo(text, caption) warning icon, Yes and No
// Every call waits until the box is closed.
#ifndef REMDO_ENV_DIALOGS_H_
#define REMDO_ENV_DIALOGS_H_

#include <string>
#include <string_view>

namespace remdo::env {

inline constexpr std::string_view kErrorCaption = "! Error !";
inline constexpr std::string_view kWarningCaption = "! Warning !";

enum class TBoxKind { kError, kWarning, kInfo, kYesNo, kWarningYesNo };

// One box as asked for; texts are Windows-1252.
struct TMessageBox {
  TBoxKind kind = TBoxKind::kInfo;
  std::string text;
  std::string caption;

  bool IsQuestion() const { return kind == TBoxKind::kYesNo || kind == TBoxKind::kWarningYesNo; }
};

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Shows the box and waits. For a question the result is true for Yes;
  // for the other boxes it is true.
  virtual bool Show(const TMessageBox& box) = 0;
};

// The installed implementation; until a front-end installs one, boxes are
// written to standard error and questions are answered No (the safe answer).
TDialogs& Dialogs();
// Installs an implementation (nullptr restores the fallback). The caller
// keeps it alive while installed.
void InstallDialogs(TDialogs* dialogs);

// Installs dialogs for the life of the object and puts the earlier ones
// back, also when what runs in between throws.
class TDialogsScope {
 public:
  explicit TDialogsScope(TDialogs& dialogs) : previous_(&Dialogs()) { InstallDialogs(&dialogs); }
  ~TDialogsScope() { InstallDialogs(previous_); }
  TDialogsScope(const TDialogsScope&) = delete;
  TDialogsScope& operator=(const TDialogsScope&) = delete;

 private:
  TDialogs* const previous_;
};

void ShowErrorBox(std::string_view text);
void ShowWarningBox(std::string_view text);
void ShowInfoBox(std::string_view text, std::string_view caption);
bool AskYesNo(std::string_view text, std::string_view caption);
bool AskWarningYesNo(std::string_view text, std::string_view caption = kWarningCaption);

}  // namespace remdo::env

#endif  // REMDO_ENV_DIALOGS_H_
