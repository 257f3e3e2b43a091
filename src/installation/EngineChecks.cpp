// The engine checks at process start: the installed engine's version, the
// installation-run test, and the engine's memory settings.
#include "installation/EngineChecks.h"

#include <charconv>

#include "env/Dialogs.h"
#include "env/EngineLibrary.h"
#include "env/Path.h"
#include "env/Registry.h"
#include "env/Shell.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/EngineVersion.h"

namespace remdo::installation {

namespace {

constexpr std::string_view kMissingEngineText =
    "This system does not have a BDE installed.   \r\rA BDE required for FENRO to operate.\r\r"
    "Would you like to download one now?\r\r";
constexpr std::string_view kOldEngineText =
    "The BDE installed on this system needs to be   \rupgraded to run this version of FENRO.\r\r"
    "Would you like to download a new one now?\r\r";

constexpr std::string_view kSettingsKey = "SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT";

// Below this much memory the engine's defaults are kept; from the upper
// threshold on the shared memory is raised further.
constexpr std::uint64_t kTuneFromMegabytes = 900;
constexpr std::uint64_t kLargeMemoryMegabytes = 1500;
// Shared memory of this size or more counts as tuned already.
constexpr long long kTunedSharedMemory = 16383;

// A decimal setting; a missing or non-numeric text reads as 0.
long long SettingNumber(std::string_view name) {
  const std::string text =
      env::DefaultRegistry().ReadString(env::TRegistryRoot::kLocalMachine, kSettingsKey, name).value_or("");
  long long number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() ? number : 0;
}

}  // namespace

std::string EngineQuestion(double versionNumber) {
  if (versionNumber == 0) return std::string(kMissingEngineText);
  if (versionNumber <= 4 || versionNumber == 5) return std::string(kOldEngineText);
  return {};
}

void CheckEngineInstalled() {
  const std::string question = EngineQuestion(GetEngineVersionNumber());
  if (question.empty()) return;
  if (env::AskWarningYesNo(question, env::kErrorCaption)) (void)env::DefaultShell().Open(kEngineDownloadPage, "");
}

bool IsInstallationRun(std::string_view programPath, const std::vector<std::string>& params) {
  for (const std::string& param : params) {
    const std::string word = env::UpperCase(param);
    if (word == "INST" || word == "INSTALLING") return true;
  }
  const std::string name = env::LowerCase(env::NamePart(programPath));
  for (const std::string_view word : {"bremd", "install", "upgrade", "update"}) {
    if (name.find(word) != std::string::npos) return true;
  }
  return false;
}

void TuneEngineSettings() {
  const std::uint64_t memory = env::PhysicalMemoryMegabytes();
  if (memory < kTuneFromMegabytes) return;
  auto& registry = env::DefaultRegistry();
  if (!registry.KeyExists(env::TRegistryRoot::kLocalMachine, kSettingsKey)) return;
  if (SettingNumber("MAXBUFSIZE") <= 0 || SettingNumber("MAXFILEHANDLES") <= 0) return;
  if (SettingNumber("SHAREDMEMSIZE") >= kTunedSharedMemory) return;
  const auto oldLocation = registry.ReadString(env::TRegistryRoot::kLocalMachine, kSettingsKey, "SHAREDMEMLOCATION");
  std::string location(env::Trim(oldLocation.value_or("")));
  if (location.empty()) location = "5BDE";
  const env::TIoResult written =
      registry.WriteStrings(env::TRegistryRoot::kLocalMachine, kSettingsKey,
                            {{"MAXBUFSIZE", "20480"},
                             {"MAXFILEHANDLES", "128"},
                             {"SHAREDMEMSIZE", memory >= kLargeMemoryMegabytes ? "60000" : "16384"},
                             {"SHAREDMEMLOCATION", location}});
  // A refused write is said as such, never as a change.
  if (!written) {
    env::ShowErrorBox("BDE settings could not be changed: " + written.reason);
    return;
  }
  env::ShowInfoBox("BDE settings changed.", "Remdo");
}

void ConfigureEngineForInstall() {
  TuneEngineSettings();
  // Where no engine library can be loaded (Linux) SetParadoxNetDir only
  // says so, and no shared folder is made for it.
  SetParadoxNetDir(env::DefaultEngineLibraryLoader() ? EngineNetDir() : std::string());
}

void CheckEngineAtStart(std::string_view programPath, const std::vector<std::string>& params) {
  CheckEngineInstalled();
  if (IsInstallationRun(programPath, params)) ConfigureEngineForInstall();
}

}  // namespace remdo::installation
