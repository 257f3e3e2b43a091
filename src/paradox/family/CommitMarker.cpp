// Marker format (Windows-1252 text, CR LF line ends):
//   REMDO FAMILY COMMIT 1
//   <final name>|<N or ->|<A or ->[|<source>]
//                                       one line per file: N = a new file
//                                       comes in (from <source> when given,
//                                       else from <final name>.new), A = the
//                                       old one goes aside
//   END <lines> <FNV-1a of everything before this line, hex>
// Names hold no '|' (Windows forbids it in file names). A marker that does
// not end in a matching END line was cut short by a crash before any file
// was moved.
#include "paradox/family/CommitMarker.h"

#include <cstdint>
#include <cstdio>

#include "env/Text.h"

namespace remdo::paradox {

namespace {

constexpr std::string_view kMarkerTitle = "REMDO FAMILY COMMIT 1";

std::uint32_t Fnv1a(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// A component Windows would take as written: not empty, not "." or "..",
// no trailing dot or blank (Windows trims them, so "..." and ".. " would
// name the parent), no character Windows forbids in a name.
bool IsPlainComponent(std::string_view component) {
  if (component.empty() || component.back() == '.' || component.back() == ' ') return false;
  for (const char c : component) {
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// The components of a relative name; nothing when it is not one.
std::optional<std::vector<std::string_view>> Components(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t at = 0;
  while (true) {
    const std::size_t separator = name.find_first_of("\\/", at);
    const std::string_view part = name.substr(at, separator == std::string_view::npos ? separator : separator - at);
    if (!IsPlainComponent(part)) return std::nullopt;
    parts.push_back(part);
    if (separator == std::string_view::npos) return parts;
    at = separator + 1;
  }
}

bool IsFamilyFile(std::string_view name, std::string_view base) {
  return !base.empty() && name.size() > base.size() + 1 && name[base.size()] == '.' &&
         env::SameText(name.substr(0, base.size()), base);
}

bool IsAcceptedName(std::string_view name, std::string_view tableName, bool source) {
  const auto parts = Components(name);
  if (!parts) return false;
  if (parts->size() > 1) return env::SameText(parts->front(), kRejectedFolder);
  return IsFamilyFile(name, tableName) || (source && IsFamilyFile(name, kScratchFamily));
}

}  // namespace

std::string EncodeMarker(const std::vector<TMarkerLine>& lines) {
  std::string body = std::string(kMarkerTitle) + "\r\n";
  for (const auto& line : lines) {
    body += line.name + "|" + (line.hasNew ? "N" : "-") + "|" + (line.goesAside ? "A" : "-") +
            (line.source.empty() ? "" : "|" + line.source) + "\r\n";
  }
  return body + "END " + std::to_string(lines.size()) + " " + Hex(Fnv1a(body)) + "\r\n";
}

std::optional<std::vector<TMarkerLine>> DecodeMarker(std::string_view text) {
  const std::size_t end = text.rfind("END ");
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view body = text.substr(0, end);
  std::vector<TMarkerLine> lines;
  std::size_t at = 0;
  bool first = true;
  while (at < body.size()) {
    const std::size_t eol = body.find("\r\n", at);
    if (eol == std::string_view::npos) return std::nullopt;
    const std::string_view line = body.substr(at, eol - at);
    at = eol + 2;
    if (first) {
      if (line != kMarkerTitle) return std::nullopt;
      first = false;
      continue;
    }
    const std::size_t bar1 = line.find('|');
    const std::size_t bar2 = bar1 == std::string_view::npos ? bar1 : line.find('|', bar1 + 1);
    if (bar2 == std::string_view::npos || bar2 != bar1 + 2 || bar2 + 2 > line.size()) return std::nullopt;
    std::string source;
    if (bar2 + 2 < line.size()) {
      if (line[bar2 + 2] != '|') return std::nullopt;
      source = std::string(line.substr(bar2 + 3));
    }
    lines.push_back({std::string(line.substr(0, bar1)), line[bar1 + 1] == 'N', line[bar2 + 1] == 'A', source});
  }
  const std::string expected = "END " + std::to_string(lines.size()) + " " + Hex(Fnv1a(body)) + "\r\n";
  if (first || text.substr(end) != expected) return std::nullopt;
  return lines;
}

std::string RefusedMarkerName(const TMarkerLine& line, std::string_view tableName) {
  if (!IsAcceptedName(line.name, tableName, false)) return line.name;
  if (!line.source.empty() && !IsAcceptedName(line.source, tableName, true)) return line.source;
  return {};
}

}  // namespace remdo::paradox
