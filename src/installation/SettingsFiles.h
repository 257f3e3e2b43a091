// The catalogue application's online options, switched off at the end of a
// run when the user asks: "CheckForUpdates" and "AutoDownloadImages" in
// section "DeskTop" of "FENRO1.ini" in the program folder (file A) and of
// "FENRO.ini" in the Windows folder (file B).
#ifndef REMDO_INSTALLATION_SETTINGSFILES_H_
#define REMDO_INSTALLATION_SETTINGSFILES_H_

#include <string_view>

namespace remdo::installation {

// When A is missing and B exists, A starts as a byte copy of B; then both
// files get the two keys set to 0. True when both files now read 0 for both
// keys. A file whose folder is unknown (no Windows folder on Linux) is left
// out, and so is file A of the Linux program in a Wine prefix, whose own
// folder lies outside the prefix. Throws EWriteError or the copy's file errors when a file cannot be
// written.
bool TurnOffOnlineOptions();

// Writes the two keys into one file, creating it when missing. True when
// the file reads 0 for both keys afterwards. Throws EWriteError as above.
bool WriteOnlineOptionsOff(std::string_view file);

}  // namespace remdo::installation

#endif  // REMDO_INSTALLATION_SETTINGSFILES_H_
