// Conversions at the Win32 edge: the program's texts are Windows-1252, the W
// functions take UTF-16 (never the machine's ANSI code page).
#include "env/win32/Win32Util.h"

#include "env/Text.h"

namespace remdo::env::win32 {

std::wstring Wide(std::string_view text) {
  const std::u16string u16 = Cp1252ToUtf16(text);
  return std::wstring(u16.begin(), u16.end());
}

std::string Narrow(std::wstring_view text) {
  const std::u16string u16(text.begin(), text.end());
  return Utf16ToCp1252(u16);
}

std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) text = Narrow(std::wstring_view(buffer, length));
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "System error " + std::to_string(error);
  return text;
}

}  // namespace remdo::env::win32
