// The console program. The window's life is played out in order: creation,
// first paint, the timer tick that runs the repair, and at the end a click
// on Close (which writes the report) unless the run closed the window
// itself. An error that leaves an event is shown as the window's error box
// would show it, and the program ends instead of waiting for input that
// cannot come.
#include "app/console/ConsoleApp.h"

#include <exception>

#include "app/ErrorHandler.h"
#include "app/RunMode.h"
#include "app/StartUp.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleView.h"
#include "env/Dialogs.h"
#include "env/FileSystem.h"
#include "env/Host.h"
#include "env/Path.h"
#include "env/Text.h"
#include "installation/DataFolder.h"
#include "installation/EngineChecks.h"

namespace remdo::app::console {

namespace {

std::vector<std::string> ToCp1252(const std::vector<std::string>& texts) {
  std::vector<std::string> out;
  for (const auto& text : texts) out.push_back(env::Utf8ToCp1252(text));
  return out;
}

// Runs one event of the window; false when an error left it (it has been
// shown).
template <typename Event>
bool Guarded(Event event) {
  try {
    event();
    return true;
  } catch (...) {
    ShowUncaughtError(std::current_exception());
    return false;
  }
}

// The folder of --data-folder as the program holds it: Windows-1252,
// absolute, with a trailing separator. A path in Windows form ("C:\FENRO")
// is taken as it stands.
std::string AbsoluteFolder(const std::string& given, TTerminal& terminal) {
  std::string folder = env::Utf8ToCp1252(given);
  const bool windowsForm = folder.size() >= 2 && folder[1] == ':';
  if (!windowsForm && !env::IsPathSeparator(folder.front())) {
    folder = env::JoinPath(env::Utf8ToCp1252(terminal.CurrentFolder()), folder);
  }
  return env::IncludeTrailingSeparator(folder);
}

// The file of --report as the program holds it: Windows-1252, absolute.
std::string AbsoluteFile(const std::string& given, TTerminal& terminal) {
  return env::ExcludeTrailingSeparator(AbsoluteFolder(given, terminal));
}

int RunWindow(TMainForm& form, TConsoleView& view) {
  if (!Guarded([&] { form.FormCreate(); })) return kExitNoRun;
  view.Update();
  form.FormPaint();
  if (!Guarded([&] { form.Timer1Timer(); })) {
    // A run that an error ended is reported as it stands; there is no
    // window to close later.
    (void)Guarded([&] { form.WriteRunReport(); });
    return kExitNoRun;
  }
  if (!view.Terminating() && !Guarded([&] { form.CloseBtnClick(); })) return kExitNoRun;
  if (form.RunState.Interrupted) return kExitStopped;
  if (form.DataFolderInUse()) return kExitNoRun;
  if (!form.RunResult()) return kExitNoRun;
  return *form.RunResult() ? kExitFailures : kExitClean;
}

}  // namespace

int RunConsole(const std::string& programPath, const std::vector<std::string>& args, TTerminal& terminal,
               TMainForm::TTableSequence sequence, const std::string& winePrefixVariable) {
  const TConsoleOptions options = ParseConsoleOptions(args);
  if (!options.error.empty()) {
    terminal.WriteErr("remdo: " + options.error + "\n\n" + UsageText());
    return kExitUsage;
  }
  if (options.help) {
    terminal.WriteOut(UsageText());
    return kExitClean;
  }
  TConsoleDialogs dialogs(terminal, options.answer);
  const env::TDialogsScope scope(dialogs);
  try {
    const bool prefixGiven = !options.prefix.empty();
    const std::string prefix = prefixGiven || !options.dataFolder.empty() ? options.prefix : winePrefixVariable;
    if (!prefix.empty()) {
      const env::TIoResult used = env::UseWinePrefix(AbsoluteFolder(prefix, terminal));
      if (!used) {
        env::ShowErrorBox((prefixGiven ? "" : "WINEPREFIX: ") + used.reason);
        return kExitNoRun;
      }
    }
    if (!options.dataFolder.empty()) {
      const std::string folder = AbsoluteFolder(options.dataFolder, terminal);
      if (!env::DefaultFileSystem().FolderExists(folder)) {
        env::ShowErrorBox("The data folder " + folder + " does not exist.");
        return kExitNoRun;
      }
      installation::SetDataFolder(folder);
    }
    const TCommandLine commandLine(env::Utf8ToCp1252(programPath), ToCp1252(options.params));
    if (env::UsesWinePrefix()) installation::CheckEngineAtStart(commandLine.ProgramPath(), commandLine.Params());
    const TStartResult start = StartUp(commandLine);
    if (start.outcome == TStartOutcome::kFinished) return kExitClean;
    if (start.outcome != TStartOutcome::kOpenWindow) return kExitNoRun;
    // The window would open and fail at the engine connection; the console
    // says plainly what is missing.
    if (installation::GetDataFolder().empty()) {
      env::ShowErrorBox("Could not locate FENRO directory. Name it with --data-folder DIR.");
      return kExitNoRun;
    }
    TConsoleView view(terminal);
    dialogs.SetBeforeBox([&view] { view.ClearStatus(); });
    TMainForm form(commandLine, view, start.installedMark);
    view.Attach(form);
    form.SetTableSequence(std::move(sequence));
    // The console's report is its standard output, and a file when asked.
    form.SetVerifyReportFile(options.reportFile.empty() ? std::string() : AbsoluteFile(options.reportFile, terminal));
    const int status = RunWindow(form, view);
    // The engine writes what it still holds when it stops; a failure there
    // is a failed run whatever the run itself said.
    const bool stopped = Guarded([&] { form.FormDestroy(); });
    view.ClearStatus();
    return stopped ? status : kExitNoRun;
  } catch (...) {
    ShowUncaughtError(std::current_exception());
    return kExitNoRun;
  }
}

}  // namespace remdo::app::console
