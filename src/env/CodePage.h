// Single-byte code pages: the DOS and Windows code pages that tables record
// in their headers, converted through Unicode. The program's own texts are
// Windows-1252; tables of other code pages are translated at the engine's edge.
#ifndef REMDO_ENV_CODEPAGE_H_
#define REMDO_ENV_CODEPAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace remdo::env {

constexpr std::uint16_t kCodePageWindowsLatin1 = 1252;

// True for the code pages this program can convert: 437, 850, 852, 865, 866,
// 1250, 1251 and 1252.
bool IsKnownCodePage(std::uint16_t codePage);

// The Unicode code point of one byte. For an unknown code page, bytes above
// 127 are read as Latin-1.
char32_t ByteToUnicode(std::uint16_t codePage, unsigned char byte);

// The byte for a code point, or fallback when the code page has none.
unsigned char UnicodeToByte(std::uint16_t codePage, char32_t codePoint, unsigned char fallback = '?');

// Re-encodes text from one known code page to another; characters the target
// lacks become '?'. Equal code pages return the text unchanged.
std::string ConvertCodePage(std::string_view text, std::uint16_t from, std::uint16_t to);

// Text of a code page as UTF-8, and back (characters missing become '?').
std::string CodePageToUtf8(std::string_view text, std::uint16_t codePage);
std::string Utf8ToCodePage(std::string_view utf8, std::uint16_t codePage);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace remdo::env

#endif  // REMDO_ENV_CODEPAGE_H_
