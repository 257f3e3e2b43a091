// The entry of the Linux console program.
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/TableSequence.h"
#include "app/console/ConsoleApp.h"
#include "app/console/posix/PosixTerminal.h"

int main(int argc, char** argv) {
  // Dates in the run log follow the user's locale, as on Windows.
  std::setlocale(LC_TIME, "");
  remdo::app::console::TPosixTerminal terminal;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const char* winePrefix = std::getenv("WINEPREFIX");
  return remdo::app::console::RunConsole(argc > 0 ? argv[0] : "remdo", args, terminal,
                                         remdo::app::RepairTableSequence(), winePrefix != nullptr ? winePrefix : "");
}
