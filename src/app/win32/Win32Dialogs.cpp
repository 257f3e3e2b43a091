// Message boxes through MessageBoxW. Error boxes carry the warning icon, as
// the program's errors always have.
#include "app/win32/Win32Dialogs.h"

#include "app/win32/Win32Support.h"

namespace remdo::app::win32 {

namespace {

UINT Style(env::TBoxKind kind) {
  switch (kind) {
    case env::TBoxKind::kError: return MB_OK | MB_ICONWARNING;
    case env::TBoxKind::kWarning: return MB_OK | MB_ICONWARNING;
    case env::TBoxKind::kInfo: return MB_OK;
    case env::TBoxKind::kYesNo: return MB_YESNO | MB_ICONQUESTION;
    case env::TBoxKind::kWarningYesNo: return MB_YESNO | MB_ICONWARNING;
  }
  return MB_OK;
}

}  // namespace

bool TWin32Dialogs::Show(const env::TMessageBox& box) {
  const HWND owner = owner_ != nullptr && ::IsWindow(owner_) ? owner_ : nullptr;
  const UINT style = Style(box.kind) | (owner == nullptr ? MB_TASKMODAL | MB_SETFOREGROUND : 0);
  const int answer = ::MessageBoxW(owner, Wide(box.text).c_str(), Wide(box.caption).c_str(), style);
  return box.IsQuestion() ? answer == IDYES : true;
}

}  // namespace remdo::app::win32
