// The catalogue generator: writes a data folder of the catalogue
// application's tables, of the current layout (structures 21 to 39 with 3,
// 7 and 13) or of the earlier one (1 to 14), with N books and content that
// agrees across tables: every book's genre tokens have their Genre rows,
// every folder has its title among the expanded titles and its folder table
// filled from Folders, reissues, authors, series and the rest refer to
// books and to each other. Memo columns are real memo fields with their
// memo files, secondary indexes are the engine's, and a save folder holds
// copies of the backed-up files.
//
// The same options and seed give the same files byte for byte, apart from
// the stamps the engine puts into every data file header it writes (the
// generation tag at 0x30 and the time at 0x60).
//
// Errors: EGeneratorError for options that make no catalogue (a count out
// of range) and for a record the engine refuses (a fault of the generator);
// engine errors (EDBEngineError) and file errors pass through. The data
// folder must exist; its earlier tables of the same names are replaced.
#ifndef REMDO_TOOLS_GENERATOR_CATALOGUEGENERATOR_H_
#define REMDO_TOOLS_GENERATOR_CATALOGUEGENERATOR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::tools {

struct TCatalogueOptions {
  bool currentLayout = true;
  // Books 1 to books (at least 1; at most 2,000,000,000).
  std::int32_t books = 1000;
  // Folders 1 to folders (0 to 9999), each with its folder table.
  int folders = 5;
  // Share, in thousandths, of the records of memo tables (Books, AuthX,
  // BookInfo, Contact) that carry a memo value.
  int memoPerMille = 300;
  std::uint64_t seed = 1;
  // Copies of the backed-up files in "Save\" ("SaveFenr\" for the earlier
  // layout).
  bool saveFolder = true;
  // Current layout: write Auth0001.db ("Favorite authors").
  bool favouriteAuthors = true;
  // Current layout: folder tables of the earlier layout's structure 14, as
  // a catalogue upgraded without converting them has.
  bool earlierFolderTables = false;
  // Earlier layout: the width of GrpNames' Name column (structure 11 takes
  // it from the process-wide setting, which the generator sets for the
  // time it writes the table and restores afterwards); 0 keeps the setting.
  int groupNameWidth = 0;
  // Only the tables whose names match one of these patterns ("Books",
  // "Fldr*"; case ignored); empty: every table.
  std::vector<std::string> onlyTables;
};

struct TGeneratedTable {
  std::string name;  // "Books", "Fldr0003"
  int structure = 0;
  std::int64_t records = 0;
};

struct TGeneratedCatalogue {
  std::string folder;  // with a trailing separator
  std::vector<TGeneratedTable> tables;
  // Files copied into the save folder, in copying order.
  std::vector<std::string> savedFiles;

  // The records written to the table (case ignored), -1 when not written.
  std::int64_t Records(std::string_view table) const;
};

// The save folder's name for the layout: "Save\" or "SaveFenr\" (with the
// separator of dataFolder).
std::string SaveFolderName(bool currentLayout, std::string_view dataFolder);

TGeneratedCatalogue GenerateCatalogue(std::string_view dataFolder, const TCatalogueOptions& options);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_GENERATOR_CATALOGUEGENERATOR_H_
