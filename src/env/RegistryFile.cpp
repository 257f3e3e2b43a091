// Registry files read into the store. Two formats:
//
//   Wine's own (system.reg, user.reg):
//     WINE REGISTRY Version 2
//     ;; All keys relative to REGISTRY\\Machine
//     [Software\\Borland\\Database Engine] 1690000000
//     "DLLPATH"="C:\\Program Files\\Common Files\\Borland Shared\\BDE"
//     "Path"=str(2):"%SystemRoot%\\temp"        (expandable string)
//     "Count"=dword:00000010
//   Key and value names and strings are escaped C-style; characters outside
//   ASCII are written \xNNNN (one UTF-16 unit). The root is in the header.
//
//   regedit exports (REGEDIT4 in the ANSI code page, "Windows Registry
//   Editor Version 5.00" in UTF-16):
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Borland\Database Engine]
//     "DLLPATH"="C:\\Program Files\\Common Files\\Borland Shared\\BDE"
//     "Path"=hex(2):25,00,53,00,...             (expandable string as bytes)
//   Key names are written plainly with their root; "[-key]" and "name"=-
//   remove.
//
// Both: hex data may continue over lines ending in a backslash. Lines that
// cannot be read are skipped and counted, as Wine's own loader does.
#include <cstring>
#include <vector>

#include "env/Errors.h"
#include "env/MemoryLength.h"
#include "env/FileStream.h"
#include "env/RegistryStore.h"
#include "env/Text.h"

namespace remdo::env {

namespace {

enum class TFormat { kWine, kRegedit4, kRegedit5 };

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The character of a one-letter escape such as \n; any other character
// stands for itself (\\, \", \[).
char SimpleEscape(char e) {
  constexpr std::string_view kLetters = "abefnrtv";
  constexpr std::string_view kMeanings = "\a\b\x1B\f\n\r\t\v";
  const std::size_t at = kLetters.find(e);
  return at == std::string_view::npos ? e : kMeanings[at];
}

void AppendUnit(std::string& out, char16_t unit) { out += Utf16ToCp1252(std::u16string(1, unit)); }

// Reads an escaped text from pos up to the unescaped stop character, which
// is consumed. Nothing when the text ends first, unless stop is NUL (read to
// the end).
std::optional<std::string> Unescape(std::string_view line, std::size_t& pos, char stop) {
  std::string out;
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == stop) return out;
    if (c != '\\' || pos >= line.size()) {
      out.push_back(c);
      continue;
    }
    const char e = line[pos++];
    switch (e) {
      case 'x': {
        unsigned unit = 0;
        int digits = 0;
        while (digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0) {
          unit = unit * 16 + static_cast<unsigned>(HexDigit(line[pos++]));
          ++digits;
        }
        AppendUnit(out, static_cast<char16_t>(unit));
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned value = static_cast<unsigned>(e - '0');
          for (int i = 0; i < 2 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++i) {
            value = value * 8 + static_cast<unsigned>(line[pos++] - '0');
          }
          AppendUnit(out, static_cast<char16_t>(value));
        } else {
          out.push_back(SimpleEscape(e));
        }
    }
  }
  if (stop == '\0') return out;
  return std::nullopt;
}

std::optional<std::vector<unsigned char>> HexBytes(std::string_view text) {
  std::vector<unsigned char> bytes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == ',' || c == ' ' || c == '\t' || c == '\\') {
      ++pos;
      continue;
    }
    if (pos + 1 >= text.size() || HexDigit(c) < 0 || HexDigit(text[pos + 1]) < 0) return std::nullopt;
    bytes.push_back(static_cast<unsigned char>(HexDigit(c) * 16 + HexDigit(text[pos + 1])));
    pos += 2;
  }
  return bytes;
}

std::string StringFromBytes(const std::vector<unsigned char>& bytes, bool utf16) {
  std::string out;
  if (utf16) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    out = Utf16ToCp1252(units);
  } else {
    out.assign(bytes.begin(), bytes.end());
  }
  const std::size_t nul = out.find('\0');
  if (nul != std::string::npos) out.resize(nul);
  return out;
}

