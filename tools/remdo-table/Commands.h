// The subcommands of remdo-table and what they share. Each subcommand lives
// in its own file (InfoCommand.cpp, DumpCommand.cpp, ...) as a function of
// TCommandContext, and is listed once in the command table of RemdoTable.cpp.
//
// A command writes its results to out and returns kExitOk. It reports an
// unreadable or damaged file by throwing ECommandFailure with a complete
// one-line message (the dispatcher prints it and exits with kExitFailure),
// and wrong arguments by throwing EUsageError (usage, kExitUsage).
#ifndef REMDO_TOOLS_REMDO_TABLE_COMMANDS_H_
#define REMDO_TOOLS_REMDO_TABLE_COMMANDS_H_

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A file cannot be read as a table; the message names the file.
class ECommandFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The command line does not fit the command.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TCommandContext {
  // The words after the command's name, Windows-1252 like every path.
  std::vector<std::string> arguments;
  // Results (UTF-8) and diagnostics (UTF-8, one line each).
  std::ostream& out;
  std::ostream& err;
  env::TFileSystem& fileSystem;
};

// One subcommand: its name, its arguments as shown in the usage text, a
// one-line summary, and the function that runs it.
struct TCommand {
  const char* name;
  const char* arguments;
  const char* summary;
  int (*run)(TCommandContext& context);
};

// Prints the table file's layout, counts and companion files.
int RunInfo(TCommandContext& context);
// Writes every record the walk finds as CSV, memo values included; fails
// (after the whole dump) when a memo value could not be read.
int RunDump(TCommandContext& context);
// Rebuilds a table family through the engine under another name.
int RunCopy(TCommandContext& context);
// The verify-only run's findings for one table file; exit status 1 when
// damage was found.
int RunVerify(TCommandContext& context);
// Compares a data folder before and after a repair run, table by table.
int RunCompare(TCommandContext& context);

// Checks that exactly count arguments were given (EUsageError otherwise).
void RequireArguments(const TCommandContext& context, std::size_t count);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_COMMANDS_H_
