// The run's table sequence: the fixed order in which the catalogue's tables
// are handed to CheckTable, for the current catalogue format and for the
// earlier one, with the few tables that are first taken back from the save
// folder when they are missing and the follow-up recoveries of books and
// genres. The walk over the folder tables is in FolderWalk.h.
//
// Each table is checked once; a check that fails has counted and named
// itself, and the sequence goes on. After Cancel every check returns at
// once, so the sequence runs through quickly (the folder walks still visit
// every folder).
//
// Errors: nothing is caught here. A copy from the save folder that fails
// throws what CopyFileOrFail throws (EFOpenError, EFCreateError, EReadError,
// EWriteError); the errors CheckTable, the recoveries and table creation let
// pass (EDBEngineError, EFOpenError) leave the sequence too.
#ifndef REMDO_REPAIR_TABLESEQUENCE_H_
#define REMDO_REPAIR_TABLESEQUENCE_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "repair/RepairContext.h"

namespace remdo::repair {

// One row of a sequence: the arguments of one CheckTable call.
struct TSequenceRow {
  std::string_view displayName;
  std::string_view tableName;
  std::int32_t structureNumber = 0;
  std::int32_t missingTolerance = 0;
  bool restoreFromSave = false;
  bool verifyMissing = false;
};

// The sequence of the data set's format (catalogue::IsCurrentLayout).
// Without a data folder only the folder check runs, and counts a failure.
void RunTableSequence(TRepairContext& context);

// The current format: the data folder check, the tables in their order with
// the retrievals of expanded titles, genres, characters and groups, then
// the folder tables.
void RunCurrentSequence(TRepairContext& context);

// The earlier format: its tables in their order, then its folder tables.
void RunEarlierSequence(TRepairContext& context);

// The rows of a format's sequence in their order, the folder tables left
// out: what a run hands to CheckTable before any retrieval changes a row.
std::vector<TSequenceRow> SequenceRows(bool currentLayout);
std::vector<TSequenceRow> CurrentSequenceRows();

// CheckTable with the row's arguments.
bool CheckRow(TRepairContext& context, const TSequenceRow& row);

// Whether the data folder, or the save folder (SaveFolder), holds the file
// name. False when there is no data folder.
bool DataFolderHolds(std::string_view name);
bool SaveFolderHolds(std::string_view name);

// Copies the file name from the save folder into the data folder, creating
// or replacing it byte for byte. Throws as CopyFileOrFail.
void TakeBackFromSaveFolder(std::string_view name);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_TABLESEQUENCE_H_
