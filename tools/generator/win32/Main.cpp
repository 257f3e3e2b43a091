// remdo-generate's entry on Windows: the command line arrives as UTF-16 and
// is turned into the program's Windows-1252 text.
#include <iostream>
#include <string>
#include <vector>

#include "env/Text.h"
#include "generator/GeneratorCommand.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::u16string word;
    for (const wchar_t* p = argv[i]; *p != L'\0'; ++p) word.push_back(static_cast<char16_t>(*p));
    words.push_back(remdo::env::Utf16ToCp1252(word));
  }
  return remdo::tools::RunGenerator(words, std::cout, std::cerr);
}
