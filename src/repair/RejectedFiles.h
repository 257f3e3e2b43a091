// What a table repair sets aside instead of losing it, in the run's folder
// of rejected records inside the data folder (Rejected\YYYYMMDD-HHMMSS\):
//  - the records the engine refused while a table was rebuilt: a Paradox
//    table of the table's structure without a key (so that every refused
//    record fits, duplicate keys included), its memo values copied into its
//    own memo file, and the same records as CSV (UTF-8, a header line of
//    field names, CR LF line ends) beside it;
//  - the old data and index files of a table replaced while records were
//    still missing, with a copy of its memo file, in the subfolder
//    "Original".
// A name already taken in the folder (the same table checked twice in a
// run) gets "_2", "_3" ... appended to the table name.
//
// Failures are thrown as the platform's and the engine's errors
// (env::ERemdoError and its kinds); the caller reports them and keeps the
// old table in place.
#ifndef REMDO_REPAIR_REJECTEDFILES_H_
#define REMDO_REPAIR_REJECTEDFILES_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace remdo::repair {

class TRepairContext;

// The folder, with a trailing separator, of the run's rejected files inside
// the data folder (made when missing), and the subfolder "Original" of it.
std::string RejectedFolder(TRepairContext& context);
std::string OriginalFilesFolder(TRepairContext& context);

class TRejectedRecords {
 public:
  // Forgets every record; records of recordSize bytes follow.
  void Reset(std::size_t recordSize);
  // Keeps a copy of one refused record image (recordSize bytes).
  void Add(std::span<const std::byte> record);
  std::size_t Count() const { return recordSize_ == 0 ? 0 : bytes_.size() / recordSize_; }
  bool Empty() const { return bytes_.empty(); }

  // Writes the records as the table tableName (the base name, made unique)
  // of structureNumber into the run's Rejected folder, with their memo
  // values read from memoSource (the memo file of the table they came from),
  // and the CSV beside it. Returns the new data file's path relative to the
  // data folder ("Rejected\20240131-154502\Books.db"). Throws
  // env::ERemdoError kinds when a file cannot be made or written.
  std::string Keep(TRepairContext& context, std::string_view tableName, std::int32_t structureNumber,
                   const std::string& memoSource) const;

 private:
  std::size_t recordSize_ = 0;
  std::vector<std::byte> bytes_;
};

// Copies the files names (in the data folder) into the Original subfolder
// of the run's Rejected folder, named with the table name made unique there
// and each file's own extension. Returns the folder's path relative to the
// data folder. Throws env::ERemdoError kinds.
std::string KeepOriginalFiles(TRepairContext& context, std::string_view tableName,
                              const std::vector<std::string>& names);

// Moves the files names (in the data folder) into the Original subfolder
// as KeepOriginalFiles copies them; they are no longer in the data folder
// afterwards. Throws env::ERemdoError kinds; a file not moved stays where
// it was.
std::string MoveOriginalFiles(TRepairContext& context, std::string_view tableName,
                              const std::vector<std::string>& names);

// A file of a table's family: its data file (.db), primary index (.px),
// secondary indexes (.x??, .y??) or memo file (.mb).
bool IsTableFamilyFile(std::string_view name);

// tableName, or tableName + "_2", "_3" ..., the first for which the folder
// holds no file tableName + ".*".
std::string FreeTableName(const std::string& folder, std::string_view tableName);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_REJECTEDFILES_H_
