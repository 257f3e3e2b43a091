// The version of the Borland database engine installed on this machine, for
// the environment report. The engine is found through the registry value
// "DLLPATH" of HKEY_LOCAL_MACHINE\Software\Borland\Database Engine; its
// library "IDAPI32.DLL" is looked for under its bare name (the current
// folder) and then in each folder of that value. Remdo itself works through
// its own Paradox engine, so this reports what is installed, never a version
// of its own.
#ifndef REMDO_INSTALLATION_ENGINEVERSION_H_
#define REMDO_INSTALLATION_ENGINEVERSION_H_

#include <optional>
#include <string>

#include "env/PeVersion.h"

namespace remdo::installation {

// The path of the engine library, or empty when the key, the value or the
// file is missing.
std::string FindEngineLibrary();

// The library's file version, or nothing when there is no library or it
// has no readable version resource.
std::optional<env::TFileVersion> EngineFileVersion();

// "not found" without a library; an empty text for a library without a
// readable version resource; otherwise major.minor.release, such as "5.2.0"
// for a library of file version 5.2.0.2. Computed afresh on every call.
std::string GetEngineVersionText();

// The engine version number V: major + the fractional part of minor / 10
// (5.2 gives 5.2, 5.11 gives 5.1, 4.51 gives 4.1), 0 without a library or
// without a version resource. Computed from a found library once per
// process; a missing library is looked for again on the next call.
double GetEngineVersionNumber();
// Forgets the number (a new registry or prefix is in use).
void ForgetEngineVersionNumber();

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_ENGINEVERSION_H_
