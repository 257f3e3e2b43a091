// The verify-only run's predictions: the whole repair run, with the run's
// own table sequence and command line, on a copy of the data folder (its
// save folder included) in a scratch folder under the temporary folder.
// The copy goes when the run ends. The scratch run writes only inside the
// scratch folder: its log, history, backup, Rejected folder and tolerance
// files are the copy's; it shows no boxes (they are answered No), closes no
// window, starts no program and changes no settings.
#ifndef REMDO_APP_SCRATCHREPAIR_H_
#define REMDO_APP_SCRATCHREPAIR_H_

#include <functional>
#include <string>
#include <vector>

#include "app/FormView.h"
#include "app/RunMode.h"
#include "repair/RunState.h"

namespace remdo::app {

class TMainForm;

struct TScratchRepair {
  // The run was made; otherwise reason says why not, in one line.
  bool made = false;
  std::string reason;
  // Each table's outcome, in the order the run checked them.
  std::vector<repair::TTableOutcome> outcomes;
  // An error ended the scratch run early: what it said.
  std::string runError;
  // The scratch run's log lines.
  std::vector<std::string> log;
};

// The start of the scratch copy's folder name, temporary folder included
// ("C:\Temp\RemdoVerify"): the one place besides its report that a verify
// run writes to. Empty when there is no temporary folder.
std::string ScratchFolderStem();

// Runs the repair on a scratch copy of dataFolder. view is the verify run's
// window, whose closing stops the scratch run too. Nothing is thrown: a
// copy that fails, too little room or no temporary folder leave the
// predictions out with their reason.
TScratchRepair RunScratchRepair(const TCommandLine& commandLine, TFormView& view,
                                const std::function<void(TMainForm&)>& sequence, const std::string& dataFolder);

}  // namespace remdo::app

#endif  // REMDO_APP_SCRATCHREPAIR_H_
