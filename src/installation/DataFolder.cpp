// Locating the data folder: the Program Files probe, the settings file, the
// program folder, and then the candidate folders in their fixed order. The
// result, the catalogue program's path and the flags are process-wide and
// made once.
#include "installation/DataFolder.h"

#include <optional>
#include <vector>

#include "env/FileSystem.h"
#include "env/IniFile.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/Relocation.h"
#include "installation/StartUpNotes.h"
#include "installation/VirtualStore.h"

namespace remdo::installation {

namespace {

constexpr std::string_view kMarkerFile = "BookInx.db";
constexpr std::string_view kCompleteFile = "LOCNAMES.DB";
constexpr std::string_view kProgramFile = "FENRO.exe";
constexpr std::string_view kSection = "FENRO";

struct TState {
  std::optional<std::string> dataFolder;        // nothing: not yet located
  std::optional<std::string> catalogueProgram;  // nothing: not yet derived
  bool programFilesCopyFound = false;
  bool relocationFailed = false;
};

TState& State() {
  static TState state;
  return state;
}

bool Holds(std::string_view folder, std::string_view name) {
  return env::DefaultFileSystem().FileExists(env::IncludeTrailingSeparator(folder) + std::string(name));
}

// base followed by a relative path written with '\', in base's own
// separator (a Linux shell folder uses '/').
std::string Under(std::string_view base, std::string_view rest) {
  std::string tail(rest);
  if (env::SeparatorOf(base) == '/') {
    for (char& c : tail) {
      if (c == '\\') c = '/';
    }
  }
  return env::IncludeTrailingSeparator(base) + tail;
}

// The fixed folder test: the folder (without its separator) when it holds
// the marker file.
std::optional<std::string> TryDataFolder(std::string_view folder) {
  if (folder.empty() || !Holds(folder, kMarkerFile)) return std::nullopt;
  return env::ExcludeTrailingSeparator(folder);
}

// The pattern test: only the first entry the file system lists for the
// pattern is examined, and it must be a folder that qualifies.
std::optional<std::string> TryDataFolderPattern(std::string_view pattern) {
  if (pattern.empty()) return std::nullopt;
  const std::string trimmed = env::ExcludeTrailingSeparator(pattern);
  const auto entries = env::DefaultFileSystem().Find(trimmed, env::attr::kDirectory);
  if (entries.empty() || (entries.front().attributes & env::attr::kDirectory) == 0) return std::nullopt;
  return TryDataFolder(std::string(env::FolderPart(trimmed)) + entries.front().name + env::SeparatorOf(trimmed));
}

struct TCandidate {
  std::string base;  // empty: the folder is unknown and the candidate is skipped
  std::string_view rest;
  bool pattern;
};

std::vector<TCandidate> Candidates() {
  const std::string d = std::string(1, env::GetProgramFilesDrive()) + ":\\";
  const std::string personal = env::GetPersonalFolder();
  const std::string desktop = env::GetDesktopFolder();
  const std::string programFiles = env::GetProgramFilesFolder();
  return {
      {d, "FENRO\\", false},
      {personal, "FENRO\\", false},
      {d, "FENRO*", true},
      {personal, "FENRO*", true},
      {personal, "FENRO\\FENRO*", true},
      {d, "Users\\Ormsel\\Documents\\Ormsel's Stuff\\FENRO\\", false},
      {d, "Book Info\\Fenro Ref\\", false},
      {d, "Documents and Settings\\Administrator\\Desktop\\FENRO\\", false},
      {d, "Documents and Settings\\Administrator\\Desktop\\FENRO\\FENRO\\", false},
      {desktop, "FENRO*", true},
      {desktop, "FENRO\\FENRO*", true},
      {env::GetCommonDocumentsFolder(), "FENRO*", true},
      {env::GetCommonAppDataFolder(), "FENRO*", true},
      {d, "FENRO\\FENRO*", true},
      {d, "FENRO\\FENRO\\Program Files\\FENRO\\FENRO\\", false},
      {programFiles, "FENRO\\FENRO*", true},
      {programFiles, "FENRO*", true},
  };
}

std::optional<std::string> SearchCandidates() {
  for (const TCandidate& candidate : Candidates()) {
    if (candidate.base.empty()) continue;
    const std::string path = Under(candidate.base, candidate.rest);
    auto found = candidate.pattern ? TryDataFolderPattern(path) : TryDataFolder(path);
    if (found) return found;
  }
  return std::nullopt;
}

// The settings' "DataDir" made into a folder that may be the data folder:
// a folder that exists and holds the marker file, replaced by the program
// folder when that holds one, and never under Program Files on Vista and
// later.
std::string SettingsCandidate(const std::string& dataDir, const std::string& programFolder, bool later) {
  std::string candidate = dataDir == "?" ? std::string() : dataDir;
  if (!candidate.empty() && !env::DefaultFileSystem().FolderExists(candidate)) candidate.clear();
  if (!programFolder.empty() && Holds(programFolder, kMarkerFile)) candidate = programFolder;
  candidate = env::IncludeTrailingSeparator(candidate);
  if (!candidate.empty() && !Holds(candidate, kMarkerFile)) candidate.clear();
  if (later && !candidate.empty() && env::IsUnderProgramFiles(candidate)) candidate.clear();
  return candidate;
}

std::string ProgramPathFrom(const std::string& progDir, const std::string& dataFolder) {
  std::string path = progDir == "?" ? std::string() : progDir;
  if (path.empty()) {
    path = dataFolder;
  } else if (!env::IsPathSeparator(path.back()) && env::DefaultFileSystem().FolderExists(path)) {
    path = env::IncludeTrailingSeparator(path);  // a folder named without its separator
  }
  if (!path.empty() && env::IsPathSeparator(path.back())) path += kProgramFile;
  return path.empty() ? std::string(kProgramFile) : path;
}

std::string ReadSetting(std::string_view key) {
  const std::string ini = SelectCatalogueIni(false);
  return ini.empty() ? std::string() : env::TIniFile(env::DefaultFileSystem(), ini).ReadString(kSection, key, "");
}

// The search; with mayMove, on Vista and later, the data set found under
// Program Files is moved out of it first.
std::string Locate(bool mayMove) {
  TState& state = State();
  const std::string programFiles = env::GetProgramFilesFolder();
  if (!programFiles.empty() && (TryDataFolderPattern(Under(programFiles, "FENRO\\FENRO*")) ||
                                TryDataFolderPattern(Under(programFiles, "FENRO*")))) {
    state.programFilesCopyFound = true;
  }
  const std::string dataDir = ReadSetting("DataDir");
  const std::string progDir = ReadSetting("ProgDir");
  const std::string programFolder = env::GetProgramFolder();
  const bool later = env::IsLaterWindows();
  const std::string candidate = SettingsCandidate(dataDir, programFolder, later);

  std::string found;
  if (!candidate.empty() && Holds(candidate, kCompleteFile)) {
    found = candidate;
  } else if (!later && !programFolder.empty() && !env::IsUnderProgramFiles(programFolder) &&
             TryDataFolder(programFolder)) {
    found = programFolder;
  } else {
    found = SearchCandidates().value_or(candidate);
  }
  if (mayMove && later) found = RelocateFromProgramFiles(env::IncludeTrailingSeparator(found));
  found = env::IncludeTrailingSeparator(found);
  state.catalogueProgram = ProgramPathFrom(progDir, found);
  return found;
}

}  // namespace

std::string GetDataFolder() {
  TState& state = State();
  if (!state.dataFolder) state.dataFolder = Locate(false);
  return state.relocationFailed ? std::string() : *state.dataFolder;
}

std::string LocateDataFolderAtInstallerStart() {
  TState& state = State();
  if (!state.dataFolder) state.dataFolder = Locate(true);
  return GetDataFolder();
}

void SetDataFolder(std::string_view folder) { State().dataFolder = env::IncludeTrailingSeparator(folder); }

std::string GetCatalogueProgramPath() {
  TState& state = State();
  if (!state.catalogueProgram) {
    const std::string dataFolder = GetDataFolder();
    // A folder fixed before the first query skips locating; the path is
    // then derived here by the same rule.
    if (!state.catalogueProgram) state.catalogueProgram = ProgramPathFrom(ReadSetting("ProgDir"), dataFolder);
  }
  return *state.catalogueProgram;
}

bool ProgramFilesCopyFound() { return State().programFilesCopyFound; }

bool RelocationFailed() { return State().relocationFailed; }
void SetRelocationFailed() { State().relocationFailed = true; }

std::string PreferredDataFolder() { return std::string(1, env::GetProgramFilesDrive()) + ":\\FENRO\\"; }

std::string SelectCatalogueIni(bool forWriting) {
  auto& fs = env::DefaultFileSystem();
  const std::string program = env::GetProgramFolder();
  if (!program.empty() && fs.FileExists(program + "FENRO1.ini")) return program + "FENRO1.ini";
  const std::string temp = env::GetTempFolder();
  if (!temp.empty() && (forWriting || fs.FileExists(temp + "FENRO.ini"))) return temp + "FENRO.ini";
  if (forWriting) return {};
  const std::string windows = env::GetWindowsFolder();
  return windows.empty() ? std::string() : windows + "FENRO.ini";
}

void ForgetDataFolder() {
  State() = TState{};
  ForgetVirtualStoreFolder();
  (void)TakeStartUpNotes();
}

}  // namespace remdo::installation
