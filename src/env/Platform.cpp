// The process-wide choice of registry, system facts and shell: the real
// backends unless a test has installed its own.
#include "env/Registry.h"
#include "env/Shell.h"
#include "env/SystemFacts.h"

namespace remdo::env {

namespace {
TRegistry* installedRegistry = nullptr;
TSystemFacts* installedFacts = nullptr;
TShell* installedShell = nullptr;
}  // namespace

TRegistry& DefaultRegistry() { return installedRegistry != nullptr ? *installedRegistry : RealRegistry(); }
void InstallRegistry(TRegistry* registry) { installedRegistry = registry; }

TSystemFacts& DefaultSystemFacts() { return installedFacts != nullptr ? *installedFacts : RealSystemFacts(); }
void InstallSystemFacts(TSystemFacts* facts) { installedFacts = facts; }

TShell& DefaultShell() { return installedShell != nullptr ? *installedShell : RealShell(); }
void InstallShell(TShell* shell) { installedShell = shell; }

}  // namespace remdo::env
