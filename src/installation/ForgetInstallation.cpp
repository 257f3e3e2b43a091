#include "installation/ForgetInstallation.h"

#include "installation/DataFolder.h"
#include "installation/EngineChecks.h"
#include "installation/EngineVersion.h"

namespace remdo::installation {

void ForgetInstallation() {
  ForgetDataFolder();  // the VirtualStore twin and the start-up notes with it
  ForgetEngineVersionNumber();
  ForgetEngineNetDir();
}

}  // namespace remdo::installation
