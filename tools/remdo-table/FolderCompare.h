// What a repair run did to the records of a data folder: a copy of the
// folder taken before the run against the folder after it, table by table.
// Records are compared by their field texts (the CSV texts of the dump, memo
// fields by their in-record leader), as multisets, so that duplicates count
// and a record that moved to another block is still the same record.
//
// For each table (every *.db of either folder, the scratch tables temptbl1
// and RecTbl aside) the comparison gives:
//  - before, after: the records the raw reader's walk finds in the table
//    file of each folder (0 for a missing file);
//  - rejected: the rows of the tables of refused records that the run put
//    into the after folder's Rejected\<stamp>\ folder (the table's name, or
//    its name followed by "_2", "_3" ...);
//  - original: the rows of the old table files kept in the subfolder
//    Original of that folder, under the same names;
//  - recovered: records of the after table that the before table lacked;
//  - lost: records of the before table found neither in the after table,
//    nor among the rejected rows, nor in the kept originals.
// A walk stopped by a read error counts what it found before the error and
// says so in the table's note.
#ifndef REMDO_TOOLS_REMDO_TABLE_FOLDERCOMPARE_H_
#define REMDO_TOOLS_REMDO_TABLE_FOLDERCOMPARE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "env/FileSystem.h"

namespace remdo::tools {

struct TTableComparison {
  std::string name;  // the table name as the after folder spells it, else as the before folder does
  std::int64_t before = 0;
  std::int64_t after = 0;
  std::int64_t recovered = 0;
  std::int64_t rejected = 0;
  std::int64_t original = 0;
  std::int64_t lost = 0;
  // Empty, or what stopped a walk ("after: <read error>").
  std::string note;
};

struct TFolderComparison {
  std::vector<TTableComparison> tables;  // sorted by name, without regard to case
  // The kept original and rejected table files, relative to the after
  // folder ("Rejected\20240131-154502\Books.db").
  std::vector<std::string> keptFiles;
};

// Compares the folder before (a copy of the data folder taken before the
// run) with the data folder after the run. Both are Windows-1252 paths,
// with or without a trailing separator. Throws env::ERemdoError kinds when
// a folder or file cannot be read at all.
TFolderComparison CompareFolders(env::TFileSystem& fileSystem, const std::string& before, const std::string& after);

// The field texts of every record the raw reader's walk finds in a table
// file, each record's texts joined by the unit separator 0x1F. A read error
// ends the walk: the records before it are returned and error is set to its
// message. A missing file gives no records.
std::vector<std::string> RecordTexts(env::TFileSystem& fileSystem, const std::string& path, std::string& error);

}  // namespace remdo::tools

#endif  // REMDO_TOOLS_REMDO_TABLE_FOLDERCOMPARE_H_
