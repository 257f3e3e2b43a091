// Taking a table back from the save folder where the table sequence does so
// for a missing table. A data file of zero bytes, or one whose header the
// raw reader cannot read, holds nothing a check could use: for these rules
// it counts as missing, and its family is moved into the run's folder of
// original files before the saved copy takes its place.
#ifndef REMDO_REPAIR_TABLERETRIEVAL_H_
#define REMDO_REPAIR_TABLERETRIEVAL_H_

#include <string>
#include <string_view>

namespace remdo::repair {

class TRepairContext;

// The data file at path is there but unusable: zero bytes, too short for a
// header, a header size out of range, or no readable field list. A file
// that cannot be opened at all is not judged here (false).
bool IsUnusableDataFile(const std::string& path);

// The data folder holds no usable data file name ("Genre.db"): none at
// all, or an unusable one.
bool DataFolderLacksUsable(std::string_view name);

// Takes the data file name back from the save folder as TakeBackFromSaveFolder
// does. When an unusable file of that name is there, its family (data,
// primary and secondary indexes, memo) is first moved into
// Rejected\<run>\Original\, with a line in the log file, and the saved memo
// file is taken back too when the save folder holds one. Throws what
// TakeBackFromSaveFolder throws, and env::ERemdoError kinds when a file
// cannot be moved aside.
void TakeBackTable(TRepairContext& context, std::string_view name);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_TABLERETRIEVAL_H_
