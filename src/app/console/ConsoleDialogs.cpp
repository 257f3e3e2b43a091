// Message boxes on the console.
#include "app/console/ConsoleDialogs.h"

#include <vector>

#include "env/Text.h"

namespace remdo::app::console {

std::string BoxText(const env::TMessageBox& box) {
  std::vector<std::string> lines(1);
  const std::string& text = box.text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  while (lines.size() > 1 && env::Trim(lines.back()).empty()) lines.pop_back();
  std::string out = env::Cp1252ToUtf8(box.caption) + "\n";
  for (const auto& line : lines) {
    const std::string_view trimmed = env::Trim(line);
    out += trimmed.empty() ? std::string() : "  " + env::Cp1252ToUtf8(line);
    out += "\n";
  }
  return out;
}

bool TConsoleDialogs::Show(const env::TMessageBox& box) {
  if (beforeBox_) beforeBox_();
  terminal_.WriteErr(BoxText(box));
  if (!box.IsQuestion()) return true;
  if (answer_) {
    terminal_.WriteErr(*answer_ ? "  -> Yes (--yes)\n" : "  -> No (--no)\n");
    return *answer_;
  }
  if (!terminal_.CanAsk()) {
    terminal_.WriteErr("  -> No (no terminal to answer; --yes or --no answers questions)\n");
    return false;
  }
  return Ask();
}

bool TConsoleDialogs::Ask() {
  for (;;) {
    terminal_.WriteErr("  Yes or No? [y/n] ");
    const std::optional<std::string> line = terminal_.ReadLine();
    if (!line) {
      terminal_.WriteErr("\n  -> No\n");
      return false;
    }
    const std::string word = env::LowerCase(env::Trim(*line));
    if (word == "y" || word == "yes") return true;
    if (word == "n" || word == "no") return false;
  }
}

}  // namespace remdo::app::console
