// Lines for the run log from work done before the log exists, such as the
// move of the data set out of Program Files during start-up. The repair run
// writes them right after its environment report.
#ifndef REMDO_INSTALLATION_STARTUPNOTES_H_
#define REMDO_INSTALLATION_STARTUPNOTES_H_

#include <string>
#include <vector>

namespace remdo::installation {

// Keeps a run log line (with its leading blanks) for the run to come.
void AddStartUpNote(std::string line);
// The lines kept so far, in order; they are given out once.
std::vector<std::string> TakeStartUpNotes();

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_STARTUPNOTES_H_
