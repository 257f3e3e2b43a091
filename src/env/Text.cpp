// Windows-1252 case mapping and conversions. Upper and lower case pair the
// ASCII letters, the accented letters 0xC0-0xDE / 0xE0-0xFE (but the
// multiplication and division signs), and the three pairs S/Z/OE with caron
// and diaeresis in 0x8A-0x9F, as Windows maps them.
#include "env/Text.h"

#include <algorithm>

#include "env/CodePage.h"

namespace remdo::env {

namespace {

unsigned char Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

unsigned char Lower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

}  // namespace

char UpperChar(char c) { return static_cast<char>(Upper(static_cast<unsigned char>(c))); }
char LowerChar(char c) { return static_cast<char>(Lower(static_cast<unsigned char>(c))); }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

std::u16string Cp1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) {
    out.push_back(static_cast<char16_t>(ByteToUnicode(kCodePageWindowsLatin1, static_cast<unsigned char>(c))));
  }
  return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    // A surrogate pair is one character, which 1252 cannot hold either way.
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) { ++i; cp = 0xFFFD; }
    out.push_back(static_cast<char>(UnicodeToByte(kCodePageWindowsLatin1, cp)));
  }
  return out;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Paths and folder entries are nearly always ASCII, and the posix backend
// converts every one.
std::string Cp1252ToUtf8(std::string_view text) {
  return IsAscii(text) ? std::string(text) : CodePageToUtf8(text, kCodePageWindowsLatin1);
}
std::string Utf8ToCp1252(std::string_view text) {
  return IsAscii(text) ? std::string(text) : Utf8ToCodePage(text, kCodePageWindowsLatin1);
}

std::string_view Trim(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

}  // namespace remdo::env
