// Line edits of a Wine registry file. A section starts with its key in
// brackets, escaped ("[Software\\Borland\\Database Engine] 1690000000"), and
// runs to the next line that starts with "["; a string value is the line
// "name"="text", both escaped.
#include "env/RegistryTextEdit.h"

#include <cstdio>

#include "env/Text.h"

namespace remdo::env {

namespace {

// Wine's escaping: backslash and quote escaped, characters outside
// printable ASCII written as \xNNNN (one UTF-16 unit; \x0000 cannot occur).
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char16_t unit : Cp1252ToUtf16(text)) {
    if (unit == u'\\' || unit == u'"') {
      out.push_back('\\');
      out.push_back(static_cast<char>(unit));
    } else if (unit >= 0x20 && unit < 0x7F) {
      out.push_back(static_cast<char>(unit));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%04x", static_cast<unsigned>(unit));
      out += hex;
    }
  }
  return out;
}

struct TLine {
  std::size_t start;
  std::size_t end;  // at the line's '\n' or the text's end
};

std::vector<TLine> Lines(std::string_view text) {
  std::vector<TLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back({start, end});
    start = end + 1;
  }
  return lines;
}

bool StartsWithCaseless(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() && UpperCase(line.substr(0, prefix.size())) == UpperCase(prefix);
}

}  // namespace

std::optional<std::string> SetWineRegistryStrings(std::string_view text, std::string_view key,
                                                  const std::vector<std::pair<std::string, std::string>>& values) {
  const std::vector<TLine> lines = Lines(text);
  const std::string header = "[" + Escaped(key) + "]";
  std::size_t first = 0;
  while (first < lines.size() &&
         !StartsWithCaseless(text.substr(lines[first].start, lines[first].end - lines[first].start), header)) {
    ++first;
  }
  if (first == lines.size()) return std::nullopt;
  std::size_t last = first + 1;  // one past the section's last line
  while (last < lines.size() && text.substr(lines[last].start, 1) != "[") ++last;
  // The new section's values go after its last line that is not blank.
  std::size_t insertAfter = last - 1;
  while (insertAfter > first &&
         Trim(text.substr(lines[insertAfter].start, lines[insertAfter].end - lines[insertAfter].start)).empty()) {
    --insertAfter;
  }

  std::vector<std::string> replaced(lines.size());
  std::vector<bool> changed(lines.size(), false);
  std::string added;
  for (const auto& [name, value] : values) {
    const std::string prefix = "\"" + Escaped(name) + "\"=";
    bool found = false;
    for (std::size_t i = first + 1; i < last && !found; ++i) {
      const std::string_view line = text.substr(lines[i].start, lines[i].end - lines[i].start);
      if (!StartsWithCaseless(line, prefix)) continue;
      replaced[i] = std::string(line.substr(0, prefix.size())) + "\"" + Escaped(value) + "\"";
      changed[i] = found = true;
    }
    if (!found) added += prefix + "\"" + Escaped(value) + "\"\n";
  }

  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool hasEnd = lines[i].end < text.size();
    out += changed[i] ? replaced[i] : std::string(text.substr(lines[i].start, lines[i].end - lines[i].start));
    if (hasEnd || i == insertAfter) out.push_back('\n');
    if (i == insertAfter) out += added;
  }
  return out;
}

}  // namespace remdo::env
