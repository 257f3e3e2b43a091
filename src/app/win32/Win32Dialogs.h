// Real message boxes for the window front-end: modal, owned by the progress
// window once it exists, and owner-less before.
#ifndef REMDO_APP_WIN32_WIN32DIALOGS_H_
#define REMDO_APP_WIN32_WIN32DIALOGS_H_

#include <windows.h>

#include "env/Dialogs.h"

namespace remdo::app::win32 {

class TWin32Dialogs final : public env::TDialogs {
 public:
  // The window that owns later boxes (nullptr: none).
  void SetOwner(HWND owner) { owner_ = owner; }
  bool Show(const env::TMessageBox& box) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace remdo::app::win32

#endif  // REMDO_APP_WIN32_WIN32DIALOGS_H_
