#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/AppTestPlatform.h"
#include "app/MainForm.h"
#include "app/console/ConsoleApp.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/Terminal.h"
#include "env/Errors.h"
#include "env/Host.h"
#include "support/LockHolder.h"
#include "support/TestSupport.h"

namespace remdo::app::console {
namespace {

class TScriptedTerminal final : public TTerminal {
 public:
  void WriteOut(std::string_view utf8) override { out += utf8; }
  void WriteErr(std::string_view utf8) override { err += utf8; }
  bool StatusVisible() override { return statusVisible; }
  bool CanAsk() override { return canAsk; }
  std::optional<std::string> ReadLine() override {
    if (typed.empty()) return std::nullopt;
    std::string line = typed.front();
    typed.pop_front();
    return line;
  }
  bool TakeInterrupt() override {
    ++polls;
    return polls == interruptAtPoll;
  }
  std::string CurrentFolder() override { return currentFolder; }

  std::string out, err;
  bool statusVisible = false;
  bool canAsk = false;
  std::deque<std::string> typed;
  int polls = 0;
  int interruptAtPoll = -1;
  std::string currentFolder;
};

// A run of the console program on the test platform's data folder.
int RunOnDataFolder(TScriptedTerminal& terminal, std::vector<std::string> args = {},
        TMainForm::TTableSequence sequence = TMainForm::TTableSequence()) {
  test::TAppPlatform platform(false);
  args.insert(args.begin(), {"--data-folder", test::kDataFolder});
  return RunConsole("remdo", args, terminal, std::move(sequence));
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConsoleOptions, Table) {
  const struct {
    std::vector<std::string> args;
    std::optional<bool> answer;
    const char* dataFolder;
    std::vector<std::string> params;
    bool error;
  } cases[] = {
      {{}, std::nullopt, "", {}, false},
      {{"--yes", "STRICT"}, true, "", {"STRICT"}, false},
      {{"--no", "+", "pack"}, false, "", {"+", "pack"}, false},
      {{"--yes", "--yes"}, true, "", {}, false},
      {{"--yes", "--no"}, false, "", {}, true},
      {{"--data-folder", "/data/FENRO", "REMD"}, std::nullopt, "/data/FENRO", {"REMD"}, false},
      {{"--data-folder=C:\\FENRO\\"}, std::nullopt, "C:\\FENRO\\", {}, false},
      {{"--data-folder"}, std::nullopt, "", {}, true},
      {{"--data-folder="}, std::nullopt, "", {}, true},
      {{"--data-folder", "a", "--data-folder", "b"}, std::nullopt, "b", {}, true},
      {{"--frobnicate"}, std::nullopt, "", {}, true},
      {{"--undo", "--yes"}, true, "", {"UNDO"}, false},
      {{"--verify", "--report", "r.txt"}, std::nullopt, "", {"VERIFY"}, false},
      {{"--dry-run", "--no"}, false, "", {"VERIFY"}, false},
      {{"--verify", "--report"}, std::nullopt, "", {}, true},
      {{"--", "--yes", "-x"}, std::nullopt, "", {"--yes", "-x"}, false},
      {{"-", "+!"}, std::nullopt, "", {"-", "+!"}, false},
  };
  for (const auto& c : cases) {
    const TConsoleOptions options = ParseConsoleOptions(c.args);
    const std::string label = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(!options.error.empty(), c.error) << label << ": " << options.error;
    if (c.error) continue;
    EXPECT_EQ(options.answer, c.answer) << label;
    EXPECT_EQ(options.dataFolder, c.dataFolder) << label;
    EXPECT_EQ(options.params, c.params) << label;
  }
  EXPECT_TRUE(ParseConsoleOptions({"--help"}).help);
  EXPECT_EQ(ParseConsoleOptions({"--prefix", "/home/ann/.wine", "--no"}).prefix, "/home/ann/.wine");
  EXPECT_EQ(ParseConsoleOptions({"--prefix=/p"}).prefix, "/p");
  EXPECT_FALSE(ParseConsoleOptions({"--prefix"}).error.empty());
  EXPECT_FALSE(ParseConsoleOptions({"--prefix=/p", "--prefix=/q"}).error.empty());
  EXPECT_EQ(ParseConsoleOptions({"--report=/tmp/r.txt", "--verify"}).reportFile, "/tmp/r.txt");
}

TEST(ConsoleDialogs, BoxTextBreaksLinesAtCarriageReturns) {
  const env::TMessageBox box{env::TBoxKind::kWarning, "Error A1\r\rFENRO data files should not be here.\r\r",
                             "! Warning !"};
  EXPECT_EQ(BoxText(box), "! Warning !\n  Error A1\n\n  FENRO data files should not be here.\n");
  const env::TMessageBox accented{env::TBoxKind::kInfo, "Caf\xE9", "Installer"};
  EXPECT_EQ(BoxText(accented), "Installer\n  Caf\xC3\xA9\n");
}

TEST(ConsoleDialogs, QuestionsAreAnsweredByOptionTerminalOrNo) {
  const env::TMessageBox question{env::TBoxKind::kYesNo, "Are you sure?", "Stop?"};
  {
    TScriptedTerminal terminal;
    EXPECT_TRUE(TConsoleDialogs(terminal, true).Show(question));
    EXPECT_TRUE(Contains(terminal.err, "Yes (--yes)"));
  }
  {
    TScriptedTerminal terminal;
    terminal.canAsk = true;  // the option wins over the terminal
    EXPECT_FALSE(TConsoleDialogs(terminal, false).Show(question));
  }
  {
    TScriptedTerminal terminal;
    EXPECT_FALSE(TConsoleDialogs(terminal, std::nullopt).Show(question));
    EXPECT_TRUE(Contains(terminal.err, "no terminal to answer"));
  }
  {
    TScriptedTerminal terminal;
    terminal.canAsk = true;
    terminal.typed = {"maybe", " Y "};
    EXPECT_TRUE(TConsoleDialogs(terminal, std::nullopt).Show(question));
    EXPECT_TRUE(terminal.typed.empty());
  }
  {
    TScriptedTerminal terminal;
    terminal.canAsk = true;  // end of input, or Ctrl-C while asking
    EXPECT_FALSE(TConsoleDialogs(terminal, std::nullopt).Show(question));
  }
}

TEST(Console, UsageErrorsAndHelp) {
  TScriptedTerminal terminal;
  EXPECT_EQ(RunConsole("remdo", {"--bogus"}, terminal), kExitUsage);
  EXPECT_TRUE(Contains(terminal.err, "unknown option --bogus"));
  EXPECT_TRUE(Contains(terminal.err, "Usage: remdo"));
  TScriptedTerminal help;
  EXPECT_EQ(RunConsole("remdo", {"--help"}, help), kExitClean);
  EXPECT_TRUE(Contains(help.out, "Usage: remdo"));
  EXPECT_TRUE(help.err.empty());
}

// A prefix that cannot be used ends the program before start-up, saying
// where it came from; a named data folder leaves WINEPREFIX unread.
TEST(Console, UnusablePrefixEndsBeforeStartUp) {
  TScriptedTerminal given, variable, ignored;
  EXPECT_EQ(RunConsole("remdo", {"--prefix", "/nonexistent/prefix"}, given), kExitNoRun);
  EXPECT_TRUE(Contains(given.err, "! Error !")) << given.err;
  EXPECT_FALSE(Contains(given.err, "WINEPREFIX"));
  EXPECT_EQ(RunConsole("remdo", {}, variable, {}, "/nonexistent/prefix"), kExitNoRun);
  EXPECT_TRUE(Contains(variable.err, "WINEPREFIX: ")) << variable.err;
  EXPECT_EQ(RunConsole("remdo", {"--data-folder", "/nonexistent/data"}, ignored, {}, "/nonexistent/prefix"),
            kExitNoRun);
  EXPECT_TRUE(Contains(ignored.err, "does not exist")) << ignored.err;
  EXPECT_FALSE(Contains(ignored.err, "WINEPREFIX"));
  EXPECT_TRUE(given.out.empty() && variable.out.empty() && ignored.out.empty());
}

// A run whose table sequence keeps going until stopped or for a while.
TMainForm::TTableSequence LongSequence() {
  return [](TMainForm& form) {
    for (int i = 0; i < 50 && form.KeepGoing(); ++i) {
    }
  };
}

TEST(Console, LogLinesGoToStandardOutputAsUtf8) {
  TScriptedTerminal terminal;
  EXPECT_EQ(RunOnDataFolder(terminal), kExitClean);
  EXPECT_TRUE(Contains(terminal.out, "Remdo 4.47.2  \xE2\x80\x94 File Pack and Repair for FENRO\n"));
  EXPECT_TRUE(Contains(terminal.out, "\nAll tables completed.\n"));
  EXPECT_FALSE(Contains(terminal.err, "\x1b[K"));  // no status line without a terminal
}

TEST(Console, StatusLineOnATerminal) {
  TScriptedTerminal terminal;
  terminal.statusVisible = true;
  EXPECT_EQ(RunOnDataFolder(terminal, {}, [](TMainForm& form) {
              form.SetMessage("Checking table");
              form.SetProgress(40);
            }),
            kExitClean);
  EXPECT_TRUE(Contains(terminal.err, "\rChecking table  40%\x1b[K"));
  EXPECT_EQ(terminal.err.substr(terminal.err.size() - 4), "\r\x1b[K");  // cleared at the end
}

TEST(Console, CtrlCAnsweredNoLetsTheRunFinish) {
  TScriptedTerminal terminal;
  terminal.interruptAtPoll = 5;
  EXPECT_EQ(RunOnDataFolder(terminal, {"--no"}, LongSequence()), kExitClean);
  EXPECT_TRUE(Contains(terminal.err, "Stop?\n  Are you sure?\n  -> No (--no)\n"));
  EXPECT_TRUE(Contains(terminal.out, "All tables completed."));
}

TEST(Console, CtrlCAnsweredYesStopsTheRun) {
  TScriptedTerminal terminal;
  terminal.interruptAtPoll = 5;
  EXPECT_EQ(RunOnDataFolder(terminal, {"--yes"}, LongSequence()), kExitStopped);
  EXPECT_TRUE(Contains(terminal.out, "...program stopped."));
}

TEST(Console, FailedTablesGiveStatusOne) {
  TScriptedTerminal terminal;
  EXPECT_EQ(RunOnDataFolder(terminal, {},
                       [](TMainForm& form) {
                         form.RunState.FailureCount = 1;
                         form.RunState.FailedTables = "Genre";
                       }),
            kExitFailures);
  EXPECT_TRUE(Contains(terminal.out, "1 table failed."));
}

// The run is reported before the program ends, with the table under way
// as failed.
TEST(Console, AnErrorLeavingTheRunIsShownAndEndsTheProgram) {
  test::TAppPlatform platform(false);
  TScriptedTerminal terminal;
  EXPECT_EQ(RunConsole("remdo", {"--data-folder", test::kDataFolder}, terminal,
                       [](TMainForm& form) {
                         form.RunState.TableUnderWay = "Books";
                         throw env::EFOpenError("Cannot open file \"C:\\FENRO\\Books.db\".");
                       }),
            kExitNoRun);
  EXPECT_TRUE(Contains(terminal.err, "! Error !\n  Cannot open file \"C:\\FENRO\\Books.db\".\n"));
  EXPECT_FALSE(Contains(terminal.out, "All tables completed."));
  EXPECT_TRUE(Contains(platform.Read("C:\\FENRO\\RemdLogs.txt"), ", 1 failure [Books]\r\n"));
}

TEST(Console, DataFolderRelativeToTheCurrentFolderAndReportWritten) {
  test::TAppPlatform platform(false);
  TScriptedTerminal terminal;
  terminal.currentFolder = "C:\\";
  EXPECT_EQ(RunConsole("remdo", {"--data-folder", "FENRO", "+"}, terminal,
                       [](TMainForm& form) {
                         form.RunState.FailureCount = 2;
                         form.RunState.FailedTables = "Genre,Books";
                       }),
            kExitFailures);
  EXPECT_TRUE(Contains(terminal.out, "    FENRO folder:  C:\\FENRO\\\n"));
  // The window would stay open; the console ends as Close does.
  EXPECT_TRUE(platform.DataFileExists("Remdo.log"));
  EXPECT_TRUE(Contains(platform.Read("C:\\FENRO\\RemdLogs.txt"), ", 2 failures [Genre,Books]\r\n"));
}

TEST(Console, MissingDataFolderEndsBeforeTheRun) {
  test::TAppPlatform platform(false);
  TScriptedTerminal terminal;
  EXPECT_EQ(RunConsole("remdo", {"--data-folder", "C:\\nothing"}, terminal), kExitNoRun);
  EXPECT_TRUE(Contains(terminal.err, "! Error !\n  The data folder C:\\nothing\\ does not exist.\n"));
  EXPECT_TRUE(terminal.out.empty());
}

TEST(Console, StartUpEndsTheProgramWithoutARun) {
  {
    test::TAppPlatform platform;
    platform.platform.shell.window = env::TTopWindow{7};  // the catalogue application runs
    TScriptedTerminal terminal;
    EXPECT_EQ(RunConsole("remdo", {}, terminal), kExitNoRun);
    EXPECT_TRUE(Contains(terminal.err, "You must close FENRO before running this program."));
    EXPECT_TRUE(terminal.out.empty());
  }
  {
    test::TAppPlatform platform(false);  // nothing to locate
    TScriptedTerminal terminal;
    EXPECT_EQ(RunConsole("remdo", {}, terminal), kExitNoRun);
    EXPECT_TRUE(Contains(terminal.err, "Could not locate FENRO directory."));
  }
  {
    test::TAppPlatform platform;
    platform.File("C:\\Remdo\\FenroRemdo.exe", "program");
    TScriptedTerminal terminal;
    EXPECT_EQ(RunConsole("C:\\Remdo\\remdinst1.exe", {}, terminal), kExitClean);
    EXPECT_TRUE(platform.DataFileExists("FenroRemdo.exe"));
    EXPECT_TRUE(terminal.out.empty());
  }
}

// Another program's engine holding the data folder through a lock file
// stops the run before anything in the folder is written: no table is
// opened, the engine never connects (which would remove what an
// interrupted write left), and no stale lock file is deleted; the run log
// and the history line are still written, and the status is 3. On Linux the
// holder is seen by its open file (through /proc) and, with /proc out of
// sight, by its fcntl lock alone; on Windows a table file held open (by a
// program on another computer of a network folder) stops the run as well.
TEST(Console, LiveLockStopsTheRunBeforeAnyWrite) {
  struct TCase {
    test::THold hold;
    bool hideProcesses;
    std::string held;
  };
  std::vector<TCase> cases = {{test::THold::kOpen, false, "PDOXUSRS.LCK"}};
  if (env::CurrentHost() == env::THost::kPosix) cases.push_back({test::THold::kRecordLock, true, "PDOXUSRS.LCK"});
  if (env::CurrentHost() == env::THost::kWindows) cases.push_back({test::THold::kOpen, false, "Books.db"});
  for (const TCase& t : cases) {
    SCOPED_TRACE(t.held + (t.hideProcesses ? " record lock" : " open"));
    test::TAppPlatform platform(false);
    test::TScratchFolder noProcesses;
    if (t.hideProcesses) env::SetProcessFolder(noProcesses.Path());
    platform.DataFile("Books.db.new");
    platform.DataFile("PARADOX.LCK");
    platform.DataFile("PDOXUSRS.LCK");
    const test::TLockHolder holder(platform.HostPath("C:\\FENRO\\" + t.held), t.hold);
    TScriptedTerminal terminal;
    bool tablesChecked = false;
    const int status =
        RunConsole("remdo", {"--data-folder", test::kDataFolder}, terminal, [&](TMainForm&) { tablesChecked = true; });
    env::SetProcessFolder("");
    EXPECT_EQ(status, kExitNoRun);
    EXPECT_FALSE(tablesChecked);
    EXPECT_TRUE(Contains(terminal.err,
                         "! Error !\n  The FENRO folder C:\\FENRO\\ is in use by another program. Close "
                         "FENRO on every computer that uses this folder, then run Remdo again.\n"))
        << terminal.err;
    EXPECT_TRUE(Contains(terminal.out, "(C:\\FENRO\\" + t.held + " is held); no table was checked.\n"));
    EXPECT_TRUE(platform.DataFileExists("Books.db.new"));
    EXPECT_TRUE(platform.DataFileExists("PARADOX.LCK"));
    EXPECT_EQ(Contains(platform.Read("C:\\FENRO\\Remdo.log"), "Lock file C:\\FENRO\\PDOXUSRS.LCK: held by a live"),
              t.held == "PDOXUSRS.LCK");
    EXPECT_TRUE(Contains(platform.Read("C:\\FENRO\\RemdLogs.txt"), ", 1 failure [in use]\r\n"));
  }
}

}  // namespace
}  // namespace remdo::app::console
