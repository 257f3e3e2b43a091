// The progress window on Win32. Panels are windows of their own class that
// paint their colour and caption and pass their children's notifications up
// to the main window; a disabled panel keeps its children from input without
// greying them, so the log memo can stay readable while it takes no input.
#include "app/win32/Win32Window.h"

#include <commctrl.h>

#include <exception>

#include "app/ErrorHandler.h"
#include "app/Version.h"
#include "app/win32/Resources.h"
#include "env/Errors.h"

namespace remdo::app::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"TMainForm";
constexpr wchar_t kPanelClass[] = L"TRemdoPanel";

HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  const HANDLE icon = ::LoadImageW(instance, MAKEINTRESOURCEW(REMDO_PROGRAM_ICON), IMAGE_ICON,
                                   ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), LR_SHARED);
  return icon != nullptr ? static_cast<HICON>(icon) : ::LoadIconW(nullptr, IDI_APPLICATION);
}

void RegisterClasses(HINSTANCE instance, WNDPROC windowProc, WNDPROC panelProc) {
  static bool registered = false;
  if (registered) return;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  WNDCLASSEXW window{};
  window.cbSize = sizeof(window);
  window.lpfnWndProc = windowProc;
  window.hInstance = instance;
  window.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  // The program's icon for the caption bar (small) and the taskbar (large),
  // each drawn at its own size; a program built without it shows the
  // system's.
  window.hIcon = LoadProgramIcon(instance, SM_CXICON, SM_CYICON);
  window.hIconSm = LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
  window.lpszClassName = kWindowClass;
  WNDCLASSEXW panel = window;
  panel.lpfnWndProc = panelProc;
  panel.hIcon = nullptr;
  panel.hIconSm = nullptr;
  panel.lpszClassName = kPanelClass;
  if (::RegisterClassExW(&window) == 0 || ::RegisterClassExW(&panel) == 0) {
    throw env::ERemdoError("The progress window could not be registered.");
  }
  registered = true;
}

HFONT MakeFont(int pixels, bool bold, const wchar_t* face) {
  LOGFONTW font{};
  font.lfHeight = -pixels;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return ::CreateFontIndirectW(&font);
}

// The system's DPI, which a system-aware program (its manifest says so) is
// given as is; Windows 7 has no per-window DPI.
int SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kLayoutDpi;
}

NONCLIENTMETRICSW SystemMetrics() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  return metrics;
}

}  // namespace

TWin32Window::TWin32Window(HINSTANCE instance) : instance_(instance) {
  parts_ = {
      {&TMainForm::RepairProgressPanel, TKind::kFrame, -1, 0},
      {&TMainForm::Panel2, TKind::kPanel, 0, 0},
      {&TMainForm::RepairProgressMemo, TKind::kMemo, 1, kMemoId},
      {&TMainForm::Panel3, TKind::kFrame, -1, 0},
      {&TMainForm::MsgPanel, TKind::kCaptionPanel, 3, 0},
      {&TMainForm::ProgressBar1, TKind::kProgressBar, 3, kProgressId},
      {&TMainForm::Panel1, TKind::kPanel, 3, 0},
      {&TMainForm::Panel4, TKind::kFrame, -1, 0},
      {&TMainForm::ClipboardChk, TKind::kCheckBox, 7, kClipboardId},
      {&TMainForm::AutoCloseChk, TKind::kCheckBox, 7, kAutoCloseId},
      {&TMainForm::TurnOffOnlineOptionsChk, TKind::kCheckBox, 7, kOnlineOptionsId},
      {&TMainForm::Panel5, TKind::kFrame, -1, 0},
      {&TMainForm::Panel6, TKind::kPanel, 11, 0},
      {&TMainForm::Panel7, TKind::kPanel, 12, 0},
      {&TMainForm::SendBtn, TKind::kPictureButton, 13, kSendId},
      {&TMainForm::CloseBtn, TKind::kButton, 12, IDCANCEL},
  };
}

TWin32Window::~TWin32Window() { Destroy(); }

void TWin32Window::Create(TMainForm& form) {
  form_ = &form;
  RegisterClasses(instance_, &TWin32Window::WindowProc, &TWin32Window::PanelProc);
  dpi_ = SystemDpi();
  // The system's message font comes at the system's DPI already.
  const NONCLIENTMETRICSW metrics = SystemMetrics();
  memoFont_.Reset(MakeFont(Scale(13), true, L"Arial"));
  buttonFont_.Reset(MakeFont(Scale(16), true, metrics.lfMessageFont.lfFaceName));
  systemFont_.Reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  navyBrush_.Reset(::CreateSolidBrush(Rgb(TColour::kNavy)));
  aquaBrush_.Reset(::CreateSolidBrush(Rgb(TColour::kAqua)));
  tealBrush_.Reset(::CreateSolidBrush(Rgb(TColour::kTeal)));

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  hwnd_ = ::CreateWindowExW(exStyle, kWindowClass, Wide(kApplicationTitle).c_str(), style, left, top, width, height,
                            nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) throw env::ERemdoError("The progress window could not be created.");
  for (auto& part : parts_) CreatePart(part);
  Update();
}

