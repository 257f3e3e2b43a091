// The files of one table family in a folder: the data file, the primary
// index, the memo file, the validity file, the secondary index files and the
// engine's journal, found by the table's base name without regard to case.
#ifndef REMDO_PARADOX_FAMILY_TABLEFILES_H_
#define REMDO_PARADOX_FAMILY_TABLEFILES_H_

#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::paradox {

struct TTableFiles {
  std::string folder;     // with a trailing separator
  std::string baseName;   // "Books"
  std::string dataName;   // "Books.db": as on disk, or as it will be created
  // Names as found on disk; empty when the file is not there.
  std::string primaryIndex;
  std::string memo;
  std::string validity;
  std::string journal;
  std::vector<std::string> secondary;  // .Xnn, .Ynn, .XGn, .YGn

  std::string DataPath() const { return folder + dataName; }
  // Every file a new table of this name replaces.
  std::vector<std::string> Family() const;
};

// The path of a table's data file: folder + name, with ".db" added when the
// name has no extension.
std::string TableDataPath(std::string_view folder, std::string_view tableName);

// Looks the family of the data file at dataPath up on disk.
TTableFiles FindTableFiles(env::TFileSystem& fileSystem, std::string_view dataPath);

// True for the extension (without dot, any case) of a secondary index file:
// X or Y followed by two characters.
bool IsSecondaryIndexExtension(std::string_view extension);

// True for the extension (without dot, any case) of a file the engine
// writes for a family: DB, PX, MB, VAL, or a secondary index's.
bool IsFamilyExtension(std::string_view extension);

// The file names of the single-field secondary index on the field with this
// 1-based number: the base name, a dot, 'X' (entries) or 'Y' (their tree)
// and the field number in two upper-case hexadecimal digits ("Books.X04",
// "Fldr0001.X0B"). Field numbers up to 9 read the same in decimal, as every
// engine-written file shows; that 10 and above are hexadecimal is believed,
// not confirmed (no such file was seen). This is the only place that rule
// lives.
std::string SecondaryIndexFileName(std::string_view baseName, int fieldNumber, char kind);

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FAMILY_TABLEFILES_H_
