// Dispatch of remdo-table's subcommands. A new subcommand is a new file with
// its Run function, declared in Commands.h and added to kCommands below.
#include "remdo-table/RemdoTable.h"

#include <iterator>
#include <string_view>

#include "remdo-table/Commands.h"
#include "env/Errors.h"
#include "env/Text.h"

namespace remdo::tools {

namespace {

const TCommand kCommands[] = {
    {"info", "FILE", "layout, counts and companion files of a table file", RunInfo},
    {"dump", "FILE",
     "every record of a table file as CSV (UTF-8) on standard output, with the memo texts and BLOB sizes of its .MB",
     RunDump},
    {"verify", "FILE",
     "what a verify-only run finds in a table file: counts, blocks passed over, layout, key order (exit 1: damage)",
     RunVerify},
    {"copy", "SRC DST", "rebuild table SRC through the engine as DST: fields, level, block size, driver, indexes, memos",
     RunCopy},
    {"compare", "BEFORE AFTER",
     "records per table of a data folder before and after a repair run: found, recovered, rejected, kept, lost",
     RunCompare},
};

void PrintUsage(std::ostream& err) {
  err << "usage:\n";
  for (const auto& command : kCommands) {
    err << "  remdo-table " << command.name << " " << command.arguments << "\n      " << command.summary << "\n";
  }
}

const TCommand* FindCommand(std::string_view name) {
  for (const auto& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

}  // namespace

void RequireArguments(const TCommandContext& context, std::size_t count) {
  if (context.arguments.size() != count) {
    throw EUsageError("expected " + std::to_string(count) + " argument" + (count == 1 ? "" : "s") + ", got " +
                      std::to_string(context.arguments.size()));
  }
}

int RunRemdoTable(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                  env::TFileSystem& fileSystem) {
  if (words.empty()) {
    PrintUsage(err);
    return kExitUsage;
  }
  const TCommand* command = FindCommand(words.front());
  if (command == nullptr) {
    err << "remdo-table: unknown command \"" << env::Cp1252ToUtf8(words.front()) << "\"\n";
    PrintUsage(err);
    return kExitUsage;
  }
  TCommandContext context{{std::next(words.begin()), words.end()}, out, err, fileSystem};
  try {
    const int status = command->run(context);
    out.flush();
    return status;
  } catch (const EUsageError& e) {
    err << "remdo-table " << command->name << ": " << e.what() << "\n";
    PrintUsage(err);
    return kExitUsage;
  } catch (const ECommandFailure& e) {
    out.flush();
    err << "remdo-table: " << env::Cp1252ToUtf8(e.what()) << "\n";
    return kExitFailure;
  } catch (const env::ERemdoError& e) {
    out.flush();
    err << "remdo-table: " << env::Cp1252ToUtf8(e.what()) << "\n";
    return kExitFailure;
  }
}

}  // namespace remdo::tools
