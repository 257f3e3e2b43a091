// remdo-generate's command line, apart from the process entry so that tests
// run it in-process:
//   remdo-generate FOLDER [--earlier] [--books N] [--folders N]
//       [--memo-share FRACTION] [--seed N] [--no-save] [--no-favourites]
//       [--earlier-folder-tables] [--group-name-width N] [--only TABLE]...
// Prints one line per table written and the saved copies. Exit status 0,
// 1 with a one-line message when generating fails, 2 for a usage error.
#ifndef REMDO_TOOLS_GENERATOR_GENERATORCOMMAND_H_
#define REMDO_TOOLS_GENERATOR_GENERATORCOMMAND_H_

#include <ostream>
#include <string>
#include <vector>

#include "generator/CatalogueGenerator.h"

namespace remdo::tools {

// The options of a command line (words after the program name) and its
// folder; throws std::invalid_argument with the usage problem.
TCatalogueOptions ParseGeneratorOptions(const std::vector<std::string>& words, std::string& folder);

// Never throws except std::bad_alloc.
int RunGenerator(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_GENERATORCOMMAND_H_
