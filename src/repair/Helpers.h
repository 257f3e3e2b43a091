// Small operations the repair steps and the run share: the name of a folder
// table, the plural suffix of counted words, the drive of the data folder and
// the progress percentage.
#ifndef REMDO_REPAIR_HELPERS_H_
#define REMDO_REPAIR_HELPERS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace remdo::repair {

// "Fldr" and the absolute value of n with at least four digits, zero-padded:
// 3 gives "Fldr0003", -12 gives "Fldr0012", 12345 gives "Fldr12345".
std::string FolderTableName(std::int32_t n);

// The empty text for exactly 1, "s" for every other count (0 included).
std::string_view PluralSuffix(std::int64_t n);

// CopyFileContents for the steps that must not go on without the copy:
// a copy that could not be completed raises EWriteError naming both files
// (the destination stays as it was).
void CopyFileOrFail(std::string_view source, std::string_view destination);

// The drive part of the data folder ("C:" for "C:\FENRO\"); empty when
// there is no data folder or it has no drive (a host path on Linux).
std::string DataDrive();

// The drive part of a path: "C:" for "C:\FENRO\", "\\server\share" for a
// network path, empty for a path without a drive (a host path on Linux).
std::string DriveOf(std::string_view path);

// done * 100 / total in whole percent, clamped to 0..100; 0 when total is 0.
int ProgressPercent(std::int64_t done, std::int64_t total);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_HELPERS_H_
