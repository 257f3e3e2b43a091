// The front-end of the progress window as the window model sees it. A
// front-end renders the model's component records and feeds the model its
// events; the model asks it for the few things only a toolkit can do. The
// Win32 window, the console and the headless test view implement it.
#ifndef REMDO_APP_FORMVIEW_H_
#define REMDO_APP_FORMVIEW_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace remdo::app {

class TFormView {
 public:
  virtual ~TFormView() = default;

  // Brings what is shown up to the model's state at once (new memo lines,
  // texts, check marks, what is enabled and visible).
  virtual void Update() = 0;
  // Update, then handle all pending input; events may call back into the
  // model (a Cancel click runs CloseBtnClick from inside this call).
  virtual void ProcessMessages() = 0;
  // True once the application is ending (the window was closed).
  virtual bool Terminating() = 0;
  // True while the window is on screen.
  virtual bool Showing() = 0;
  // Closes the window. The program ends once the event under way returns;
  // from then on Terminating() is true.
  virtual void Close() = 0;

  virtual void SetClipboardText(std::string_view text) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void FocusCloseButton() = 0;
  // A time (seconds since 1970-01-01 UTC) in the system's short date and
  // long time format.
  virtual std::string DateTimeText(std::int64_t unixSeconds) = 0;
};

}  // namespace remdo::app

#endif  // REMDO_APP_FORMVIEW_H_
