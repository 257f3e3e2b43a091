// The Windows program: the process's command line, the progress window's
// life, and start-up before it.
#include "app/win32/WindowApp.h"

// clang-format off: shellapi.h needs windows.h first.
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/ErrorHandler.h"
#include "app/StartUp.h"
#include "app/TableSequence.h"
#include "app/win32/Win32Dialogs.h"
#include "app/win32/Win32Support.h"
#include "app/win32/Win32Window.h"
#include "installation/EngineChecks.h"

namespace remdo::app::win32 {

namespace {

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

TCommandLine ProcessCommandLine() {
  std::vector<std::string> params;
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (args != nullptr) {
    for (int i = 1; i < count; ++i) params.push_back(Narrow(args[i]));
    ::LocalFree(args);
  }
  return TCommandLine(Narrow(ModulePath()), std::move(params));
}

void RunProgressWindow(const TCommandLine& commandLine, bool installedMark, TMainForm::TTableSequence sequence) {
  TWin32Dialogs dialogs;
  const env::TDialogsScope scope(dialogs);
  TWin32Window window(::GetModuleHandleW(nullptr));
  TMainForm form(commandLine, window, installedMark);
  form.SetTableSequence(std::move(sequence));
  window.Create(form);
  dialogs.SetOwner(window.Handle());
  try {
    form.FormCreate();
  } catch (...) {
    ShowUncaughtError(std::current_exception());
  }
  window.Update();
  window.Show();
  window.RunMessageLoop();
  try {
    form.FormDestroy();
  } catch (...) {
    ShowUncaughtError(std::current_exception());
  }
  window.Destroy();
}

int WindowsMain() {
  // Start-up's boxes come before any window exists: owner-less.
  TWin32Dialogs dialogs;
  const env::TDialogsScope scope(dialogs);
  try {
    const TCommandLine commandLine = ProcessCommandLine();
    installation::CheckEngineAtStart(commandLine.ProgramPath(), commandLine.Params());
    const TStartResult start = StartUp(commandLine);
    if (start.outcome == TStartOutcome::kOpenWindow) {
      RunProgressWindow(commandLine, start.installedMark, RepairTableSequence());
    }
    return start.outcome == TStartOutcome::kOpenWindow || start.outcome == TStartOutcome::kFinished ? 0 : 1;
  } catch (...) {
    ShowUncaughtError(std::current_exception());
    return 1;
  }
}

}  // namespace remdo::app::win32
