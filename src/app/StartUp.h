// Start-up, before any window exists: the refusal to run beside the
// catalogue application, and on installer starts (file names with "inst",
// "upgrade" or "update") the Save4 copy, the data folder fixed or located,
// and the copy of the program itself into the data folder. Every message is
// a modal box; no log exists yet.
#ifndef REMDO_APP_STARTUP_H_
#define REMDO_APP_STARTUP_H_

#include <string>
#include <string_view>
#include <vector>

#include "app/RunMode.h"

namespace remdo::app {

enum class TStartOutcome {
  kOpenWindow,    // go on with the progress window
  kFinished,      // the silent installer has done its work; no window
  kRefused,       // the catalogue application is running
  kNoDataFolder,  // an installer start found no data folder
  kCopyFailed,    // an installer start could not install the program file
};

struct TStartResult {
  TStartOutcome outcome = TStartOutcome::kOpenWindow;
  // The program file was installed into the data folder.
  bool installedMark = false;
};

// The data set's files that start-up keeps in Save4, in this order;
// "Fldr*.db" stands for every folder table.
extern const std::vector<std::string_view> kTableFileList;

// The entries of kTableFileList that exist in folder, as full paths ("Fldr*.db"
// as a pattern in folder when any file matches it).
std::vector<std::string> ExistingTableFiles(const std::string& folder);

// Runs start-up. Throws only what the file system throws for an unreadable
// folder.
TStartResult StartUp(const TCommandLine& commandLine);

}  // namespace remdo::app

#endif  // REMDO_APP_STARTUP_H_
