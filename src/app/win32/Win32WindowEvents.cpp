// The window procedures of the progress window. Each is a catch wall:
// nothing may unwind through Win32, so an error that leaves a model event is
// shown by the default error handler and the window stays open.
#include <windows.h>
#include <commctrl.h>

#include <exception>

#include "app/ErrorHandler.h"
#include "app/win32/Win32Window.h"

namespace remdo::app::win32 {

namespace {

template <typename Handler>
LRESULT Guarded(Handler handler) {
  try {
    return handler();
  } catch (...) {
    ShowUncaughtError(std::current_exception());
    return 0;
  }
}

}  // namespace

LRESULT CALLBACK TWin32Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TWin32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->form_ == nullptr || self->hwnd_ != hwnd) {
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return Guarded([&] { return self->HandleMessage(message, wParam, lParam); });
}

LRESULT TWin32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area;
      ::GetClientRect(hwnd_, &area);
      ::FillRect(reinterpret_cast<HDC>(wParam), &area, Brush(form_->Colour));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(hwnd_, &paint);
      ::EndPaint(hwnd_, &paint);
      form_->FormPaint();
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTimerId) form_->Timer1Timer();
      return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_CLOSE:
      // The title bar's close acts as the Close button: it asks before
      // stopping a run, and writes the report after one.
      form_->CancelKey();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return ColourControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM: DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    default: break;
  }
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TWin32Window::OnCommand(int id, int code) {
  if (id == IDCANCEL) {
    form_->CancelKey();
    return;
  }
  if (code != BN_CLICKED) return;
  const auto checked = [this](int controlId) {
    for (auto& part : parts_) {
      if (part.id == controlId) {
        const bool on = ::SendMessageW(part.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
        part.shown.checked = on;
        return on;
      }
    }
    return false;
  };
  if (id == kClipboardId) form_->CheckBoxClicked(repair::TChoice::kClipboard, checked(id));
  if (id == kAutoCloseId) form_->CheckBoxClicked(repair::TChoice::kAutoClose, checked(id));
  if (id == kOnlineOptionsId) form_->CheckBoxClicked(repair::TChoice::kTurnOffOnlineOptions, checked(id));
  // SendBtn: a click does nothing.
}

LRESULT TWin32Window::ColourControl(HDC dc, HWND control) {
  const TPart* part = PartOf(control);
  if (part == nullptr) return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
  TColour colour = part->shown.colour;
  if (part->kind == TKind::kCheckBox && part->parent >= 0) colour = parts_[part->parent].shown.colour;
  ::SetBkColor(dc, Rgb(colour));
  ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(Brush(colour));
}

LRESULT CALLBACK TWin32Window::PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TWin32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->hwnd_ == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return Guarded([&]() -> LRESULT {
    switch (message) {
      case WM_PAINT: self->PaintPanel(hwnd); return 0;
      case WM_ERASEBKGND: return 1;
      // A caption panel paints in the system font; it says so, as controls do.
      case WM_GETFONT: return reinterpret_cast<LRESULT>(self->systemFont_.Get());
      // Children's notifications belong to the main window.
      case WM_COMMAND:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORBTN:
      case WM_DRAWITEM: return ::SendMessageW(self->hwnd_, message, wParam, lParam);
      default: return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
  });
}

void TWin32Window::PaintPanel(HWND hwnd) {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(hwnd, &paint);
  const TPart* part = PartOf(hwnd);
  RECT area;
  ::GetClientRect(hwnd, &area);
  ::FillRect(dc, &area, Brush(part != nullptr ? part->shown.colour : TColour::kDefault));
  if (part != nullptr && part->kind == TKind::kCaptionPanel && !part->shown.caption.empty()) {
    const std::wstring text = Wide(part->shown.caption);
    const HGDIOBJ old = ::SelectObject(dc, systemFont_.Get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    ::SelectObject(dc, old);
  }
  ::EndPaint(hwnd, &paint);
}

void TWin32Window::DrawPicture(const DRAWITEMSTRUCT& item) {
  // The picture button: a raised face with a letter on it.
  RECT face = item.rcItem;
  ::FillRect(item.hDC, &face, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(item.hDC, &face, (item.itemState & ODS_SELECTED) != 0 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  const int width = face.right - face.left;
  const int height = face.bottom - face.top;
  RECT letter{face.left + width / 6, face.top + height / 4, face.right - width / 6, face.bottom - height / 4};
  const HGDIOBJ oldBrush = ::SelectObject(item.hDC, ::GetStockObject(WHITE_BRUSH));
  const HGDIOBJ oldPen = ::SelectObject(item.hDC, ::GetStockObject(BLACK_PEN));
  ::Rectangle(item.hDC, letter.left, letter.top, letter.right, letter.bottom);
  ::MoveToEx(item.hDC, letter.left, letter.top, nullptr);
  ::LineTo(item.hDC, (letter.left + letter.right) / 2, (letter.top + letter.bottom) / 2);
  ::LineTo(item.hDC, letter.right - 1, letter.top);
  ::SelectObject(item.hDC, oldPen);
  ::SelectObject(item.hDC, oldBrush);
}

LRESULT CALLBACK TWin32Window::MemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* self = reinterpret_cast<const TWin32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->memoProc_ == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  // The log memo shows the arrow, not the text cursor (the hourglass while
  // a step is busy).
  if (message == WM_SETCURSOR) {
    ::SetCursor(::LoadCursorW(nullptr, self->busy_ ? IDC_WAIT : IDC_ARROW));
    return TRUE;
  }
  return ::CallWindowProcW(self->memoProc_, hwnd, message, wParam, lParam);
}

}  // namespace remdo::app::win32
