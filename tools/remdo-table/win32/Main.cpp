// remdo-table's entry on Windows: the command line arrives as UTF-16 and is
// turned into the program's Windows-1252 text, and standard output is put
// into binary mode, because the CSV rows carry their own CR LF line ends
// (and memo texts their own line breaks) that the C runtime's text mode
// would turn into CR CR LF.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "env/Text.h"
#include "remdo-table/Commands.h"
#include "remdo-table/RemdoTable.h"

int wmain(int argc, wchar_t** argv) {
  try {
    _setmode(_fileno(stdout), _O_BINARY);
    std::ios::sync_with_stdio(false);
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
      std::u16string word;
      for (const wchar_t* p = argv[i]; *p != L'\0'; ++p) word.push_back(static_cast<char16_t>(*p));
      words.push_back(remdo::env::Utf16ToCp1252(word));
    }
    return remdo::tools::RunRemdoTable(words, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "remdo-table: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "remdo-table: unexpected error\n";
  }
  return remdo::tools::kExitFailure;
}
