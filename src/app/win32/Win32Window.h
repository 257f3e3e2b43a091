// The progress window on Win32: a real window of the layout, built from the
// model's component records and brought up to date from them, feeding the
// model its paint, timer, click and key events. Every window procedure is a
// catch wall: an error that leaves an event goes to the default error
// handler and the window stays open.
#ifndef REMDO_APP_WIN32_WIN32WINDOW_H_
#define REMDO_APP_WIN32_WIN32WINDOW_H_

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "app/FormView.h"
#include "app/MainForm.h"
#include "app/win32/Win32Support.h"

namespace remdo::app::win32 {

// The DPI at which the layout's positions, sizes and fonts are given.
inline constexpr int kLayoutDpi = 96;

class TWin32Window final : public TFormView {
 public:
  explicit TWin32Window(HINSTANCE instance);
  ~TWin32Window() override;
  TWin32Window(const TWin32Window&) = delete;
  TWin32Window& operator=(const TWin32Window&) = delete;

  // Creates the window and its controls for form, hidden. Throws
  // env::ERemdoError when the window cannot be created.
  void Create(TMainForm& form);
  // Shows the window and starts the timer.
  void Show();
  // Runs the message loop until the window is closed.
  void RunMessageLoop();
  // Destroys the window (after the loop).
  void Destroy();
  HWND Handle() const { return hwnd_; }
  // The DPI the window is laid out for: the system's, read at Create.
  int Dpi() const { return dpi_; }
  // A length of the layout (given at 96 DPI) at the window's DPI.
  int Scale(int pixels) const { return ::MulDiv(pixels, dpi_, kLayoutDpi); }

  // TFormView
  void Update() override;
  void ProcessMessages() override;
  bool Terminating() override { return terminating_; }
  bool Showing() override;
  void Close() override;
  void SetClipboardText(std::string_view text) override;
  void SetBusyCursor(bool busy) override;
  void FocusCloseButton() override;
  std::string DateTimeText(std::int64_t unixSeconds) override;

 private:
  static constexpr UINT_PTR kTimerId = 1;
  static constexpr int kClipboardId = 101;
  static constexpr int kAutoCloseId = 102;
  static constexpr int kOnlineOptionsId = 103;
  static constexpr int kSendId = 104;
  static constexpr int kMemoId = 105;
  static constexpr int kProgressId = 106;

  enum class TKind { kFrame, kPanel, kCaptionPanel, kMemo, kCheckBox, kButton, kPictureButton, kProgressBar };
  struct TPart {
    TPart(TControl TMainForm::*m, TKind k, int p, int i) : member(m), kind(k), parent(p), id(i) {}
    TControl TMainForm::*member;
    TKind kind;
    int parent;  // index of the containing part, -1 for the window itself
    int id;      // control identifier
    HWND hwnd = nullptr;
    TControl shown;
    std::size_t linesShown = 0;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK MemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  void PaintPanel(HWND hwnd);
  void DrawPicture(const DRAWITEMSTRUCT& item);
  LRESULT ColourControl(HDC dc, HWND control);

  void CreatePart(TPart& part);
  void RenderPart(TPart& part);
  void AppendMemoLines(TPart& part);
  void Dispatch(MSG& message);
  TPart* PartOf(HWND hwnd);
  HBRUSH Brush(TColour colour);
  COLORREF Rgb(TColour colour) const;

  HINSTANCE instance_;
  TMainForm* form_ = nullptr;
  HWND hwnd_ = nullptr;
  int dpi_ = kLayoutDpi;
  std::vector<TPart> parts_;
  TColour shownColour_ = TColour::kDefault;
  TGdiObject memoFont_;
  TGdiObject buttonFont_;
  TGdiObject systemFont_;
  TGdiObject navyBrush_, aquaBrush_, tealBrush_;
  bool terminating_ = false;
  bool busy_ = false;
  WNDPROC memoProc_ = nullptr;  // the edit control's own procedure
};

}  // namespace remdo::app::win32

#endif  // REMDO_APP_WIN32_WIN32WINDOW_H_
