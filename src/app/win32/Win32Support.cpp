// Text conversion at the window's edge, through the program's one converter.
#include "app/win32/Win32Support.h"

#include "env/Text.h"

namespace remdo::app::win32 {

std::wstring Wide(std::string_view text) {
  const std::u16string wide = env::Cp1252ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view text) {
  const std::u16string wide(text.begin(), text.end());
  return env::Utf16ToCp1252(wide);
}

}  // namespace remdo::app::win32
