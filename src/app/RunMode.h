// The run mode: words in the program's own file name and on its command line
// that decide how a start behaves (installer starts, the silent installer,
// the fixed data folder) and the run options that the repair steps test.
//
// File-name words are searched as substrings of the program's file name,
// lowercased. Run options are tested with an upper-case word: "INST" is
// tested as "INSTALLING"; "INSTALLING", "PACKMEMO" and "STRICT" are also on
// when the upper-cased file name contains "INSTALL", "PACK" or "STRICT";
// otherwise an option is on when a command-line parameter, upper-cased,
// equals the word exactly.
#ifndef REMDO_APP_RUNMODE_H_
#define REMDO_APP_RUNMODE_H_

#include <string>
#include <string_view>
#include <vector>

namespace remdo::app {

// The program's name as installed into the data folder by installer starts.
inline constexpr std::string_view kInstalledProgramName = "FenroRemdo.exe";
// Under this whole name the program installs itself silently and opens no
// window.
inline constexpr std::string_view kSilentInstallerName = "remdinst1.exe";

class TCommandLine {
 public:
  // programPath: the path by which the program was started; params: the
  // command-line parameters after it. Texts are Windows-1252.
  TCommandLine(std::string programPath, std::vector<std::string> params);

  const std::string& ProgramPath() const { return programPath_; }
  const std::vector<std::string>& Params() const { return params_; }
  // The program's file name without folder, lowercased.
  const std::string& ProgramFileName() const { return programFileName_; }

  bool RunOption(std::string_view word) const;

  // The first parameter is exactly "+": start beside the catalogue
  // application.
  bool AllowsRunningCatalogue() const;
  // "inst", "upgrade" or "update" in the file name.
  bool IsInstallerStart() const;
  // "full" in the file name (read on installer starts only).
  bool KeepsSave4() const;
  // "main" in the file name (read on installer starts only).
  bool FixesDataFolder() const;
  // The file name is exactly "remdinst1.exe".
  bool IsSilentInstaller() const;
  // "fixchar" in the program's full path, lowercased.
  bool TakesSavedCharacters() const;

 private:
  bool NameContains(std::string_view word) const;

  std::string programPath_;
  std::vector<std::string> params_;
  std::string programFileName_;
};

}  // namespace remdo::app

#endif  // REMDO_APP_RUNMODE_H_