// The data after '=': nothing when unreadable; a value of kind kOther with
// the name "-" stands for a removal.
std::optional<TRegistryValue> ParseData(std::string_view data, TFormat format) {
  TRegistryValue value;
  if (data == "-") {
    value.kind = TRegistryValueKind::kOther;
    value.name = "-";
    return value;
  }
  std::size_t pos = 0;
  auto quoted = [&](TRegistryValueKind kind) -> std::optional<TRegistryValue> {
    if (pos >= data.size() || data[pos] != '"') return std::nullopt;
    ++pos;
    auto text = Unescape(data, pos, '"');
    if (!text) return std::nullopt;
    value.kind = kind;
    value.text = std::move(*text);
    return value;
  };
  if (data.substr(0, 1) == "\"") return quoted(TRegistryValueKind::kString);
  if (data.substr(0, 7) == "str(2):") {
    pos = 7;
    return quoted(TRegistryValueKind::kExpandString);
  }
  if (data.substr(0, 4) == "str(") {
    pos = data.find(':');
    if (pos == std::string_view::npos) return std::nullopt;
    ++pos;
    return quoted(TRegistryValueKind::kOther);
  }
  if (data.substr(0, 6) == "dword:") {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    for (const char c : digits) {
      if (HexDigit(c) < 0) return std::nullopt;
      value.number = value.number * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    value.kind = TRegistryValueKind::kNumber;
    return value;
  }
  if (data.substr(0, 3) != "hex") return std::nullopt;
  const std::size_t colon = data.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view type = data.substr(3, colon - 3);
  const auto bytes = HexBytes(data.substr(colon + 1));
  if (!bytes) return std::nullopt;
  const bool utf16 = format != TFormat::kRegedit4;
  if (type == "(1)" || type == "(2)") {
    value.kind = type == "(1)" ? TRegistryValueKind::kString : TRegistryValueKind::kExpandString;
    value.text = StringFromBytes(*bytes, utf16);
  } else if (type == "(4)" && bytes->size() == 4) {
    value.kind = TRegistryValueKind::kNumber;
    value.number = (*bytes)[0] | (*bytes)[1] << 8 | (*bytes)[2] << 16 | static_cast<std::uint32_t>((*bytes)[3]) << 24;
  } else {
    value.kind = TRegistryValueKind::kOther;
  }
  return value;
}

// The file's text as Windows-1252 lines, hex continuations joined.
std::vector<std::string> Lines(std::string_view raw) {
  std::string text;
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
    std::u16string units;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
      units.push_back(
          static_cast<char16_t>(static_cast<unsigned char>(raw[i]) | static_cast<unsigned char>(raw[i + 1]) << 8));
    }
    text = Utf16ToCp1252(units);
  } else if (raw.substr(0, 3) == "\xEF\xBB\xBF") {  // UTF-8 byte order mark
    text = Utf8ToCp1252(raw.substr(3));
  } else {
    text = std::string(raw);
  }
  std::vector<std::string> lines;
  std::string pending;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (!pending.empty()) line = Trim(line);
    const bool continues =
        !line.empty() && line.back() == '\\' && (!pending.empty() || line.find("=hex") != std::string_view::npos);
    pending += line;
    if (!continues) {
      lines.push_back(std::move(pending));
      pending.clear();
    }
    start = end + 1;
  }
  if (!pending.empty()) lines.push_back(std::move(pending));
  return lines;
}

std::optional<TRegistryRoot> RootOfWineHeader(std::string_view line) {
  std::size_t pos = 0;
  const std::string header = UpperCase(*Unescape(line, pos, '\0'));
  if (header.find("\\MACHINE") != std::string::npos) return TRegistryRoot::kLocalMachine;
  if (header.find("\\USER\\S-") != std::string::npos) return TRegistryRoot::kCurrentUser;
  return std::nullopt;
}

// "HKEY_LOCAL_MACHINE\Software\x" -> root and "Software\x".
std::optional<std::pair<TRegistryRoot, std::string>> SplitRegeditKey(std::string_view name) {
  const std::size_t slash = name.find('\\');
  const std::string root = UpperCase(name.substr(0, slash));
  const std::string rest = slash == std::string_view::npos ? std::string() : std::string(name.substr(slash + 1));
  if (root == "HKEY_LOCAL_MACHINE" || root == "HKLM") return std::make_pair(TRegistryRoot::kLocalMachine, rest);
  if (root == "HKEY_CURRENT_USER" || root == "HKCU") return std::make_pair(TRegistryRoot::kCurrentUser, rest);
  return std::nullopt;
}

// One change a file asks for.
struct TEdit {
  enum class TKind { kKey, kValue, kRemoveValue, kRemoveKey } kind;
  TRegistryRoot root;
  std::string key;
  TRegistryValue value;
};

// Reads a file's lines into edits; the store applies them.
class TFileParser {
 public:
  std::vector<TEdit> edits;
  int skippedLines = 0;

