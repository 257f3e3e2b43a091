// Keeping a repair run's old files for an undo, from the run's start to its
// end: at the start the Before\ folders of older runs are pruned (the last
// three runs keep theirs; Original\ folders always stay), the data folder's
// files are listed into the run's manifest and the keeping file system is
// put in front of the one the run uses; at the end the manifest gets every
// changed file's state after the run, and the file system is put back.
//
// A drive with less free space than the data set keeps nothing: the run
// logs that it cannot be undone and goes on as before.
#ifndef REMDO_REPAIR_RUNKEEPING_H_
#define REMDO_REPAIR_RUNKEEPING_H_

#include <memory>
#include <string>
#include <vector>

#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "repair/KeepingFileSystem.h"
#include "repair/RunReporter.h"
#include "repair/UndoManifest.h"

namespace remdo::repair {

// The runs whose Before\ folders stay at a run's start, besides its own.
inline constexpr std::size_t kKeptEarlierRuns = 2;

class TRunKeeping {
 public:
  // dataFolder has a trailing separator; runFolder is the run's folder of
  // rejected files relative to it ("Rejected\20240131-154502\"). Logs its
  // lines through run; a failure to start is logged and keeps nothing.
  TRunKeeping(TRunReporter& run, std::string dataFolder, std::string runFolder);
  ~TRunKeeping();
  TRunKeeping(const TRunKeeping&) = delete;
  TRunKeeping& operator=(const TRunKeeping&) = delete;

  bool Keeping() const { return keeping_ != nullptr; }
  // Writes the after values and stops keeping. Failures are logged.
  void Finish();

 private:
  void PruneEarlierRuns();
  void Start();
  void Uninstall() noexcept;

  TRunReporter& run_;
  const std::string dataFolder_;
  const std::string runFolder_;
  env::TFileSystem& base_;
  std::vector<std::string> listed_;
  std::unique_ptr<TManifestWriter> manifest_;
  std::unique_ptr<TKeepingFileSystem> keeping_;
};

// The files below folder (a trailing separator) by their paths relative to
// it, with the run's reports and everything below Rejected\ left out.
std::vector<std::string> DataFolderFiles(env::TFileSystem& fileSystem, const std::string& folder);

using env::RemoveFolderTree;

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_RUNKEEPING_H_
