// What a verify-only look at one table's data file finds, without the
// engine and without writing: the header's record count against what the
// raw walk reads, the blocks it passes over and why, a partial last block,
// the record layout against the table's built-in structure (the check's
// format test), and the primary key's order and uniqueness.
//
// The findings are records (repair/findings/Finding.h); the verify-only run
// writes their lines under the table's "Checking" line and into its JSON
// report, remdo-table verify prints them for one file.
//
// Errors: nothing is thrown for a damaged or unreadable file (that is a
// finding); a file that cannot be opened at all throws EFOpenError.
#ifndef REMDO_REPAIR_VERIFY_TABLEFINDINGS_H_
#define REMDO_REPAIR_VERIFY_TABLEFINDINGS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "repair/findings/Finding.h"

namespace remdo::repair {

struct TTableFindings {
  std::vector<TFinding> findings;
  // Something a repair run would change was found.
  bool damaged = false;
  // Not one record can be read: no usable header, no fields, no block
  // size, an impossible record size, or encryption.
  bool unreadable = false;
};

// The findings for the data file at dataPath. structureNumber selects the
// built-in structure the layout is compared with; 0 leaves the layout out.
TTableFindings FindTableDamage(const std::string& dataPath, std::int32_t structureNumber);

// The structure a table of this name is checked with in the sequence of
// the format: the sequence's row, or the folder tables' structure; 0 for a
// name the sequence does not know.
std::int32_t StructureOfTable(std::string_view tableName, bool currentLayout);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_VERIFY_TABLEFINDINGS_H_
