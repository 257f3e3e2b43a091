// The repair run's preamble: the engine connection, the run state, the
// choices for the kind of run, the heading, the environment report and the
// Program Files warnings. Also the window's creation and destruction, which
// start and stop the engine and read the data set's format markers.
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "app/ErrorHandler.h"
#include "app/MainForm.h"
#include "app/RunReport.h"
#include "app/Version.h"
#include "catalogue/TableCatalogue.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "installation/DataFolder.h"
#include "installation/EngineVersion.h"
#include "installation/StartUpNotes.h"
#include "paradox/codes/EngineCodes.h"
#include "paradox/codes/EngineErrors.h"
#include "paradox/engine/Engine.h"
#include "repair/Helpers.h"
#include "repair/ScratchFiles.h"

namespace remdo::app {

namespace {

constexpr std::uint64_t kMegabyte = 1048576;
// Header bytes of the data set's tables read at window creation: the width
// of GrpNames.db's third field and the type code of Books.db's first field.
constexpr std::uint64_t kGroupNameWidthOffset = 125;
constexpr std::uint64_t kBooksFirstFieldTypeOffset = 120;

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The byte at offset of a file, or nothing when the file is shorter or
// cannot be opened (another program holds it: the run then stops at its
// lock check and says so, instead of ending at window creation).
std::optional<int> ByteAt(const std::string& path, std::uint64_t offset) {
  std::unique_ptr<env::TFile> file;
  try {
    file = env::DefaultFileSystem().Open(path, env::TOpenMode::kRead);
  } catch (const env::EFOpenError&) {
    return std::nullopt;
  }
  std::byte value{};
  if (file->ReadAt(offset, std::span<std::byte>(&value, 1)) != 1) return std::nullopt;
  return static_cast<int>(value);
}

// Free gigabytes with one decimal: whole megabytes divided by 1024.
std::string GigabytesText(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes / kMegabyte) / 1024.0);
  return text;
}

}  // namespace

std::string FreeSpaceLine(const std::string& drive, std::optional<std::uint64_t> freeBytes) {
  return "    disk " + drive + " free:  " + (freeBytes ? GigabytesText(*freeBytes) + " GB" : std::string("unknown"));
}

void TMainForm::FormCreate() {
  paradox::TDbiEnv environment;
  environment.langName = "0009";
  const std::uint16_t code = paradox::DbiInit(&environment);
  if (code != paradox::kDbiErrNone && code != paradox::kDbiErrMultipleInit) {
    throw paradox::EngineError(code, "Starting the database engine");
  }
  MsgPanel.caption = std::string(kApplicationTitle) + " " + std::string(kProgramVersion) + "  FENRO repair tools";
  const std::string dataFolder = installation::GetDataFolder();
  if (!dataFolder.empty() && env::DefaultFileSystem().FolderExists(dataFolder)) ReadFormatMarkers(dataFolder);
  Colour = TColour::kNavy;
  Panel6.colour = TColour::kNavy;
  Panel7.colour = TColour::kNavy;
  view_.Update();
}

void TMainForm::ReadFormatMarkers(const std::string& dataFolder) {
  auto& fileSystem = env::DefaultFileSystem();
  // A header too short to hold the byte leaves the default in place.
  if (fileSystem.FileExists(dataFolder + "GrpNames.db")) {
    if (const auto width = ByteAt(dataFolder + "GrpNames.db", kGroupNameWidthOffset)) {
      catalogue::SetGroupNameWidth(*width);
    }
  }
  if (fileSystem.FileExists(dataFolder + "Books.db")) {
    if (const auto marker = ByteAt(dataFolder + "Books.db", kBooksFirstFieldTypeOffset)) {
      catalogue::SetBooksFormatMarker(*marker);
    }
  }
}

void TMainForm::FormDestroy() {
  Database1.Close();
  paradox::CheckEngineResult(paradox::DbiExit(), "Shutting the database engine down");
}

bool TMainForm::RunRepair() {
  if (RunOption("VERIFY")) return RunVerify();
  if (RunOption("UNDO")) return RunUndo();
  if (!Preamble()) return EndWithDataFolderInUse();
  StartKeeping();
  repair::RemoveLeftoverScratchFiles(*this);
  // An installation run reports its environment and ends without checking
  // any table.
  try {
    if ((!RunOption("INSTALLING") || RunOption("REMD")) && tableSequence_) tableSequence_(*this);
    // The ending (the automatic backup) works on no one table.
    RunState.TableUnderWay.clear();
    return Ending();
  } catch (...) {
    AccountForRunError(std::current_exception());
    throw;
  }
}

