// The salvage of a table's memo file during a repair. After the rebuild the
// scratch table's records still refer to the table's own memo file. Their
// references are checked against what that file still holds (the memo
// inventory). A sound file with sound references is left alone. When the
// file has any finding (a reference that does not find its value, a part
// that cannot be read, a damaged header, or no file while records refer to
// it), a fresh memo file is written beside the scratch table with every
// value that was found or linked again, and the scratch records are pointed
// at it; a value that is lost leaves its record the leader (its first
// bytes). The swap then adopts the new file with the table's other files.
#ifndef REMDO_REPAIR_MEMOSALVAGE_H_
#define REMDO_REPAIR_MEMOSALVAGE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace remdo::repair {

class TRunReporter;

struct TMemoSalvage {
  // A new memo file was written and the records rewritten.
  bool written = false;
  // What was wrong with the old file, in words (empty when nothing).
  std::vector<std::string> findings;
  std::size_t intact = 0;    // values found where their records say
  std::size_t relinked = 0;  // values found again for a broken reference
  std::size_t cut = 0;       // values cut to their leader
  std::size_t unlinked = 0;  // values no record refers to
  // The keys of the records whose values were cut, with the reason.
  std::vector<std::string> cutRecords;
  // Where the unlinked values were written, as a table and as CSV; empty
  // when there were none.
  std::string unlinkedTable;
  std::string unlinkedFile;
};

struct TMemoSalvageRequest {
  std::string dataPath;     // the rebuilt scratch table's data file
  std::string memoPath;     // the table's memo file (may be missing)
  std::string newMemoPath;  // the scratch table's memo file
  std::uint16_t codePage = 0;  // of the table's text
  std::string languageDriver;  // of the table
  // Where the values no record refers to are written (see
  // UnlinkedMemoValues.h): a path without extension, which gets ".db" for
  // the table and ".csv" for the text; called only when there are some.
  std::function<std::string()> unlinkedPath;
};

// Checks memoPath (which may be missing) against the records of the data
// file dataPath and, when it has findings, writes newMemoPath, rewrites
// the blob fields of dataPath's records in place and writes the unlinked
// values. Throws EReadError,
// EFOpenError, EFCreateError, EWriteError and the memo writer's
// EDBEngineError; a failure leaves newMemoPath incomplete and dataPath's
// records possibly rewritten, so the caller throws the scratch table away.
TMemoSalvage SalvageMemoFile(const TMemoSalvageRequest& request);

// The records whose blob values a pack of the table would cut to their
// leader, because the memo reader the pack copies with cannot read them
// (the memo file missing or damaged): each record's key with the reason.
// Throws EReadError and EFOpenError.
std::vector<std::string> ValuesAPackWouldCut(const std::string& dataPath, const std::string& memoPath);

// Logs how many values were cut (heading + "N memo values to their
// leader") and the records: the first few on screen, all in the log file.
void LogCutRecords(TRunReporter& run, const std::vector<std::string>& records, const std::string& heading);

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_MEMOSALVAGE_H_
