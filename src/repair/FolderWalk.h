// The walks over the folder tables at the end of the table sequence: one
// table per user folder of the catalogue (Fldr0001.db, ...), found through
// the folder titles among the expanded titles, or by number when the
// expanded titles failed their check (then a folder that Folders holds
// books of without a table is taken back or recreated as well). A folder
// table that fails its check
// is retried with other structures; in the current format a folder table
// missing from the data folder is taken back from the save folder, or
// recreated and refilled from Folders.
//
// Errors: as the table sequence's (TableSequence.h); only the engine's
// refusal of a single record while refilling is caught.
#ifndef REMDO_REPAIR_FOLDERWALK_H_
#define REMDO_REPAIR_FOLDERWALK_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "repair/RepairContext.h"

namespace remdo::repair {

// The folders looked for by number when the expanded titles failed.
inline constexpr std::int32_t kNumberedFolders = 250;
// EntryDate of the records of a refilled folder table: the largest 32-bit
// value less 1000.
inline constexpr std::int32_t kRefilledEntryDate = 2147482647;

// The structure of folder n's table: folder 3 has a layout of its own.
std::int32_t FolderStructure(std::int32_t n);

// The current format's folder tables: the walk over the folder titles when
// ExpandedTitlesOk, otherwise every existing table of folders 1 to 250,
// then each folder of FoldersWithBooks without a table, taken back from
// the save folder or recreated and refilled under its table name.
void CheckFolderTables(TRepairContext& context);

// Checks the table of folder n with the display name stem + "...", then,
// when that fails, retries it as an earlier-layout folder table (when it
// has 5 fields) and last with the structure that skips the layout
// comparison. A successful retry takes one failure back off FailureCount
// (the table stays in FailedTables) and logs "  -- folder repaired".
bool CheckFolderTable(TRepairContext& context, std::int32_t n, std::string_view stem);

// Creates the missing table of folder n empty (logging title + " folder
// missing -- recreating") and refills it; when the engine does not make
// it, logs "  -- unable to create file" and counts a failure without a
// name. Returns whether the table was made.
bool RecreateFolderTable(TRepairContext& context, std::int32_t n, std::string_view title);

// Fills the (new, empty) table of folder n with the books that Folders puts
// in folder n: Book and Release copied, EntryDate kRefilledEntryDate. The
// Close button and the choices are disabled meanwhile. A record the engine
// refuses is left out.
void RefillFolderTable(TRepairContext& context, std::int32_t n);

// The numbers of the folders (1 to kNumberedFolders) that Folders holds
// books of, ascending; none, with a line in the log file, when Folders
// cannot be opened.
std::vector<std::int32_t> FoldersWithBooks(TRepairContext& context);

// The earlier format's folder tables: each folder title among the expanded
// titles (Book -n for folder n) checked once as structure 14, no retry.
void CheckEarlierFolderTables(TRepairContext& context);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_FOLDERWALK_H_
