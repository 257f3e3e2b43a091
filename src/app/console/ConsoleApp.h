// The console program: its options, start-up, the progress window's life as
// a console, and the exit status. Everything but the terminal itself is
// here, so tests drive whole runs through a scripted terminal.
#ifndef REMDO_APP_CONSOLE_CONSOLEAPP_H_
#define REMDO_APP_CONSOLE_CONSOLEAPP_H_

#include <string>
#include <vector>

#include "app/MainForm.h"
#include "app/console/Terminal.h"

namespace remdo::app::console {

// Exit status of the console program.
enum TExitStatus : int {
  kExitClean = 0,       // a run without failures (or nothing to run)
  kExitFailures = 1,    // the run ended with failed tables and was not stopped
  kExitUsage = 2,       // the command line was wrong
  kExitNoRun = 3,       // the run could not start, or an error ended it
  kExitStopped = 4,     // the user stopped the run
};

// programPath: the path by which the program was started; args: the
// arguments after it; both UTF-8 as the system gives them. sequence: the
// table sequence between the report and the ending (none: straight to the
// ending). winePrefixVariable: the environment's WINEPREFIX, the prefix used
// when neither --prefix nor --data-folder is given. With a prefix the engine
// checks run before start-up, as on Windows; without one there is no
// Windows engine to check. Installs its own message boxes for the call.
// Never throws.
int RunConsole(const std::string& programPath, const std::vector<std::string>& args, TTerminal& terminal,
               TMainForm::TTableSequence sequence = TMainForm::TTableSequence(),
               const std::string& winePrefixVariable = std::string());

}  // namespace remdo::app::console

#endif  // REMDO_APP_CONSOLE_CONSOLEAPP_H_
