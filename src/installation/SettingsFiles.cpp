// Switching off the catalogue's online options in its two settings files.
// Success is read back from the files: the run needs to know whether the
// options are off now, which a file's time stamp cannot tell.
#include "installation/SettingsFiles.h"

#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Host.h"
#include "env/IniFile.h"
#include "env/SystemInfo.h"

namespace remdo::installation {

namespace {

constexpr std::string_view kSection = "DeskTop";
constexpr std::string_view kUpdates = "CheckForUpdates";
constexpr std::string_view kImages = "AutoDownloadImages";

}  // namespace

bool WriteOnlineOptionsOff(std::string_view file) {
  env::TIniFile ini(env::DefaultFileSystem(), std::string(file));
  ini.WriteBool(kSection, kUpdates, false);
  ini.WriteBool(kSection, kImages, false);
  return ini.ReadString(kSection, kUpdates, "") == "0" && ini.ReadString(kSection, kImages, "") == "0";
}

bool TurnOffOnlineOptions() {
  auto& fs = env::DefaultFileSystem();
  const std::string programFolder = env::GetProgramFolder();
  const std::string windowsFolder = env::GetWindowsFolder();
  // In a Wine prefix the Linux program's own folder is no folder of the
  // catalogue's: only files on the prefix's drives are the catalogue's.
  const bool catalogueFolder = !programFolder.empty() && (!env::UsesWinePrefix() || programFolder[1] == ':');
  const std::string fileA = catalogueFolder ? programFolder + "FENRO1.ini" : std::string();
  const std::string fileB = windowsFolder.empty() ? std::string() : windowsFolder + "FENRO.ini";
  if (!fileA.empty() && !fileB.empty() && !fs.FileExists(fileA) && fs.FileExists(fileB)) {
    env::CopyWholeFile(fs, fileB, fileA);
  }
  bool result = true;
  if (!fileA.empty()) result = WriteOnlineOptionsOff(fileA) && result;
  if (!fileB.empty()) result = WriteOnlineOptionsOff(fileB) && result;
  return result;
}

}  // namespace remdo::installation
