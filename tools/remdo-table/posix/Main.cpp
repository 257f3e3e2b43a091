// remdo-table's entry on Linux and other POSIX systems: the command line
// arrives as UTF-8 and is turned into the program's Windows-1252 text.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "env/Text.h"
#include "remdo-table/Commands.h"
#include "remdo-table/RemdoTable.h"

int main(int argc, char** argv) {
  try {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(remdo::env::Utf8ToCp1252(argv[i]));
    return remdo::tools::RunRemdoTable(words, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "remdo-table: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "remdo-table: unexpected error\n";
  }
  return remdo::tools::kExitFailure;
}
