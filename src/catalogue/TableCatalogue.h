// The built-in catalogue of the catalogue application's table structures.
// The repair never trusts the structure stored in a damaged file: every table
// it creates (a rebuild's scratch table, a raw-recovery table, a recreated
// folder table) takes its fields from here, addressed by a structure number.
//
// Two generations of the data set exist. The current layout (long-integer
// book numbers) uses structures 21 to 42 and, shared with the earlier layout,
// 3 (BookInfo), 7 (CharX) and 13 (Prices); the earlier layout uses 1 to 15.
// Numbers 0, 16 to 20, below 0 and above 42 name no structure. Structures 40,
// 41 and 42 repeat 21, 22 and 31; 15 is 2 with its memo column declared as a
// real memo.
//
// Every entry gives the record width of the real table, because raw record
// images are copied into tables created from it. The tables that own a memo
// file declare their memo column as an alpha column of the memo's whole
// in-record width (leading characters plus the 10-byte memo reference); the
// swap step turns exactly those columns back into memo columns afterwards.
//
// Nothing here throws. The process-wide values below are read once at window
// creation and set by the app layer; the program has a single thread.
#ifndef REMDO_CATALOGUE_TABLECATALOGUE_H_
#define REMDO_CATALOGUE_TABLECATALOGUE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::catalogue {

// One field spec text per field, in record order ("Sort Title, A24+"); read
// by ReadFieldSpecs (paradox/FieldSpec.h).
using TFieldSpecList = std::vector<std::string>;

// --- Process-wide values taken from the data set at window creation -------

inline constexpr int kDefaultGroupNameWidth = 75;
// The type code of the first field of Books.db in the current layout (long
// integer); it is also the marker's value before Books.db has been read.
inline constexpr int kCurrentLayoutMarker = 4;

// The width of the group name (third field) of an earlier-layout GrpNames.db,
// used by structure 11 so that the table is recreated with the width the
// existing file has. Default 75 (no GrpNames.db). A width outside 1 to 255,
// which no alpha column can have (a damaged header byte), is not taken: the
// default stands, so that creating the table cannot fail on it.
void SetGroupNameWidth(int width);
int GroupNameWidth();

// The type code of the first field of Books.db; default kCurrentLayoutMarker.
void SetBooksFormatMarker(int marker);
int BooksFormatMarker();

// Both values back to their defaults (for tests and a fresh start).
void ResetCatalogueSettings();

// True when BooksFormatMarker() is kCurrentLayoutMarker.
bool IsCurrentLayout();

// --- Structures -------------------------------------------------------------

// A fresh list for the structure number, in record order; empty for a number
// that names no structure. Structure 11 takes GroupNameWidth() at the moment
// of the call.
TFieldSpecList GetTableSchema(int structureNumber);

// The table level to set after creation: 4 for numbers up to 14, 5 above.
int SchemaLevel(int structureNumber);

// The language driver to set after creation: "intl" for numbers up to 14,
// "DBWINUS0" above.
std::string SchemaLanguageDriver(int structureNumber);

// --- Table files and labels -------------------------------------------------

// Stands in a data-set file list for the folder tables (all files matching
// IsFolderTableFile); it is a wildcard, never a file name.
inline constexpr std::string_view kFolderTablesPattern = "Fldr*.db";

// The files of a data set of the layout, in their fixed order, spelled as
// the catalogue application spells them; kFolderTablesPattern marks where the
// folder tables go (in the middle of the current list, last in the earlier).
std::vector<std::string> DataSetFiles(bool currentLayout);

// The folder number of a folder table file: "Fldr", the number written with
// at least four digits (zero-padded to four, no further leading zeros) and
// ".db", without regard to case ("fldr0003.DB" gives 3, "Fldr12345.db" 12345;
// "Fldr003.db", "Fldr00003.db" and "Fldr0003" give nothing).
std::optional<int> FolderTableNumber(std::string_view fileName);

// The structures of the folder tables: the earlier layout's, and the
// current layout's (folder 3 has its own).
inline constexpr std::int32_t kEarlierFolderStructure = 14;
inline constexpr std::int32_t kFolderStructure = 21;
inline constexpr std::int32_t kFolderThreeStructure = 22;

// The field of a structure that holds a memo although the built-in
// structure declares it as alpha: 10 for 1, 11 for 2, 8 for 3 and 25, 21 for
// 31 and 42, 17 for 34; nothing for every other structure.
std::optional<int> MemoFieldNumber(std::int32_t structureNumber);
bool IsFolderTableFile(std::string_view fileName);

// True when the file name (no folder; case ignored) belongs to a data set of
// the layout: a listed file or a folder table.
bool IsDataSetFile(std::string_view fileName, bool currentLayout);

// The table's name in the run log ("Books", "Favorite authors"), given the
// table name without extension (case ignored). Empty for a folder table,
// whose label is its folder's title, and for a name that is not a table of
// the catalogue.
std::string_view TableLabel(std::string_view tableName);

}  // namespace remdo::catalogue

#endif  // REMDO_CATALOGUE_TABLECATALOGUE_H_
