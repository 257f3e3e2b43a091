// The installed database engine, checked before the program's own start-up
// and before any window exists: is an engine installed and recent enough
// (the download page is offered when not), and on installation runs its
// memory settings are raised on machines with enough memory and the Paradox
// driver's shared folder ("NET DIR") is set. Every box here is owner-less.
//
// On Linux these checks apply only to a Wine prefix (env/Host.h): the
// settings are written into the prefix's system.reg, and "NET DIR", which
// only the engine's own library can change, is left to the Windows program.
#ifndef REMDO_INSTALLATION_ENGINECHECKS_H_
#define REMDO_INSTALLATION_ENGINECHECKS_H_

#include <string>
#include <string_view>
#include <vector>

namespace remdo::installation {

// The catalogue's page about installing the engine, opened when the user
// asks for a download. A neutral placeholder until the catalogue's own
// support address is known.
inline constexpr std::string_view kEngineDownloadPage = "https://www.example.com/fenro/support/engine";

// The question asked about a missing engine (V = 0), an old one (V <= 4 or
// exactly 5), or none (empty).
std::string EngineQuestion(double versionNumber);

// Asks the question for the installed engine, if any; Yes opens the
// download page. Start-up goes on whatever the answer.
void CheckEngineInstalled();

// A start as part of an installation: a parameter "INST" or "INSTALLING"
// (any case), or "bremd", "install", "upgrade" or "update" in the program's
// file name (any case).
bool IsInstallationRun(std::string_view programPath, const std::vector<std::string>& params);

// Raises the engine's memory settings on a machine of 900 MB or more whose
// settings are below the shared-memory threshold, and says so in a box.
void TuneEngineSettings();

// The shared engine folder, with a trailing separator; chosen on first use
// (folders may be created) and kept for the life of the process.
std::string EngineNetDir();
void ForgetEngineNetDir();

// Points the Paradox driver's "NET DIR" at folder through the installed
// engine's library; every failure is a box and leaves "NET DIR" unchanged.
void SetParadoxNetDir(std::string_view folder);

// The "NET DIR" configured for the installed engine, and where it was read.
struct TConfiguredNetDir {
  enum class TSource { kNone, kEngine, kRegistry };
  TSource source = TSource::kNone;
  std::string folder;  // with a trailing separator; empty with kNone
};

// Reads "NET DIR" through the installed engine's library, or from the
// registry's copy of the Paradox driver's settings when the library cannot
// be loaded or gives no such record. Changes no setting; never throws.
TConfiguredNetDir ReadParadoxNetDir();

// Installation runs: TuneEngineSettings, then SetParadoxNetDir(EngineNetDir()).
void ConfigureEngineForInstall();

// Everything that comes before the program's own start-up, in order:
// CheckEngineInstalled, then ConfigureEngineForInstall on installation runs.
void CheckEngineAtStart(std::string_view programPath, const std::vector<std::string>& params);

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_ENGINECHECKS_H_
