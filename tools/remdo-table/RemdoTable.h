// remdo-table's command dispatch, apart from the process entry so that tests
// run it in-process: the first word picks the subcommand, the rest are its
// arguments. Exit status 0 on success, 1 (with a one-line message on err)
// for an unreadable or damaged file (a dump whose memo values could not all
// be read included), 2 for a usage error.
#ifndef REMDO_TOOLS_REMDO_TABLE_REMDOTABLE_H_
#define REMDO_TOOLS_REMDO_TABLE_REMDOTABLE_H_

#include <ostream>
#include <string>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

// words: the command line after the program name, Windows-1252. Never
// throws except std::bad_alloc.
int RunRemdoTable(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
                  env::TFileSystem& fileSystem = env::DefaultFileSystem());

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_REMDOTABLE_H_
