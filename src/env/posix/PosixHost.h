// State of the posix backend shared by its units: the registry store, the
// Wine prefix in use, and the folders tests may redirect. Private to env.
#ifndef REMDO_ENV_POSIX_POSIXHOST_H_
#define REMDO_ENV_POSIX_POSIXHOST_H_

#include <string>

#include "env/RegistryStore.h"

namespace remdo::env::posix {

// The store behind RealRegistry().
TRegistryStore& Store();
// The host folder of the Wine prefix chosen by UseWinePrefix, or empty.
std::string WinePrefix();
// The freedesktop trash folder in use (holding files/ and info/), or empty
// when neither the override nor $XDG_DATA_HOME nor $HOME is set.
std::string TrashFolder();
// The folder that lists the processes ("/proc" unless redirected).
std::string ProcessFolder();
// An environment variable, or empty.
std::string Environment(const char* name);

}  // namespace remdo::env::posix

#endif  // REMDO_ENV_POSIX_POSIXHOST_H_