  explicit TFileParser(std::string_view raw) {
    const std::vector<std::string> lines = Lines(raw);
    std::size_t at = 0;
    while (at < lines.size() && Trim(lines[at]).empty()) ++at;
    if (at == lines.size()) throw EReadError("The registry file is empty.");
    format_ = FormatOf(Trim(lines[at]));
    for (++at; at < lines.size(); ++at) Line(Trim(lines[at]));
  }

 private:
  static TFormat FormatOf(std::string_view header) {
    if (header == "REGEDIT4") return TFormat::kRegedit4;
    if (header == "Windows Registry Editor Version 5.00") return TFormat::kRegedit5;
    if (header == "WINE REGISTRY Version 2") return TFormat::kWine;
    throw EReadError("This is not a registry file: it starts with \"" + std::string(header.substr(0, 60)) + "\".");
  }

  void Line(std::string_view line) {
    if (line.empty() || line[0] == '#') return;
    if (line[0] == ';') {
      if (format_ == TFormat::kWine && line.find("relative to") != std::string_view::npos) {
        wineRoot_ = RootOfWineHeader(line);
      }
    } else if (line[0] == '[') {
      KeyLine(line);
    } else if (inKey_) {
      ValueLine(line);
    }
  }

  void KeyLine(std::string_view line) {
    inKey_ = false;
    if (format_ == TFormat::kWine) {
      std::size_t pos = 1;
      auto name = Unescape(line, pos, ']');
      if (!name || !wineRoot_) return Skip();
      root_ = *wineRoot_;
      key_ = std::move(*name);
    } else {
      const std::size_t close = line.rfind(']');
      if (close == std::string_view::npos) return Skip();
      const bool remove = line.size() > 1 && line[1] == '-';
      const std::size_t start = remove ? 2 : 1;
      const auto split = SplitRegeditKey(line.substr(start, close - start));
      if (!split) return;  // a root this program never reads
      if (remove) return edits.push_back({TEdit::TKind::kRemoveKey, split->first, split->second, {}});
      root_ = split->first;
      key_ = split->second;
    }
    inKey_ = true;
    edits.push_back({TEdit::TKind::kKey, root_, key_, {}});
  }

  void ValueLine(std::string_view line) {
    std::string name;
    std::size_t pos = 1;
    if (line[0] == '"') {
      auto unescaped = Unescape(line, pos, '"');
      if (!unescaped) return Skip();
      name = std::move(*unescaped);
    } else if (line[0] != '@') {
      return Skip();
    }
    auto value = (pos < line.size() && line[pos] == '=') ? ParseData(line.substr(pos + 1), format_) : std::nullopt;
    if (!value) return Skip();
    const bool remove = value->name == "-";
    value->name = std::move(name);
    edits.push_back({remove ? TEdit::TKind::kRemoveValue : TEdit::TKind::kValue, root_, key_, std::move(*value)});
  }

  void Skip() { ++skippedLines; }

  TFormat format_ = TFormat::kWine;
  std::optional<TRegistryRoot> wineRoot_;
  bool inKey_ = false;  // false before the first key and in keys of other roots
  TRegistryRoot root_ = TRegistryRoot::kLocalMachine;
  std::string key_;
};

}  // namespace

TRegistryLoadResult TRegistryStore::LoadText(std::string_view raw) {
  TFileParser parser(raw);
  TRegistryLoadResult result;
  result.skippedLines = parser.skippedLines;
  for (TEdit& edit : parser.edits) {
    switch (edit.kind) {
      case TEdit::TKind::kKey:
        MakeKey(edit.root, edit.key);
        ++result.keys;
        break;
      case TEdit::TKind::kValue:
        Put(edit.root, edit.key, std::move(edit.value));
        ++result.values;
        break;
      case TEdit::TKind::kRemoveValue:
        if (TKey* found = FindKey(edit.root, edit.key)) found->values.erase(UpperCase(edit.value.name));
        break;
      case TEdit::TKind::kRemoveKey:
        RemoveKeyTree(edit.root, edit.key);
        break;
    }
  }
  AddWow64ProgramFolders();
  return result;
}

TRegistryLoadResult TRegistryStore::LoadFile(TFileSystem& fileSystem, std::string_view path) {
  TFileStream stream(fileSystem, path, TOpenMode::kRead);
  std::string text(MemoryLength(static_cast<std::uint64_t>(stream.Size()), path), '\0');
  stream.ReadBuffer(std::as_writable_bytes(std::span<char>(text)));
  try {
    return LoadText(text);
  } catch (const EReadError& e) {
    throw EReadError("Cannot read registry file \"" + std::string(path) + "\". " + e.what());
  }
}

}  // namespace remdo::env
