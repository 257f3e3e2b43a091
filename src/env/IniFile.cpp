// Ini files kept line by line: a write changes one line or inserts one, and
// every other byte of the file comes back as it was (line ends included).
#include "env/IniFile.h"

#include <cstring>
#include <optional>
#include <vector>

#include "env/Errors.h"
#include "env/MemoryLength.h"
#include "env/Text.h"

namespace remdo::env {

namespace {

struct TLines {
  std::vector<std::string> lines;
  std::string lineEnd = "\r\n";
};

std::string ReadAll(TFileSystem& fs, const std::string& path) {
  auto file = fs.Open(path, TOpenMode::kRead);
  std::string text(MemoryLength(file->Size(), path), '\0');
  text.resize(file->ReadAt(0, std::as_writable_bytes(std::span<char>(text))));
  return text;
}

TLines Split(const std::string& text) {
  TLines out;
  const std::size_t firstEnd = text.find('\n');
  if (firstEnd != std::string::npos && (firstEnd == 0 || text[firstEnd - 1] != '\r')) out.lineEnd = "\n";
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.lines.push_back(std::move(line));
    start = end + 1;
  }
  return out;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

// The key of a "key=value" line (comments and other lines have none).
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  const std::size_t equals = trimmed.find('=');
  if (trimmed.empty() || trimmed.front() == ';' || equals == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(0, equals));
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// Where a section's lines are: its heading's index and the index after its
// last line. Nothing when the section is missing.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(const TLines& ini, std::string_view section) {
  for (std::size_t i = 0; i < ini.lines.size(); ++i) {
    const auto name = SectionOf(ini.lines[i]);
    if (!name || !SameText(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < ini.lines.size() && !SectionOf(ini.lines[end])) ++end;
    return std::make_pair(i, end);
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const TLines& ini, std::pair<std::size_t, std::size_t> range, std::string_view key) {
  for (std::size_t i = range.first + 1; i < range.second; ++i) {
    const auto name = KeyOf(ini.lines[i]);
    if (name && SameText(*name, key)) return i;
  }
  return std::nullopt;
}

void Set(TLines& ini, std::string_view section, std::string_view key, std::string_view value) {
  const std::string line = std::string(key) + "=" + std::string(value);
  const auto range = FindSection(ini, section);
  if (!range) {
    if (!ini.lines.empty() && !Trim(ini.lines.back()).empty()) ini.lines.emplace_back();
    ini.lines.push_back("[" + std::string(section) + "]");
    ini.lines.push_back(line);
    return;
  }
  if (const auto at = FindKey(ini, *range, key)) {
    const std::string_view old = ini.lines[*at];
    const std::string_view kept = Trim(old.substr(0, old.find('=')));  // the key as the file spells it
    ini.lines[*at] = std::string(kept) + "=" + std::string(value);
    return;
  }
  std::size_t insert = range->second;
  while (insert > range->first + 1 && Trim(ini.lines[insert - 1]).empty()) --insert;
  ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(insert), line);
}

}  // namespace

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  TLines ini;
  try {
    if (!fileSystem_.FileExists(path_)) return std::string(fallback);
    ini = Split(ReadAll(fileSystem_, path_));
  } catch (const ERemdoError&) {
    return std::string(fallback);
  }
  const auto range = FindSection(ini, section);
  if (!range) return std::string(fallback);
  const auto at = FindKey(ini, *range, key);
  return at ? std::string(ValueOf(ini.lines[*at])) : std::string(fallback);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  const std::string text = ReadString(section, key, "");
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return fallback;
  return digits.find_first_not_of('0') != std::string_view::npos;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string failure = "Unable to write to " + path_ + ". ";
  TLines ini;
  try {
    const auto bits = fileSystem_.Attributes(path_);
    if (bits && (*bits & attr::kReadOnly) != 0) throw EWriteError(failure + "The file is read-only.");
    if (bits) ini = Split(ReadAll(fileSystem_, path_));
  } catch (const EFOpenError& e) {
    throw EWriteError(failure + e.what());
  } catch (const EReadError& e) {
    throw EWriteError(failure + e.what());
  }
  Set(ini, section, key, value);
  std::string text;
  for (const std::string& line : ini.lines) text += line + ini.lineEnd;

  const std::string temporary = path_ + ".~ini";
  try {
    auto file = fileSystem_.Open(temporary, TOpenMode::kCreate);
    file->WriteAt(0, std::as_bytes(std::span<const char>(text)));
    file->Flush();
    file->Close();
  } catch (const ERemdoError& e) {
    (void)fileSystem_.Remove(temporary);
    throw EWriteError(failure + e.what());
  }
  const TIoResult renamed = fileSystem_.Rename(temporary, path_, true);
  if (!renamed) {
    (void)fileSystem_.Remove(temporary);
    throw EWriteError(failure + renamed.reason);
  }
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace remdo::env
