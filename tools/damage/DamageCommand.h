// remdo-damage's command line, apart from the process entry so that tests
// run it in-process:
//   remdo-damage KIND TABLE.db [--seed N] [--block B] [--record R]
//       [--amount N] [--field F] [--source FILE]
//   remdo-damage --list
// Prints the damage report. Exit status 0, 1 with a one-line message when
// the damage cannot be done, 2 for a usage error.
#ifndef REMDO_TOOLS_DAMAGE_DAMAGECOMMAND_H_
#define REMDO_TOOLS_DAMAGE_DAMAGECOMMAND_H_

#include <ostream>
#include <string>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

// Never throws except std::bad_alloc.
int RunDamage(const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
              env::TFileSystem& fileSystem = env::DefaultFileSystem());

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_DAMAGE_DAMAGECOMMAND_H_
