// The console view of the progress window.
#include "app/console/ConsoleView.h"

#include <clocale>
#include <cstring>
#include <ctime>

#include "env/Text.h"

namespace remdo::app::console {

void TConsoleView::Update() {
  if (form_ == nullptr) return;
  const auto& lines = form_->RepairProgressMemo.lines;
  if (linesShown_ < lines.size()) {
    ClearStatus();
    std::string text;
    for (; linesShown_ < lines.size(); ++linesShown_) text += env::Cp1252ToUtf8(lines[linesShown_]) + "\n";
    terminal_.WriteOut(text);
  }
  if (!terminal_.StatusVisible() || closed_) return;
  const std::string status = StatusText();
  if (status == statusShown_) return;
  // "\r" and erase-to-end redraw the one status line in place.
  terminal_.WriteErr("\r" + env::Cp1252ToUtf8(status) + "\x1b[K");
  statusShown_ = status;
}

std::string TConsoleView::StatusText() const {
  std::string text = form_->MsgPanel.caption;
  if (form_->ProgressBar1.visible && form_->ProgressBar1.position > 0) {
    text += (text.empty() ? "" : "  ") + std::to_string(form_->ProgressBar1.position) + "%";
  }
  return text;
}

void TConsoleView::ClearStatus() {
  if (statusShown_.empty()) return;
  terminal_.WriteErr("\r\x1b[K");
  statusShown_.clear();
}

void TConsoleView::ProcessMessages() {
  Update();
  if (terminal_.TakeInterrupt()) interruptPending_ = true;
  // Ctrl-C is a click on Cancel, which cannot be clicked while a step has
  // disabled it; it waits for the button to come back.
  if (interruptPending_ && form_ != nullptr && !closed_ && form_->CloseBtn.enabled) {
    interruptPending_ = false;
    ClearStatus();
    form_->CloseBtnClick();
  }
}

void TConsoleView::Close() {
  Update();
  ClearStatus();
  closed_ = true;
}

std::string TConsoleView::DateTimeText(std::int64_t unixSeconds) { return LocalDateTimeText(unixSeconds); }

std::string LocalDateTimeText(std::int64_t unixSeconds) {
  const std::time_t time = static_cast<std::time_t>(unixSeconds);
  const std::tm* local = std::localtime(&time);
  if (local == nullptr) return std::string();
  const char* locale = std::setlocale(LC_TIME, nullptr);
  const std::string_view name = locale == nullptr ? std::string_view("C") : std::string_view(locale);
  const bool plain = name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
  char text[128] = {};
  const std::size_t length = std::strftime(text, sizeof text, plain ? "%Y-%m-%d %H:%M:%S" : "%x %X", local);
  return env::Utf8ToCp1252(std::string_view(text, length));
}

}  // namespace remdo::app::console
