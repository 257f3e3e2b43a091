// remdo-table compare BEFORE AFTER: what a repair run did to the records of
// a data folder, table by table (see FolderCompare.h), as a text table with
// a line of totals and the files the run kept in its Rejected folder. Exit
// status 1 when a record of the before folder is lost.
#include <cstdio>
#include <string>

#include "env/Errors.h"
#include "env/Text.h"
#include "remdo-table/Commands.h"
#include "remdo-table/FolderCompare.h"

namespace remdo::tools {

namespace {

void WriteRow(std::ostream& out, const std::string& name, const TTableComparison& t) {
  char line[160];
  std::snprintf(line, sizeof line, "%-10s %9lld %9lld %9lld %9lld %9lld %6lld", name.c_str(),
                static_cast<long long>(t.before), static_cast<long long>(t.after), static_cast<long long>(t.recovered),
                static_cast<long long>(t.rejected), static_cast<long long>(t.original), static_cast<long long>(t.lost));
  out << line;
}

}  // namespace

int RunCompare(TCommandContext& context) {
  RequireArguments(context, 2);
  TFolderComparison comparison;
  try {
    comparison = CompareFolders(context.fileSystem, context.arguments[0], context.arguments[1]);
  } catch (const env::ERemdoError& e) {
    throw ECommandFailure(e.what());
  }
  auto& out = context.out;
  out << "table         before     after recovered  rejected  original   lost\n";
  TTableComparison total;
  for (const auto& table : comparison.tables) {
    WriteRow(out, env::Cp1252ToUtf8(table.name), table);
    out << (table.note.empty() ? "" : "  (" + env::Cp1252ToUtf8(table.note) + ")") << "\n";
    total.before += table.before;
    total.after += table.after;
    total.recovered += table.recovered;
    total.rejected += table.rejected;
    total.original += table.original;
    total.lost += table.lost;
  }
  WriteRow(out, "total", total);
  out << "\n";
  for (const auto& file : comparison.keptFiles) out << "kept: " << env::Cp1252ToUtf8(file) << "\n";
  if (total.lost == 0) return kExitOk;
  context.err << "remdo-table: " << total.lost << " record" << (total.lost == 1 ? "" : "s")
              << " of the before folder found nowhere after the run\n";
  return kExitFailure;
}

}  // namespace remdo::tools
