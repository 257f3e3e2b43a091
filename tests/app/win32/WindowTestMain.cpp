// The real progress window under test: the program's own window with a
// table-sequence step of the test's own that keeps the run going, so that a
// driver outside (window-test.sh, under Xvfb) can press Cancel, answer the
// question and tick the boxes as a user would.
//
//   remdo_window_test <folder> cancel   the step runs until the run is stopped
//   remdo_window_test <folder> wait     the step runs until <folder>proceed.txt
//                                       exists (or the run is stopped)
//   remdo_window_test <folder> layout   the step checks the window's layout at
//                                       the system's DPI into <folder>layout.txt,
//                                       then waits as "wait" does
// The step writes <folder>running.txt once it runs and <folder>ended.txt
// when it ends; the folder is the run's data folder.
//
// layout.txt: "dpi N", "client W H", one "control CLASS [CAPTION] L T R B"
// line for each control (client coordinates of the window) and one "fail
// REASON" line for each control that lies outside the client area or whose
// caption, measured in the control's own font, does not fit it.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <thread>

#include "app/MainForm.h"
#include "app/Version.h"
#include "app/win32/Win32Support.h"
#include "app/win32/WindowApp.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "installation/DataFolder.h"

namespace {

using remdo::app::win32::Narrow;

int ScreenDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

std::wstring ClassOf(HWND control) {
  wchar_t name[64] = {};
  ::GetClassNameW(control, name, 64);
  return name;
}

// The space a control's caption needs: its text measured in the control's
// font, plus the check box or the button's edges.
SIZE NeededFor(HWND control, const std::wstring& text) {
  const HDC dc = ::GetDC(control);
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT measured{0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  SIZE needed{measured.right - measured.left, measured.bottom - measured.top};
  const LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
  if (::lstrcmpiW(ClassOf(control).c_str(), L"Button") == 0) {
    if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
      const int box = ::GetSystemMetrics(SM_CXMENUCHECK);
      needed.cx += box + box / 3;
    } else {
      needed.cx += 4 * ::GetSystemMetrics(SM_CXEDGE);
      needed.cy += 4 * ::GetSystemMetrics(SM_CYEDGE);
    }
  }
  return needed;
}

struct TLayoutReport {
  HWND window;
  RECT client;
  std::string text;
};

BOOL CALLBACK ReportControl(HWND control, LPARAM data) {
  auto& report = *reinterpret_cast<TLayoutReport*>(data);
  RECT r;
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, report.window, reinterpret_cast<POINT*>(&r), 2);
  wchar_t caption[256] = {};
  ::GetWindowTextW(control, caption, 256);
  const bool memo = ::lstrcmpiW(ClassOf(control).c_str(), L"Edit") == 0;
  const std::string name = Narrow(ClassOf(control)) + (caption[0] != 0 ? " [" + Narrow(caption) + "]" : "");
  char line[512];
  std::snprintf(line, sizeof(line), "control %s %ld %ld %ld %ld\n", name.c_str(), r.left, r.top, r.right, r.bottom);
  report.text += line;
  if (r.left < 0 || r.top < 0 || r.right > report.client.right || r.bottom > report.client.bottom) {
    report.text += "fail " + name + " lies outside the client area\n";
  }
  if (caption[0] != 0 && !memo) {
    const SIZE needed = NeededFor(control, caption);
    if (needed.cx > r.right - r.left || needed.cy > r.bottom - r.top) {
      std::snprintf(line, sizeof(line), "fail %s needs %ld x %ld\n", name.c_str(), needed.cx, needed.cy);
      report.text += line;
    }
  }
  return TRUE;
}

std::string LayoutReport() {
  const std::wstring title = remdo::app::win32::Wide(remdo::app::kApplicationTitle);
  TLayoutReport report{::FindWindowW(L"TMainForm", title.c_str()), {}, {}};
  if (report.window == nullptr) return "fail no window\n";
  ::GetClientRect(report.window, &report.client);
  report.text = "dpi " + std::to_string(ScreenDpi()) + "\nclient " + std::to_string(report.client.right) + " " +
                std::to_string(report.client.bottom) + "\n";
  ::EnumChildWindows(report.window, &ReportControl, reinterpret_cast<LPARAM>(&report));
  return report.text;
}

void KeepRunning(remdo::app::TMainForm& form, const std::string& folder, bool waitForFile, bool layout) {
  auto& fileSystem = remdo::env::DefaultFileSystem();
  form.LogLine("    test step: running until stopped");
  if (layout) {
    const std::string report = LayoutReport();
    auto file = fileSystem.Open(folder + "layout.txt", remdo::env::TOpenMode::kCreate);
    file->WriteAt(0, std::as_bytes(std::span(report.data(), report.size())));
    file->Close();
  }
  fileSystem.Open(folder + "running.txt", remdo::env::TOpenMode::kCreate)->Close();
  while (form.KeepGoing()) {
    if (waitForFile && fileSystem.FileExists(folder + "proceed.txt")) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  form.LogLine("    test step: done");
  fileSystem.Open(folder + "ended.txt", remdo::env::TOpenMode::kCreate)->Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: remdo_window_test <folder> cancel|wait|layout\n", stderr);
    return 2;
  }
  const std::string folder = remdo::env::IncludeTrailingSeparator(argv[1]);
  const std::string mode = argv[2];
  const bool layout = mode == "layout";
  const bool waitForFile = mode == "wait" || layout;
  remdo::installation::SetDataFolder(folder);
  const remdo::app::TCommandLine commandLine = remdo::app::win32::ProcessCommandLine();
  try {
    remdo::app::win32::RunProgressWindow(
        commandLine, false,
        [folder, waitForFile, layout](remdo::app::TMainForm& form) { KeepRunning(form, folder, waitForFile, layout); });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