void TWin32Window::CreatePart(TPart& part) {
  const TControl& control = form_->*part.member;
  const HWND parent = part.parent < 0 ? hwnd_ : parts_[part.parent].hwnd;
  const TBounds origin = part.parent < 0 ? TBounds{} : (form_->*parts_[part.parent].member).bounds;
  // Edges are scaled rather than sizes, so that parts that meet at 96 DPI
  // still meet at any other.
  const TBounds& b = control.bounds;
  const int x = Scale(b.left) - Scale(origin.left);
  const int y = Scale(b.top) - Scale(origin.top);
  const int width = Scale(b.left + b.width) - Scale(b.left);
  const int height = Scale(b.top + b.height) - Scale(b.top);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  const wchar_t* className = kPanelClass;
  switch (part.kind) {
    case TKind::kFrame: exStyle = WS_EX_STATICEDGE | WS_EX_CONTROLPARENT; break;
    case TKind::kPanel:
    case TKind::kCaptionPanel: exStyle = WS_EX_CONTROLPARENT; break;
    case TKind::kMemo:
      className = L"EDIT";
      style |= WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_TABSTOP;
      break;
    case TKind::kCheckBox: className = L"BUTTON", style |= BS_AUTOCHECKBOX | WS_TABSTOP; break;
    case TKind::kButton: className = L"BUTTON", style |= BS_PUSHBUTTON | WS_TABSTOP; break;
    case TKind::kPictureButton: className = L"BUTTON", style |= BS_OWNERDRAW; break;
    case TKind::kProgressBar: className = PROGRESS_CLASSW; break;
  }
  part.hwnd = ::CreateWindowExW(exStyle, className, Wide(control.caption).c_str(), style, x, y, width, height,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(part.id)), instance_, nullptr);
  if (part.hwnd == nullptr) throw env::ERemdoError("A control of the progress window could not be created.");
  const HGDIOBJ font = part.kind == TKind::kMemo     ? memoFont_.Get()
                       : part.kind == TKind::kButton ? buttonFont_.Get()
                                                     : systemFont_.Get();
  ::SendMessageW(part.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (part.kind == TKind::kMemo) {
    ::SendMessageW(part.hwnd, EM_SETLIMITTEXT, 0, 0);
    ::SetWindowLongPtrW(part.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    memoProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(part.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWin32Window::MemoProc)));
  }
  if (part.kind == TKind::kProgressBar) {
    ::SendMessageW(part.hwnd, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(part.hwnd, PBM_SETSTEP, 5, 0);
  }
  if (part.kind == TKind::kPanel || part.kind == TKind::kFrame || part.kind == TKind::kCaptionPanel) {
    ::SetWindowLongPtrW(part.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  // Every record difference is applied on the first render.
  part.shown = control;
  part.shown.visible = false;
  part.shown.enabled = !control.enabled;
  part.shown.checked = !control.checked;
  part.shown.position = -1;
  part.shown.caption += '\x01';
}

void TWin32Window::Show() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd_);
  if (form_->Timer1.enabled) ::SetTimer(hwnd_, kTimerId, static_cast<UINT>(form_->Timer1.interval), nullptr);
}

