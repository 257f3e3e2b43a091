// Run-mode words and the run option test.
#include "app/RunMode.h"

#include <utility>

#include "env/Path.h"
#include "env/Text.h"

namespace remdo::app {

TCommandLine::TCommandLine(std::string programPath, std::vector<std::string> params)
    : programPath_(std::move(programPath)),
      params_(std::move(params)),
      programFileName_(env::LowerCase(env::NamePart(programPath_))) {}

bool TCommandLine::NameContains(std::string_view word) const {
  return programFileName_.find(word) != std::string::npos;
}

bool TCommandLine::RunOption(std::string_view word) const {
  const std::string_view wanted = word == "INST" ? std::string_view("INSTALLING") : word;
  const std::string upperName = env::UpperCase(programFileName_);
  const auto nameHas = [&upperName](std::string_view part) { return upperName.find(part) != std::string::npos; };
  if (wanted == "INSTALLING" && nameHas("INSTALL")) return true;
  if (wanted == "PACKMEMO" && nameHas("PACK")) return true;
  if (wanted == "STRICT" && nameHas("STRICT")) return true;
  for (const auto& param : params_) {
    if (env::UpperCase(param) == wanted) return true;
  }
  return false;
}

bool TCommandLine::AllowsRunningCatalogue() const { return !params_.empty() && params_.front() == "+"; }

bool TCommandLine::IsInstallerStart() const {
  return NameContains("inst") || NameContains("upgrade") || NameContains("update");
}

bool TCommandLine::KeepsSave4() const { return NameContains("full"); }

bool TCommandLine::FixesDataFolder() const { return NameContains("main"); }

bool TCommandLine::IsSilentInstaller() const { return programFileName_ == kSilentInstallerName; }

bool TCommandLine::TakesSavedCharacters() const {
  return env::LowerCase(programPath_).find("fixchar") != std::string::npos;
}

}  // namespace remdo::app
