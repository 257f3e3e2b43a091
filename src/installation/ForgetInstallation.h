// What this layer derived from the machine's facts is kept for the process:
// the data folder and its flags, the VirtualStore twin, the start-up notes,
// the engine's version and its NET DIR. The platform's own caches
// (env::ForgetSystemInfo) never reach up here; whoever installs a new
// registry or host (a test, a Wine prefix loaded late) forgets both.
#ifndef REMDO_INSTALLATION_FORGETINSTALLATION_H_
#define REMDO_INSTALLATION_FORGETINSTALLATION_H_

namespace remdo::installation {

void ForgetInstallation();

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_FORGETINSTALLATION_H_
