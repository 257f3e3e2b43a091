// remdo-damage's entry on Linux: the command line arrives as UTF-8 and is
// turned into the program's Windows-1252 text.
#include <iostream>
#include <string>
#include <vector>

#include "env/Text.h"
#include "damage/DamageCommand.h"

int main(int argc, char** argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) words.push_back(remdo::env::Utf8ToCp1252(argv[i]));
  return remdo::tools::RunDamage(words, std::cout, std::cerr);
}