// The error leaves the run for the default error handler; the run state
// and the log still say what happened, for the report written when the
// window closes.
void TMainForm::AccountForRunError(std::exception_ptr error) {
  runEndedByError_ = true;
  ++RunState.FailureCount;
  if (!RunState.TableUnderWay.empty()) repair::AppendToNameList(RunState.FailedTables, RunState.TableUnderWay);
  LogLine("~  -- run ended by an error: " + UncaughtErrorText(error));
  (void)repair::RemoveScratchFiles();
  FinishKeeping();
}

bool TMainForm::Preamble() {
  const std::string dataFolder = installation::GetDataFolder();
  // Without a data folder there is nothing to connect to; the run goes on
  // to the folder check and the ending.
  if (!dataFolder.empty()) {
    LookBeforeConnecting(dataFolder);
    if (!DataFolderInUse()) {
      Database1.SetDatabaseName(dataFolder);
      Database1.Open();
    }
  }
  SetRunning(true);
  RunState.FailureCount = 0;
  RunState.RunStartTime = Now();
  RunState.RunStartText = DateTimeText(RunState.RunStartTime);
  RunState.BooksOk = false;
  RunState.ExpandedTitlesOk = false;
  RunState.ConvertFolderTables = false;
  SetChoicesForRun();
  WriteHeading();
  WriteEnvironmentReport(dataFolder);
  // What the engine did on its own when the connection settled the folder
  // (refused commit markers and journals, leftovers removed): log file only.
  for (const std::string& warning : paradox::TEngineSession::Instance().TakeWarnings()) LogLine("~    " + warning);
  // What start-up could not do when it moved the data set.
  for (const std::string& note : installation::TakeStartUpNotes()) LogLine(note);
  ReportLookBeforeConnecting();
  if (DataFolderInUse()) return false;
  WarnAboutProgramFiles(dataFolder);
  if (!dataFolder.empty() && env::DefaultFileSystem().FileExists(dataFolder + "RunFENRO.ini")) {
    RunState.InstalledMark = true;
  }
  return true;
}

void TMainForm::SetChoicesForRun() {
  if (RunOption("INST") || RunOption("INSTALLING")) {
    ClipboardChk.enabled = false;
    AutoCloseChk.enabled = false;
    ClipboardChk.checked = false;
  } else {
    ClipboardChk.checked = true;
  }
  view_.Update();
}

void TMainForm::WriteHeading() {
  LogLine("Remdo " + std::string(kProgramVersion) +
          "  \x97"
          " File Pack and Repair for FENRO");  // em dash
  LogLine("");
  LogLine("~    " + RunState.RunStartText);
  if (RunOption("STRICT")) LogLine("    (strict testing)");
  if (RunOption("INSTALLING") || RunOption("INST")) {
    LogLine("");
    LogLine("INSTALLATION");
    LogLine("");
  }
}

void TMainForm::WriteEnvironmentReport(const std::string& dataFolder) {
  LogLine("    FENRO folder:  " + dataFolder);
  const std::string product = env::GetWindowsProductName();
  // A later Windows may report itself as XP (compatibility mode).
  if (env::IsLaterWindows() && product == "Microsoft Windows XP") {
    LogLine("    OS version:    Windows (XP reported)");
  } else {
    LogLine("    OS version:    " + product);
  }
  LogLine("    BDE version:   " + installation::GetEngineVersionText());
  LogLine(env::MemoryLine());
  if (!dataFolder.empty()) {
    // A host path on Linux has no drive letter; its folder names the volume.
    const std::string drive = repair::DataDrive();
    LogLine(FreeSpaceLine(drive.empty() ? env::ExcludeTrailingSeparator(dataFolder) : drive,
                          env::DriveFreeBytes(dataFolder)));
  }
  LogLine("");
}

void TMainForm::WarnAboutProgramFiles(const std::string& dataFolder) {
  if (!env::IsLaterWindows()) return;
  if (env::IsUnderProgramFiles(dataFolder)) {
    LogLine("Warning: FENRO data files located under Program Files");
    env::ShowWarningBox("Error A1\r\rFENRO data files should not be in the current location.\r\r");
  } else if (installation::ProgramFilesCopyFound()) {
    LogLine("Warning: FENRO data files also located under Program Files");
    env::ShowWarningBox(
        "Warning A2\r\rSome FENRO data files are still located under the Program Files folder.\r\r"
        "This has the potential to cause FENRO or the update program to get confused.\r\r");
  }
}

}  // namespace remdo::app
