// Path helpers shared by both backends and every layer.
#include "env/Path.h"

#include "env/Text.h"

namespace remdo::env {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

char SeparatorOf(std::string_view path) {
  const bool slash = path.find('/') != std::string_view::npos;
  const bool backslash = path.find('\\') != std::string_view::npos;
  return slash && !backslash ? '/' : '\\';
}

std::string IncludeTrailingSeparator(std::string_view path) {
  if (path.empty() || IsPathSeparator(path.back())) return std::string(path);
  std::string out(path);
  out.push_back(SeparatorOf(path));
  return out;
}

std::string ExcludeTrailingSeparator(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && IsPathSeparator(path[end - 1])) --end;
  const bool driveRoot = end == 2 && path[1] == ':';
  if ((end == 0 || driveRoot) && end < path.size()) ++end;
  return std::string(path.substr(0, end));
}

std::string_view FolderPart(std::string_view path) {
  std::size_t pos = path.size();
  while (pos > 0 && !IsPathSeparator(path[pos - 1]) && path[pos - 1] != ':') --pos;
  return path.substr(0, pos);
}

std::string_view NamePart(std::string_view path) { return path.substr(FolderPart(path).size()); }

std::string_view ExtensionPart(std::string_view path) {
  const std::string_view name = NamePart(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
  const std::string_view old = ExtensionPart(path);
  std::string out(path.substr(0, path.size() - old.size()));
  out.append(extension);
  return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string out = IncludeTrailingSeparator(folder);
  while (!name.empty() && IsPathSeparator(name.front())) name.remove_prefix(1);
  out.append(name);
  return out;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Iterative match with one backtrack point for the last '*'.
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || UpperChar(pattern[p]) == UpperChar(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  // Windows lets "name.*" match a name without extension.
  if (p + 2 == pattern.size() && pattern[p] == '.' && pattern[p + 1] == '*') return true;
  return p == pattern.size();
}

}  // namespace remdo::env
