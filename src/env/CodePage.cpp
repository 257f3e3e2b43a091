// Code page conversion through per-code-page tables of the upper half. The
// reverse direction searches the 128 entries; conversions are short texts
// (field values, log lines), so no reverse table is kept.
#include "env/CodePage.h"

#include "env/CodePageTables.h"

namespace remdo::env {

namespace {

const char16_t* HighHalf(std::uint16_t codePage) {
  switch (codePage) {
    case 437: return detail::kCp437High;
    case 850: return detail::kCp850High;
    case 852: return detail::kCp852High;
    case 865: return detail::kCp865High;
    case 866: return detail::kCp866High;
    case 1250: return detail::kCp1250High;
    case 1251: return detail::kCp1251High;
    case 1252: return detail::kCp1252High;
    default: return nullptr;
  }
}

// Decodes one UTF-8 sequence at text[pos]; malformed input yields U+FFFD and
// advances one byte.
char32_t NextUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int extra = 0;
  char32_t cp = 0;
  if (lead < 0x80) { ++pos; return lead; }
  if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; }
  else { ++pos; return 0xFFFD; }
  if (pos + extra >= text.size()) { ++pos; return 0xFFFD; }
  for (int i = 1; i <= extra; ++i) {
    const auto c = static_cast<unsigned char>(text[pos + i]);
    if ((c & 0xC0) != 0x80) { ++pos; return 0xFFFD; }
    cp = (cp << 6) | (c & 0x3F);
  }
  pos += extra + 1;
  return cp;
}

}  // namespace

bool IsKnownCodePage(std::uint16_t codePage) { return HighHalf(codePage) != nullptr; }

char32_t ByteToUnicode(std::uint16_t codePage, unsigned char byte) {
  if (byte < 0x80) return byte;
  const char16_t* high = HighHalf(codePage);
  return high != nullptr ? high[byte - 0x80] : byte;
}

unsigned char UnicodeToByte(std::uint16_t codePage, char32_t codePoint, unsigned char fallback) {
  if (codePoint < 0x80) return static_cast<unsigned char>(codePoint);
  const char16_t* high = HighHalf(codePage);
  if (high == nullptr) return codePoint <= 0xFF ? static_cast<unsigned char>(codePoint) : fallback;
  for (int i = 0; i < 128; ++i) {
    if (high[i] == codePoint) return static_cast<unsigned char>(0x80 + i);
  }
  return fallback;
}

std::string ConvertCodePage(std::string_view text, std::uint16_t from, std::uint16_t to) {
  if (from == to) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    out.push_back(static_cast<char>(UnicodeToByte(to, ByteToUnicode(from, static_cast<unsigned char>(c)))));
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string CodePageToUtf8(std::string_view text, std::uint16_t codePage) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (const char c : text) AppendUtf8(out, ByteToUnicode(codePage, static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCodePage(std::string_view utf8, std::uint16_t codePage) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) out.push_back(static_cast<char>(UnicodeToByte(codePage, NextUtf8(utf8, pos))));
  return out;
}

}  // namespace remdo::env
