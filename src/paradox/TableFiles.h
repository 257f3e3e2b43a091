// The files of one table family in a folder: the data file, the primary
// index, the memo file, the validity file, the secondary index files and the
// engine's journal, found by the table's base name without regard to case.
#ifndef REMDO_PARADOX_TABLEFILES_H_
#define REMDO_PARADOX_TABLEFILES_H_

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

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_TABLEFILES_H_
