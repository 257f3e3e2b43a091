// The relocation out of Program Files. Moving the data set (the question,
// the copy with the VirtualStore twins and cover pictures, retiring the old
// tables, recording the new folder) is not built yet: until it is, a data
// set found under Program Files stays where it is, and the run's report
// warns about it.
#include "env/Relocation.h"

namespace remdo::env {

// TODO(relocation): move the data set to PreferredDataFolder() as the
// installer and updater starts expect, instead of keeping the old folder.
std::string RelocateFromProgramFiles(std::string_view oldFolder) { return std::string(oldFolder); }

}  // namespace remdo::env
