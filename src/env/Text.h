// Windows-1252 text helpers: case tables (never <cctype> on bytes above
// 0x7F) and the conversions to UTF-16 and UTF-8 used at the OS and console
// edges. Every one of the 256 bytes survives a round trip.
#ifndef REMDO_ENV_TEXT_H_
#define REMDO_ENV_TEXT_H_

#include <string>
#include <string_view>

namespace remdo::env {

char UpperChar(char c);
char LowerChar(char c);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// Equal without regard to case (1252 case tables).
bool SameText(std::string_view a, std::string_view b);

std::u16string Cp1252ToUtf16(std::string_view text);
std::string Utf16ToCp1252(std::u16string_view text);
std::string Cp1252ToUtf8(std::string_view text);
std::string Utf8ToCp1252(std::string_view text);
// Whether text is all 7-bit ASCII, which reads the same in every one of these.
bool IsAscii(std::string_view text);

// Trims blanks and control characters at both ends, as the class library's
// Trim does (bytes up to 0x20).
std::string_view Trim(std::string_view text);

}  // namespace remdo::env

#endif  // REMDO_ENV_TEXT_H_
