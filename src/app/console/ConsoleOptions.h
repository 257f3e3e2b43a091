// The console program's own options, taken out of its command line; every
// other argument is a run-mode parameter as on Windows.
//
//   --yes, --no          answer every question so (for runs without a
//                        terminal); without either, questions are asked on
//                        the terminal, or answered No when there is none
//   --data-folder DIR    use DIR as the data folder instead of locating it
//   --prefix DIR         work on the catalogue inside the Wine prefix DIR: its
//                        registry and drives stand for Windows
//   --undo               the run option UNDO
//   --verify             the run option VERIFY
//   --report FILE        a verify-only run also saves its report as FILE
//   --help               print the usage and end
//   --                   every later argument is a parameter
#ifndef REMDO_APP_CONSOLE_CONSOLEOPTIONS_H_
#define REMDO_APP_CONSOLE_CONSOLEOPTIONS_H_

#include <optional>
#include <string>
#include <vector>

namespace remdo::app::console {

struct TConsoleOptions {
  std::optional<bool> answer;  // --yes / --no
  std::string dataFolder;      // --data-folder, as given
  std::string prefix;          // --prefix, as given
  std::string reportFile;      // --report, as given
  bool help = false;
  std::vector<std::string> params;  // the run-mode parameters
  std::string error;                // a usage error, empty when none
};

// Reads the arguments after the program name (UTF-8 as given).
TConsoleOptions ParseConsoleOptions(const std::vector<std::string>& args);

// The usage text (UTF-8, with line ends).
std::string UsageText();

}  // namespace remdo::app::console

#endif  // REMDO_APP_CONSOLE_CONSOLEOPTIONS_H_
