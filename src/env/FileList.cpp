// File lists and the two shell operations on files that start-up and the
// relocation use.
#include "env/FileList.h"

#include "env/FileSystem.h"
#include "env/Shell.h"

namespace remdo::env {

std::vector<std::string> SplitFileList(std::string_view text) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\0', start);
    if (end == std::string_view::npos) end = text.size();
    if (end == start) break;  // the list's closing NUL
    entries.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

std::string JoinFileList(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    text += entry;
    text.push_back('\0');
  }
  return text;
}

bool CopyFileList(const std::vector<std::string>& entries, std::string_view target, bool replace) {
  if (replace && DefaultFileSystem().FileExists(target)) (void)DeleteToRecycleBin(target);
  return DefaultShell().CopyFiles(entries, target);
}

std::optional<std::string> FirstMatchingFile(const std::vector<std::string>& entries) {
  if (entries.empty()) return std::nullopt;
  for (const TFindEntry& entry : DefaultFileSystem().Find(entries.front(), attr::kAnyFile)) {
    if ((entry.attributes & attr::kDirectory) == 0) return entry.name;
  }
  return std::nullopt;
}

bool DeleteToRecycleBin(std::string_view path) { return DefaultShell().DeleteToRecycleBin(path); }

}  // namespace remdo::env
