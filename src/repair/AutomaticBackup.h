// The automatic backup: the catalogue's data and memo files copied into the
// save folder at the end of a faultless run, at most once every seven days
// and only when the data drive has room. The save folder is also where the
// rebuild and the restore step find a table's saved copy, and where start-up
// and the table sequence find spare copies.
#ifndef REMDO_REPAIR_AUTOMATICBACKUP_H_
#define REMDO_REPAIR_AUTOMATICBACKUP_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "repair/RunReporter.h"

namespace remdo::repair {

// Free bytes the data drive must have for a backup.
inline constexpr std::uint64_t kBackupFreeSpace = 800000000;
// A saved BOOKS.db younger than this makes the backup wait.
inline constexpr std::int64_t kBackupInterval = 7 * 24 * 60 * 60;

// The data folder followed by "Save\" for the current catalogue format,
// by "SaveFenr\" for the earlier one; empty when there is no data folder.
std::string SaveFolder();

// Copies the catalogue's files into the save folder unless the drive has
// less than kBackupFreeSpace free or the last backup is younger than seven
// days; logs every copied file. A stopped run stops the backup file by
// file. Throws EFCreateError when the save folder or a copy cannot be
// created, EFOpenError, EReadError or EWriteError when a copy fails.
void AutomaticBackup(TRunReporter& run);

// Copies one file of the data folder into the save folder (replacing an
// earlier copy) when the file exists and the run goes on. Throws as
// AutomaticBackup.
void SaveCopy(TRunReporter& run, std::string_view name);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_AUTOMATICBACKUP_H_
