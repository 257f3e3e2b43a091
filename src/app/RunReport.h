// The run report: the log file Remdo.log and the one-line history entry in
// RemdLogs.txt, both Windows-1252 with CR LF line ends on every platform.
#ifndef REMDO_APP_RUNREPORT_H_
#define REMDO_APP_RUNREPORT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/FileSystem.h"
#include "repair/RunState.h"

namespace remdo::app {

inline constexpr std::string_view kRunLogName = "Remdo.log";
inline constexpr std::string_view kHistoryName = "RemdLogs.txt";
// The run's table outcomes for scripts, in its Rejected folder.
inline constexpr std::string_view kOutcomesName = "Remdo run.json";

// The environment report's disk line: "    disk " + drive + " free:  " and
// the free space in gigabytes with one decimal ("12.3 GB"), where the
// gigabytes are the whole free megabytes divided by 1024; "unknown" when
// the system could not tell.
std::string FreeSpaceLine(const std::string& drive, std::optional<std::uint64_t> freeBytes);

// The history line of a run, without its line end: "Remdo 4.47.2 ", the
// start time, ", ", "tests interrupted, " for a stopped run, then the result
// ("no errors", "errors repaired [R]", "N failure(s) [F]" or both).
std::string HistoryLine(const repair::TRunState& state);

// The lines as one text, each ended by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// Writes the lines to path, replacing the file. Throws EFCreateError when the
// file cannot be created, EWriteError when writing fails.
void SaveLines(env::TFileSystem& fileSystem, std::string_view path, const std::vector<std::string>& lines);
// The file at path replaced by text as it stands.
void SaveText(env::TFileSystem& fileSystem, std::string_view path, std::string_view text);

// Appends line and a CR LF to path; a file that cannot be opened for
// appending is created anew. Throws EFCreateError or EWriteError when even
// that fails.
void AppendTextLine(env::TFileSystem& fileSystem, std::string_view path, std::string_view line);

}  // namespace remdo::app

#endif  // REMDO_APP_RUNREPORT_H_