void TWin32Window::Destroy() {
  if (hwnd_ == nullptr) return;
  ::KillTimer(hwnd_, kTimerId);
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

void TWin32Window::Update() {
  if (hwnd_ == nullptr || form_ == nullptr) return;
  if (form_->Colour != shownColour_) {
    shownColour_ = form_->Colour;
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  for (auto& part : parts_) RenderPart(part);
}

void TWin32Window::RenderPart(TPart& part) {
  const TControl& want = form_->*part.member;
  TControl& shown = part.shown;
  bool repaint = false;
  if (part.kind == TKind::kMemo) {
    AppendMemoLines(part);
  } else if (want.caption != shown.caption) {
    ::SetWindowTextW(part.hwnd, Wide(want.caption).c_str());
    shown.caption = want.caption;
    repaint = true;
  }
  if (part.kind == TKind::kCheckBox && want.checked != shown.checked) {
    ::SendMessageW(part.hwnd, BM_SETCHECK, want.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    shown.checked = want.checked;
  }
  if (part.kind == TKind::kProgressBar && want.position != shown.position) {
    ::SendMessageW(part.hwnd, PBM_SETPOS, static_cast<WPARAM>(want.position), 0);
    shown.position = want.position;
    repaint = true;
  }
  if (want.colour != shown.colour) {
    shown.colour = want.colour;
    ::InvalidateRect(part.hwnd, nullptr, TRUE);
    repaint = true;
  }
  if (want.enabled != shown.enabled) {
    ::EnableWindow(part.hwnd, want.enabled ? TRUE : FALSE);
    shown.enabled = want.enabled;
  }
  if (want.visible != shown.visible) {
    ::ShowWindow(part.hwnd, want.visible ? SW_SHOWNA : SW_HIDE);
    shown.visible = want.visible;
    repaint = true;
  }
  if (repaint && shown.visible) ::UpdateWindow(part.hwnd);
}

void TWin32Window::AppendMemoLines(TPart& part) {
  const std::vector<std::string>& lines = (form_->*part.member).lines;
  if (lines.size() < part.linesShown) {
    ::SetWindowTextW(part.hwnd, L"");
    part.linesShown = 0;
  }
  if (lines.size() == part.linesShown) return;
  std::string text;
  for (std::size_t i = part.linesShown; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  part.linesShown = lines.size();
  const LRESULT length = ::SendMessageW(part.hwnd, WM_GETTEXTLENGTH, 0, 0);
  ::SendMessageW(part.hwnd, EM_SETSEL, static_cast<WPARAM>(length), length);
  ::SendMessageW(part.hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  ::SendMessageW(part.hwnd, EM_SCROLLCARET, 0, 0);
  ::UpdateWindow(part.hwnd);
}

void TWin32Window::Dispatch(MSG& message) {
  if (hwnd_ != nullptr && ::IsDialogMessageW(hwnd_, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void TWin32Window::RunMessageLoop() {
  while (!terminating_) {
    MSG message;
    if (::GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    Dispatch(message);
  }
  terminating_ = true;
}

void TWin32Window::ProcessMessages() {
  Update();
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      terminating_ = true;
      break;
    }
    Dispatch(message);
  }
}

bool TWin32Window::Showing() { return hwnd_ != nullptr && ::IsWindowVisible(hwnd_) != FALSE; }

void TWin32Window::Close() {
  if (terminating_) return;
  // The loop ends once the event under way returns; a run winding down sees
  // Terminating() at once.
  terminating_ = true;
  ::PostQuitMessage(0);
}

void TWin32Window::SetClipboardText(std::string_view text) {
  const std::wstring wide = Wide(text);
  TGlobalMemory memory((wide.size() + 1) * sizeof(wchar_t));
  if (memory.Get() == nullptr) return;
  void* target = ::GlobalLock(memory.Get());
  if (target == nullptr) return;
  ::CopyMemory(target, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  ::GlobalUnlock(memory.Get());
  if (!::OpenClipboard(hwnd_)) return;
  ::EmptyClipboard();
  if (::SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr) memory.Release();
  ::CloseClipboard();
}

void TWin32Window::SetBusyCursor(bool busy) {
  busy_ = busy;
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TWin32Window::FocusCloseButton() {
  for (auto& part : parts_) {
    if (part.member == &TMainForm::CloseBtn) ::SetFocus(part.hwnd);
  }
}

std::string TWin32Window::DateTimeText(std::int64_t unixSeconds) {
  // Seconds since 1970 to the 100-nanosecond ticks since 1601 of FILETIME.
  const ULONGLONG ticks = static_cast<ULONGLONG>(unixSeconds + 11644473600LL) * 10000000ULL;
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME universal{}, local{};
  if (!::FileTimeToSystemTime(&utc, &universal) || !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
    return std::string();
  }
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 128);
  ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 128);
  return Narrow(date) + " " + Narrow(time);
}

TWin32Window::TPart* TWin32Window::PartOf(HWND hwnd) {
  for (auto& part : parts_) {
    if (part.hwnd == hwnd) return &part;
  }
  return nullptr;
}

COLORREF TWin32Window::Rgb(TColour colour) const {
  switch (colour) {
    case TColour::kNavy: return RGB(0, 0, 128);
    case TColour::kAqua: return RGB(0, 255, 255);
    case TColour::kTeal: return RGB(0, 128, 128);
    case TColour::kDefault:
    case TColour::kButtonFace: return ::GetSysColor(COLOR_BTNFACE);
  }
  return ::GetSysColor(COLOR_BTNFACE);
}

HBRUSH TWin32Window::Brush(TColour colour) {
  switch (colour) {
    case TColour::kNavy: return static_cast<HBRUSH>(navyBrush_.Get());
    case TColour::kAqua: return static_cast<HBRUSH>(aquaBrush_.Get());
    case TColour::kTeal: return static_cast<HBRUSH>(tealBrush_.Get());
    case TColour::kDefault:
    case TColour::kButtonFace: return ::GetSysColorBrush(COLOR_BTNFACE);
  }
  return ::GetSysColorBrush(COLOR_BTNFACE);
}

}  // namespace remdo::app::win32
