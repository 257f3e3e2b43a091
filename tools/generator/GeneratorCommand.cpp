// Parses remdo-generate's words into TCatalogueOptions and reports what was
// written, one line per table.
#include "generator/GeneratorCommand.h"

#include <cstdint>
#include <exception>
#include <stdexcept>

#include "env/Text.h"
#include "generator/TableWriter.h"

namespace remdo::tools {

namespace {

constexpr const char* kUsage =
    "usage: remdo-generate FOLDER [--earlier] [--books N] [--folders N] [--memo-share FRACTION]\n"
    "                      [--seed N] [--no-save] [--no-favourites] [--earlier-folder-tables]\n"
    "                      [--group-name-width N] [--only TABLE]...\n";

std::uint64_t ParseNumber(const std::string& word, const std::string& option) {
  if (word.empty() || word.size() > 19 || word.find_first_not_of("0123456789") != std::string::npos) {
    throw std::invalid_argument(option + " wants a whole number, not \"" + word + "\"");
  }
  return std::stoull(word);
}

// "0.25" or "1" as thousandths (digits beyond the third decimal are cut).
int ParseShare(const std::string& word) {
  const std::size_t point = word.find('.');
  const std::string whole = word.substr(0, point);
  std::string fraction = point == std::string::npos ? std::string() : word.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || whole.find_first_not_of("0123456789") != std::string::npos ||
      fraction.find_first_not_of("0123456789") != std::string::npos || whole.size() > 4) {
    throw std::invalid_argument("--memo-share wants a fraction such as 0.3, not \"" + word + "\"");
  }
  fraction.resize(3, '0');
  const int share = (whole.empty() ? 0 : std::stoi(whole)) * 1000 + std::stoi(fraction);
  if (share > 1000) throw std::invalid_argument("--memo-share must be 0 to 1, not \"" + word + "\"");
  return share;
}

}  // namespace

TCatalogueOptions ParseGeneratorOptions(const std::vector<std::string>& words, std::string& folder) {
  TCatalogueOptions options;
  folder.clear();
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= words.size()) throw std::invalid_argument(word + " wants a value");
      return words[++i];
    };
    if (word == "--earlier") {
      options.currentLayout = false;
    } else if (word == "--books") {
      const std::uint64_t books = ParseNumber(value(), word);
      if (books < 1 || books > 2000000000) throw std::invalid_argument("--books must be 1 to 2000000000");
      options.books = static_cast<std::int32_t>(books);
    } else if (word == "--folders") {
      const std::uint64_t folders = ParseNumber(value(), word);
      if (folders > 9999) throw std::invalid_argument("--folders must be 0 to 9999");
      options.folders = static_cast<int>(folders);
    } else if (word == "--memo-share") {
      options.memoPerMille = ParseShare(value());
    } else if (word == "--seed") {
      options.seed = ParseNumber(value(), word);
    } else if (word == "--no-save") {
      options.saveFolder = false;
    } else if (word == "--no-favourites") {
      options.favouriteAuthors = false;
    } else if (word == "--earlier-folder-tables") {
      options.earlierFolderTables = true;
    } else if (word == "--group-name-width") {
      const std::uint64_t width = ParseNumber(value(), word);
      if (width < 1 || width > 255) throw std::invalid_argument("--group-name-width must be 1 to 255");
      options.groupNameWidth = static_cast<int>(width);
    } else if (word == "--only") {
      options.onlyTables.push_back(value());
    } else if (!word.empty() && word[0] == '-') {
      throw std::invalid_argument("unknown option " + word);
    } else if (folder.empty()) {
      folder = word;
    } else {
      throw std::invalid_argument("more than one folder given");
    }
  }
  if (folder.empty()) throw std::invalid_argument("no data folder given");
  return options;
}

int RunGenerator(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::string folder;
  TCatalogueOptions options;
  try {
    options = ParseGeneratorOptions(words, folder);
  } catch (const std::invalid_argument& e) {
    err << "remdo-generate: " << e.what() << "\n" << kUsage;
    return 2;
  }
  try {
    const TGeneratedCatalogue catalogue = GenerateCatalogue(folder, options);
    for (const TGeneratedTable& table : catalogue.tables) {
      out << env::Cp1252ToUtf8(table.name) << "\tstructure " << table.structure << "\t" << table.records
          << " records\n";
    }
    if (!catalogue.savedFiles.empty()) {
      out << catalogue.savedFiles.size() << " files copied into "
          << env::Cp1252ToUtf8(SaveFolderName(options.currentLayout, catalogue.folder)) << "\n";
    }
    return 0;
  } catch (const std::exception& e) {
    err << "remdo-generate: " << env::Cp1252ToUtf8(e.what()) << "\n";
    return 1;
  }
}

}  // namespace remdo::tools
