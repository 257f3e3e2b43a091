// Putting back the tables of a run's manifest (see UndoRun.h): the files
// grouped by table family, the check for changes made after the run, and
// the restore of one table. Used by UndoRun.cpp.
#ifndef REMDO_REPAIR_UNDOTABLES_H_
#define REMDO_REPAIR_UNDOTABLES_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "env/FileSystem.h"
#include "repair/RunReporter.h"
#include "repair/UndoManifest.h"

namespace remdo::repair {

class TTableUndo {
 public:
  // dataFolder has a trailing separator; tables the manifest marks as
  // undone are left out.
  TTableUndo(TRunReporter& run, const std::string& dataFolder, TManifest manifest);
  // The tables whose files changed after the run. For a run that never
  // ended (no after values), runEnd is its last commit's time: a file it
  // found at its start that is newer and no longer as it was changed after.
  std::vector<std::string> ChangedSince(std::optional<std::int64_t> runEnd) const;
  // Puts one table back and marks it undone in the manifest; false (with a
  // log line) when it could not be.
  bool Restore(const std::string& group, const std::vector<TManifestEntry>& entries, TManifestWriter& writer);
  // The files of each table still to put back, by table.
  const std::map<std::string, std::vector<TManifestEntry>>& Groups() const { return groups_; }

 private:
  std::string PathOf(const TManifestEntry& entry) const;
  void RestoreCommitted(const std::string& group, const std::vector<TManifestEntry>& entries);
  void RestorePlainly(const std::vector<TManifestEntry>& entries);
  void RestoreStates(const std::vector<TManifestEntry>& entries);

  TRunReporter& run_;
  env::TFileSystem& fs_;
  const std::string dataFolder_;
  TManifest manifest_;
  std::map<std::string, std::vector<TManifestEntry>> groups_;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_UNDOTABLES_H_
