// The Windows program's entry pieces, declared without Win32 types so that
// the window test can run the real window with a step of its own.
#ifndef REMDO_APP_WIN32_WINDOWAPP_H_
#define REMDO_APP_WIN32_WINDOWAPP_H_

#include "app/MainForm.h"
#include "app/RunMode.h"

namespace remdo::app::win32 {

// The command line of this process: the program file's path and the
// parameters, as Windows-1252 text.
TCommandLine ProcessCommandLine();

// Creates the progress window, runs it until it closes and destroys it.
// Message boxes are real boxes owned by the window. An error while the
// window is created is shown in an error box and the window opens all the
// same; creating the window itself failing throws env::ERemdoError.
void RunProgressWindow(const TCommandLine& commandLine, bool installedMark,
                       TMainForm::TTableSequence sequence = TMainForm::TTableSequence());

// The whole program: start-up, then the window. Returns the exit code.
int WindowsMain();

}  // namespace remdo::app::win32

#endif  // REMDO_APP_WIN32_WINDOWAPP_H_
