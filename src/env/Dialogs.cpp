// The installed message-box implementation and the shared boxes on top of it.
#include "env/Dialogs.h"

#include <cstdio>

#include "env/Text.h"

namespace remdo::env {

namespace {

// Used before any front-end exists: nothing can be shown, so the box goes to
// standard error and a question gets the safe answer.
class TStderrDialogs final : public TDialogs {
 public:
  bool Show(const TMessageBox& box) override {
    const std::string line = Cp1252ToUtf8(box.caption) + ": " + Cp1252ToUtf8(box.text) + "\n";
    std::fputs(line.c_str(), stderr);
    if (box.IsQuestion()) std::fputs("(no one to answer: No)\n", stderr);
    return !box.IsQuestion();
  }
};

TDialogs* installed = nullptr;

bool ShowBox(TBoxKind kind, std::string_view text, std::string_view caption) {
  return Dialogs().Show(TMessageBox{kind, std::string(text), std::string(caption)});
}

}  // namespace

TDialogs& Dialogs() {
  static TStderrDialogs fallback;
  return installed != nullptr ? *installed : fallback;
}

void InstallDialogs(TDialogs* dialogs) { installed = dialogs; }

void ShowErrorBox(std::string_view text) { ShowBox(TBoxKind::kError, text, kErrorCaption); }
void ShowWarningBox(std::string_view text) { ShowBox(TBoxKind::kWarning, text, kWarningCaption); }
void ShowInfoBox(std::string_view text, std::string_view caption) { ShowBox(TBoxKind::kInfo, text, caption); }
bool AskYesNo(std::string_view text, std::string_view caption) { return ShowBox(TBoxKind::kYesNo, text, caption); }
bool AskWarningYesNo(std::string_view text, std::string_view caption) {
  return ShowBox(TBoxKind::kWarningYesNo, text, caption);
}

}  // namespace remdo::env
