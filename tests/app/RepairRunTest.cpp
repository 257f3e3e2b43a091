// Whole runs of the window model without a table sequence: the heading, the
// environment report, the Program Files warnings, the ending and the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppTestPlatform.h"
#include "app/FormTestSupport.h"
#include "app/MainForm.h"
#include "app/RunReport.h"
#include "app/TableSequence.h"
#include "catalogue/TableCatalogue.h"
#include "env/EngineLibrary.h"
#include "env/Errors.h"
#include "installation/DataFolder.h"
#include "installation/StartUpNotes.h"
#include "paradox/engine/Engine.h"
#include "repair/AutomaticBackup.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace remdo::app {
namespace {

using test::kDataFolder;
using test::kMegabyte;
using test::kProgramFolder;
using test::TAppPlatform;
using test::THeadlessView;
using test::TInstalledDialogs;
using test::TScriptedDialogs;

constexpr const char* kHeading = "Remdo 4.47.2  \x97 File Pack and Repair for FENRO";

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

class TRun {
 public:
  explicit TRun(std::vector<std::string> params = {}, std::string program = "FenroRemdo.exe", bool fixDataFolder = true)
      : platform(fixDataFolder),
        installed(dialogs),
        commandLine(kProgramFolder + program, std::move(params)),
        form(std::make_unique<TMainForm>(commandLine, view, false)) {
    (void)paradox::TEngineSession::Instance().TakeWarnings();  // of earlier tests' folders
  }
  ~TRun() {
    try {
      if (created) form->FormDestroy();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "FormDestroy: " << e.what();
    }
  }

  // Window creation, first paint and the timer tick that runs the repair.
  void Start() {
    form->FormCreate();
    created = true;
    form->FormPaint();
    form->Timer1Timer();
  }
  const std::vector<std::string>& Log() const { return form->LogFileMemo.lines; }
  const std::vector<std::string>& Shown() const { return form->RepairProgressMemo.lines; }
  bool Logged(const std::string& line) const { return std::count(Log().begin(), Log().end(), line) > 0; }
  std::string FileText(const std::string& name) { return platform.Read(kDataFolder + name); }
  test::TFakeSystemFacts& Facts() { return platform.platform.facts; }
  test::TRecordingShell& Shell() { return platform.platform.shell; }

  TAppPlatform platform;
  TScriptedDialogs dialogs;
  TInstalledDialogs installed;
  TCommandLine commandLine;
  THeadlessView view;
  std::unique_ptr<TMainForm> form;
  bool created = false;
};

std::vector<std::string> Lines(std::initializer_list<std::string> lines) { return lines; }

// Boxes whose text carries the system's own words.
struct TBoxRecorder final : env::TDialogs {
  bool Show(const env::TMessageBox& box) override { return shown.push_back(box), false; }
  std::vector<env::TMessageBox> shown;
};

TEST(RepairRun, HeadingAndEnvironmentReportLineByLine) {
  TRun run;
  run.form->AutoCloseChk.checked = false;
  run.Start();
  const std::string& start = run.form->RunState.RunStartText;
  ASSERT_FALSE(start.empty());
  const std::vector<std::string> expected = {
      kHeading,
      "",
      "    " + start,
      "    FENRO folder:  C:\\FENRO\\",
      "    OS version:    Microsoft Windows 7",
      "    BDE version:   not found",
      "    Memory:       2048 MB allocated",
      "    disk C: free:  12.3 GB",
      "",
      "Root causes:",
      "    No lock files (PDOXUSRS.LCK, PARADOX.LCK, table .LCK) in the data folder.",
      "    NET DIR: neither the engine's configuration nor its registry copy could be read.",
      "    No PDOXUSRS.NET in the NET DIR or the usual shared folders.",
      "",
      "",
      "All tables completed.",
      "",
      "",
  };
  EXPECT_EQ(run.Log(), expected);
  // The start time goes to the log file only.
  EXPECT_EQ(std::count(run.Shown().begin(), run.Shown().end(), "    " + start), 0);
  EXPECT_EQ(run.Shown().front(), kHeading);
  EXPECT_EQ(run.form->RunResult(), false);
}

// What the engine did when the connection settled the data folder goes to
// the log file right after the environment report, and what start-up could
// not do when it moved the data set follows, shown as well; files of other
// programs that end in ".new" stay.
TEST(RepairRun, EngineWarningsOfTheConnectionFollowTheEnvironmentReport) {
  TRun run;
  run.platform.DataFile("Books.db.new");
  run.platform.DataFile("notes.txt.new");
  const std::string note = "    Could not rename C:\\Program Files\\FENRO\\Genre.db to Genre.db1: file exists";
  installation::AddStartUpNote(note);
  run.form->AutoCloseChk.checked = false;
  run.Start();
  const std::string warning = "    Removed C:\\FENRO\\Books.db.new, left by a write that did not finish.";
  const auto at = std::find(run.Log().begin(), run.Log().end(), "    disk C: free:  12.3 GB");
  ASSERT_NE(at, run.Log().end());
  ASSERT_LT(at + 3, run.Log().end());
  EXPECT_EQ(*(at + 2), warning);
  EXPECT_EQ(*(at + 3), note);
  EXPECT_EQ(std::count(run.Shown().begin(), run.Shown().end(), warning), 0);
  EXPECT_EQ(std::count(run.Shown().begin(), run.Shown().end(), note), 1);
  EXPECT_FALSE(run.platform.DataFileExists("Books.db.new"));
  EXPECT_TRUE(run.platform.DataFileExists("notes.txt.new"));
}

TEST(RepairRun, HeadingVariesWithTheRunMode) {
  const struct {
    std::vector<std::string> params;
    const char* program;
    bool strict, installation;
  } cases[] = {
      {{"STRICT"}, "FenroRemdo.exe", true, false},
      {{}, "RemdoSTRICT.exe", true, false},
      {{"strictly"}, "FenroRemdo.exe", false, false},
      {{"INSTALLING"}, "FenroRemdo.exe", false, true},
      {{"INST"}, "FenroRemdo.exe", false, false},
      {{}, "FenroInstaller.exe", false, true},
      {{"installing", "strict"}, "FenroRemdo.exe", true, true},
  };
  for (const auto& c : cases) {
    TRun run(c.params, c.program);
    run.Start();
    const auto& log = run.Log();
    const std::string label = std::string(c.program) + (c.params.empty() ? "" : " " + c.params.front());
    ASSERT_GE(log.size(), 8u) << label;
    std::size_t next = 3;
    if (c.strict) {
      EXPECT_EQ(log[next++], "    (strict testing)") << label;
    }
    if (c.installation) {
      EXPECT_EQ(Lines({log[next], log[next + 1], log[next + 2]}), Lines({"", "INSTALLATION", ""})) << label;
      next += 3;
    }
    EXPECT_EQ(log[next].rfind("    FENRO folder:  ", 0), 0u) << label << ": " << log[next];
    // Installation runs take no clipboard copy and cannot close by choice.
    EXPECT_EQ(run.form->ClipboardChk.checked, !c.installation) << label;
    EXPECT_EQ(run.form->ClipboardChk.enabled, !c.installation) << label;
    EXPECT_TRUE(run.form->AutoCloseChk.checked) << label;
  }
}

TEST(RepairRun, InstallationRunSkipsTheTableSequenceUnlessRemd) {
  for (const bool remd : {false, true}) {
    TRun run(remd ? std::vector<std::string>{"INSTALLING", "REMD"} : std::vector<std::string>{"INSTALLING"});
    bool sequenceRan = false;
    run.form->SetTableSequence([&sequenceRan](TMainForm&) { sequenceRan = true; });
    run.Start();
    EXPECT_EQ(sequenceRan, remd);
    EXPECT_TRUE(run.Logged("All tables completed."));
  }
}

TEST(RepairRun, WindowsLine) {
  const struct {
    std::uint32_t major;
    const char* product;
    const char* line;
  } cases[] = {
      {6, "Microsoft Windows XP", "    OS version:    Windows (XP reported)"},
      {5, "Microsoft Windows XP", "    OS version:    Microsoft Windows XP"},
      {10, "Windows 10 Pro", "    OS version:    Windows 10 Pro"},
  };
  for (const auto& c : cases) {
    TRun run;
    run.Facts().version = {c.major, 1, 2600};
    run.Facts().productName = c.product;
    run.Start();
    EXPECT_TRUE(run.Logged(c.line)) << c.line;
  }
}

TEST(RepairRun, FreeSpaceInWholeMegabytesOverGigabytes) {
  EXPECT_EQ(FreeSpaceLine("C:", 1536 * kMegabyte), "    disk C: free:  1.5 GB");
  EXPECT_EQ(FreeSpaceLine("C:", 1023 * kMegabyte + 1048575), "    disk C: free:  1.0 GB");
  EXPECT_EQ(FreeSpaceLine("C:", kMegabyte), "    disk C: free:  0.0 GB");
  EXPECT_EQ(FreeSpaceLine("D:", 0), "    disk D: free:  0.0 GB");
  EXPECT_EQ(FreeSpaceLine("C:", std::nullopt), "    disk C: free:  unknown");
}

TEST(RepairRun, DataUnderProgramFilesShowsErrorA1Only) {
  TRun run({}, "FenroRemdo.exe", false);
  run.platform.SetProgramFiles("C:\\Program Files\\");
  // The only data set lies under Program Files: the probe sees it and the
  // search ends there, so both conditions hold; only A1 is shown.
  run.platform.File("C:\\Program Files\\FENRO\\BookInx.db");
  run.platform.File("C:\\Program Files\\FENRO\\LocNames.db");
  run.dialogs.ExpectBox(env::TBoxKind::kWarning,
                        "Error A1\r\rFENRO data files should not be in the current location.\r\r", "! Warning !");
  run.Start();
  EXPECT_EQ(installation::GetDataFolder(), "C:\\Program Files\\FENRO\\");
  EXPECT_TRUE(installation::ProgramFilesCopyFound());
  EXPECT_TRUE(run.Logged("Warning: FENRO data files located under Program Files"));
  EXPECT_FALSE(run.Logged("Warning: FENRO data files also located under Program Files"));
}

TEST(RepairRun, SecondDataSetUnderProgramFilesShowsWarningA2) {
  TRun run({}, "FenroRemdo.exe", false);
  run.platform.SetProgramFiles("C:\\Program Files\\");
  run.platform.File("C:\\Program Files\\FENRO\\BookInx.db");
  run.platform.DataFile("BookInx.db");
  run.platform.DataFile("LocNames.db");
  run.dialogs.ExpectBox(env::TBoxKind::kWarning,
                        "Warning A2\r\rSome FENRO data files are still located under the Program Files folder.\r\r"
                        "This has the potential to cause FENRO or the update program to get confused.\r\r",
                        "! Warning !");
  run.Start();
  EXPECT_EQ(installation::GetDataFolder(), kDataFolder);
  EXPECT_TRUE(run.Logged("Warning: FENRO data files also located under Program Files"));
}

TEST(RepairRun, NoWarningsOnAnEarlierWindows) {
  TRun run({}, "FenroRemdo.exe", false);
  run.Facts().version = {5, 1, 2600};
  run.platform.SetProgramFiles("C:\\Program Files\\");
  run.platform.File("C:\\Program Files\\FENRO\\BookInx.db");
  run.platform.File("C:\\Program Files\\FENRO\\LocNames.db");
  run.Start();  // any box fails the test
  EXPECT_FALSE(run.Logged("Warning: FENRO data files located under Program Files"));
}

TEST(RepairRun, FormCreateReadsTheFormatMarkers) {
  {
    TRun run;
    std::string grp(200, '\0'), books(200, '\0');
    grp[125] = 40;
    books[120] = 6;
    run.platform.DataFile("GrpNames.db", grp);
    run.platform.DataFile("Books.db", books);
    run.form->FormCreate();
    run.created = true;
    EXPECT_EQ(catalogue::GroupNameWidth(), 40);
    EXPECT_EQ(catalogue::BooksFormatMarker(), 6);
    EXPECT_FALSE(catalogue::IsCurrentLayout());
    EXPECT_EQ(repair::SaveFolder(), "C:\\FENRO\\SaveFenr\\");
    EXPECT_EQ(run.form->Colour, TColour::kNavy);
    EXPECT_EQ(run.form->MsgPanel.caption.rfind("FENRO Remdo 4.47.2  ", 0), 0u);
  }
  {
    TRun run;  // no tables, or headers too short: the defaults stay
    run.platform.DataFile("Books.db", std::string(100, '\x06'));
    run.form->FormCreate();
    run.created = true;
    EXPECT_EQ(catalogue::GroupNameWidth(), 75);
    EXPECT_EQ(catalogue::BooksFormatMarker(), 4);
  }
}

TEST(RepairRun, RunFenroIniMakesTheInstalledMarkAndStartsTheCatalogue) {
  TRun run;
  run.platform.DataFile("RunFENRO.ini");
  run.Facts().freeBytes["C:\\"] = 100 * kMegabyte;  // no room for a backup
  run.Start();
  EXPECT_TRUE(run.form->RunState.InstalledMark);
  EXPECT_TRUE(run.Logged("Insufficient disk space for automatic file backup."));
  EXPECT_FALSE(run.platform.DataFileExists("RunFENRO.ini"));
  EXPECT_EQ(run.Shell().calls, std::vector<std::string>{"open C:\\FENRO\\FENRO.exe +"});
  EXPECT_TRUE(run.view.closed);
}

TEST(RepairRun, PlusXStartsTheCatalogueWithoutTheInstalledMark) {
  TRun run({"+x"});
  run.Start();
  EXPECT_FALSE(run.form->RunState.InstalledMark);
  EXPECT_EQ(run.Shell().calls, std::vector<std::string>{"open C:\\FENRO\\FENRO.exe +"});
}

TEST(RepairRun, FailedTablesKeepTheWindowOpen) {
  const struct {
    std::int32_t failures;
    const char* names;
    const char* line;
    const char* panel;
  } cases[] = {
      {1, "Genre", "1 table failed.", "Failed table: Genre"},
      {2, "Genre,Books", "2 tables failed.", "Failed tables: Genre,Books"},
      {1, "", "1 table failed.", nullptr},  // a folder table that could not be made
  };
  for (const auto& c : cases) {
    TRun run;
    run.form->SetTableSequence([&c](TMainForm& form) {
      form.RunState.FailureCount = c.failures;
      form.RunState.FailedTables = c.names;
    });
    run.Start();
    EXPECT_TRUE(run.Logged(c.line)) << c.line;
    EXPECT_EQ(run.form->RunResult(), true);
    EXPECT_FALSE(run.view.closed);  // whatever close when complete shows
    EXPECT_EQ(run.form->Panel7.enabled, c.panel != nullptr);
    if (c.panel != nullptr) {
      EXPECT_EQ(run.form->MsgPanel.caption, c.panel);
    }
    EXPECT_FALSE(run.platform.DataFileExists("Remdo.log"));
    EXPECT_EQ(run.form->CloseBtn.caption, "Close");
    EXPECT_FALSE(run.form->RunState.Running);
  }
}

// Without a data folder nothing is connected or checked; the run ends.
TEST(RepairRun, WithoutADataFolderTheRunGoesToTheEnding) {
  TRun run({}, "FenroRemdo.exe", false);
  run.form->SetTableSequence(RepairTableSequence());
  run.dialogs.ExpectBox(env::TBoxKind::kError, "FENRO files are not at expected location  ", "! Error !");
  run.Start();
  EXPECT_EQ(Lines({run.Log()[3], run.Log()[7], run.Log()[9], run.Log()[11]}),
            Lines({"    FENRO folder:  ", "", "     FENRO files are not at expected location", "1 table failed."}));
  EXPECT_EQ(run.form->CloseBtn.caption, "Close");
}

TEST(RepairRun, NegativeFailureCountEndsAsZero) {
  TRun run;
  run.form->SetTableSequence([](TMainForm& form) { form.RunState.FailureCount = -1; });
  run.Start();
  EXPECT_TRUE(run.Logged("All tables completed."));
  EXPECT_EQ(run.form->RunState.FailureCount, 0);
}

TEST(RepairRun, EndOfRunShowsTheTealPanelAndLetsTheLogScroll) {
  TRun run;
  run.form->AutoCloseChk.checked = false;
  run.Start();
  EXPECT_TRUE(run.form->Panel1.visible);
  EXPECT_EQ(run.form->Panel1.colour, TColour::kTeal);
  EXPECT_FALSE(run.form->ProgressBar1.visible);
  EXPECT_FALSE(run.form->AutoCloseChk.enabled);
  EXPECT_TRUE(run.form->Panel2.enabled);
  EXPECT_TRUE(run.view.closeFocused);
}

// So are our scratch files: an earlier run's, named in the log file, and
// this run's; the recovery table and the rejected records' tables stay.
TEST(RepairRun, LeftoverProgramsAreDeleted) {
  TRun run;
  for (const char* name : {"RemdTech.exe", "RemdTech.pif", "RemdChek.exe", "RemdKeep.exe", "temptbl1.db",
                           "Save\\B.db.~cp", "RecTbl.db", "temp-1.db"})
    run.platform.DataFile(name);
  run.form->SetTableSequence([&run](TMainForm&) { run.platform.DataFile("A.db.runs.new"); });
  run.Start();
  EXPECT_TRUE(run.Logged("    Removed scratch files left by an earlier run: temptbl1.db, B.db.~cp"));
  for (const char* name : {"temptbl1.db", "Save\\B.db.~cp", "A.db.runs.new"})
    EXPECT_FALSE(run.platform.DataFileExists(name));
  EXPECT_TRUE(run.platform.DataFileExists("RecTbl.db") && run.platform.DataFileExists("temp-1.db"));
  EXPECT_FALSE(run.platform.DataFileExists("RemdTech.exe"));
  EXPECT_FALSE(run.platform.DataFileExists("RemdTech.pif"));
  EXPECT_FALSE(run.platform.DataFileExists("RemdChek.exe"));
  EXPECT_TRUE(run.platform.DataFileExists("RemdKeep.exe"));
}

TEST(RepairRun, BackupTurnedOffAndLastBackupLines) {
  TRun run({"+!"});
  run.platform.DataFile("nobackup.ini");
  run.platform.DataFile("Save\\BOOKS.db");
  const std::int64_t saved = Now() - 3 * 86400;
  ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime("C:\\FENRO\\Save\\BOOKS.db", saved));
  run.Start();
  const std::string last = "Last automatic file backup on " + THeadlessView::UtcText(saved);
  EXPECT_TRUE(run.Logged("Automatic file backup turned off"));
  EXPECT_TRUE(run.Logged(last));
}

TEST(RepairRun, BackupAfterAFaultlessRunThatAsksForIt) {
  TRun run({"+U"});
  run.platform.DataFile("Books.db");
  run.platform.DataFile("Genre.db");
  run.Start();
  EXPECT_TRUE(run.Logged("Saved copy of file:  Books.db"));
  EXPECT_TRUE(run.Logged("Saved copy of file:  Genre.db"));
  EXPECT_TRUE(run.platform.DataFileExists("Save\\Genre.db"));
}

TEST(RepairRun, CataloguePlacesAreListedUnderAHeaderOnlyWhenFound) {
  {
    TRun none;
    none.Start();
    EXPECT_FALSE(none.Logged("FENRO files found at:"));
  }
  TRun run;
  run.platform.platform.registry.SetString(env::TRegistryRoot::kCurrentUser, test::kShellFoldersKey, "Personal",
                                           "C:\\Documents");
  run.platform.File("C:\\Documents\\FENRO\\Books.db");
  run.platform.File("C:\\Remdo\\Books.db");
  run.platform.File("C:\\FENRO2\\Books.db");
  run.Start();
  const auto& log = run.Log();
  const auto header = std::find(log.begin(), log.end(), "FENRO files found at:");
  ASSERT_NE(header, log.end());
  ASSERT_LT(header + 3, log.end());
  ASSERT_LT(header + 4, log.end());
  EXPECT_EQ(header[1], "    C:\\Remdo\\");
  EXPECT_EQ(header[2], "    C:\\Documents\\FENRO\\");
  EXPECT_EQ(header[3], "    C:\\FENRO2\\");
  EXPECT_EQ(header[4], "");
}

TEST(RunReport, WrittenOnceAsWindows1252WithCrLf) {
  TRun run;
  run.form->AutoCloseChk.checked = false;
  run.form->SetTableSequence([](TMainForm& form) { form.LogLine("    Caf\xE9 \x93quoted\x94"); });
  run.Start();
  EXPECT_FALSE(run.platform.DataFileExists("Remdo.log"));  // written by Close
  run.form->CloseBtnClick();
  run.form->CloseBtnClick();
  run.form->WriteRunReport();
  const std::string log = run.FileText("Remdo.log");
  EXPECT_EQ(log.rfind(std::string(kHeading) + "\r\n\r\n    " + run.form->RunState.RunStartText + "\r\n", 0), 0u);
  EXPECT_NE(log.find("\r\n    Caf\xE9 \x93quoted\x94\r\n"), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), std::count(log.begin(), log.end(), '\r'));
  const std::string history = run.FileText("RemdLogs.txt");
  EXPECT_EQ(history, "Remdo 4.47.2 " + run.form->RunState.RunStartText + ", no errors\r\n");
  EXPECT_EQ(run.view.clipboard, log);
}

TEST(RunReport, HistoryIsAppendedAndStartedWhenMissing) {
  TRun run;
  run.platform.DataFile("RemdLogs.txt", "Remdo 4.47.2 earlier, no errors\r\n");
  run.Start();  // closes by itself
  EXPECT_EQ(run.FileText("RemdLogs.txt"),
            "Remdo 4.47.2 earlier, no errors\r\nRemdo 4.47.2 " + run.form->RunState.RunStartText + ", no errors\r\n");
}

TEST(RunReport, HistoryLineInEachResultForm) {
  const struct {
    bool interrupted;
    std::int32_t failures;
    const char* failed;
    const char* recovered;
    const char* line;
    const char* undone = "";
  } cases[] = {
      {false, 0, "", "", "Remdo 4.47.2 T, no errors"},
      {false, 0, "", "", "Remdo 4.47.2 T, undone 20240131-154502", "20240131-154502"},
      {false, 0, "", "Books", "Remdo 4.47.2 T, errors repaired [Books]"},
      {false, 1, "Genre", "", "Remdo 4.47.2 T, 1 failure [Genre]"},
      {false, 1, "Genre", "Books", "Remdo 4.47.2 T, errors repaired [Books], 1 failure [Genre]"},
      {false, 2, "Genre,Books", "", "Remdo 4.47.2 T, 2 failures [Genre,Books]"},
      {true, 0, "", "", "Remdo 4.47.2 T, tests interrupted, no errors"},
      {true, 3, "A,B,C", "X,Y", "Remdo 4.47.2 T, tests interrupted, errors repaired [X,Y], 3 failures [A,B,C]"},
  };
  for (const auto& c : cases) {
    repair::TRunState state;
    state.RunStartText = "T";
    state.Interrupted = c.interrupted;
    state.FailureCount = c.failures;
    state.FailedTables = c.failed;
    state.RecoveredTables = c.recovered;
    state.UndoneRun = c.undone;
    EXPECT_EQ(HistoryLine(state), c.line);
  }
}

// The error is shown by the default handler and the window stays open;
// closing it reports the run, the table under way failed.
TEST(RunReport, AnErrorThatEndsTheRunIsReportedWhenTheWindowCloses) {
  {
    TRun run;
    run.form->SetTableSequence([](TMainForm& form) {
      form.RunState.TableUnderWay = "Books";
      throw env::EDBEngineError(1, "Genre cannot be opened");
    });
    EXPECT_THROW(run.Start(), env::EDBEngineError);
    run.dialogs.ExpectQuestion(env::TBoxKind::kYesNo, "Are you sure?", "Stop?", true);
    run.form->CloseBtnClick();
    EXPECT_EQ(run.FileText("RemdLogs.txt"),
              "Remdo 4.47.2 " + run.form->RunState.RunStartText + ", 1 failure [Books]\r\n");
    EXPECT_NE(run.FileText("Remdo.log").find("\r\n  -- run ended by an error: Genre cannot be opened\r\n"),
              std::string::npos);
  }
  TRun backup({"+U"});  // an error of the ending, with no table under way
  backup.platform.DataFile("Books.db");
  backup.platform.DataFile("Save");  // a file where the save folder belongs
  EXPECT_THROW(backup.Start(), env::EFCreateError);
  backup.dialogs.Answer(true);
  backup.form->CloseBtnClick();
  EXPECT_NE(backup.FileText("RemdLogs.txt").find(", 1 failure []\r\n"), std::string::npos);
}

// A history that cannot be opened is shown; the rest of the ending goes on.
TEST(RunReport, AFailedReportSkipsNothingOfTheEnding) {
  TRun run({"+X"});
  run.platform.drive.Folder("C:\\FENRO\\RemdLogs.txt\\");
  TBoxRecorder boxes;
  const TInstalledDialogs installed(boxes);
  run.Start();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text.find("RemdLogs.txt"), std::string::npos) << boxes.shown[0].text;
  EXPECT_EQ(run.Shell().calls, std::vector<std::string>{"open C:\\FENRO\\FENRO.exe +"});
  EXPECT_TRUE(run.view.closed && !run.form->RunState.Running);
}

TEST(RunReport, NoDataFolderNoReport) {
  {
    TRun closed;  // before the first tick: no run started
    closed.platform.DataFile("Remdo.log", "earlier log");
    closed.form->CloseBtnClick();
    EXPECT_EQ(closed.FileText("Remdo.log"), "earlier log");
  }
  TRun run;
  installation::ForgetDataFolder();
  installation::SetDataFolder("C:\\missing\\");
  run.form->WriteRunReport();
  EXPECT_FALSE(run.form->ReportWritten);
}

// The engine's configuration as a list of one "NET DIR" record. A repair run
// only reads it: opening it for writing fails the test.
class TNetDirLibrary final : public env::TEngineLibrary {
 public:
  explicit TNetDirLibrary(std::string netDir) : netDir_(std::move(netDir)) {}
  std::uint16_t Init() override { return 0; }
  std::uint16_t OpenConfigList(std::string_view, env::TConfigAccess access) override {
    EXPECT_EQ(access, env::TConfigAccess::kRead) << "a repair run opened the engine's configuration for writing";
    return access == env::TConfigAccess::kRead ? 0 : 1;
  }
  std::uint16_t SetToBegin() override { return read_ = false, 0; }
  std::uint16_t NextRecord(env::TConfigRecord& record) override {
    if (read_) return 8705;  // end of the list
    read_ = true;
    record.SetNodeName("NET DIR");
    return record.SetValue(netDir_) ? 0 : 1;
  }
  std::uint16_t ModifyRecord(const env::TConfigRecord&) override { return 1; }
  void Exit() override {}

 private:
  std::string netDir_;
  bool read_ = false;
};

// Each root cause, planted, has its line in the log file and none in the
// window; a stale lock file is deleted before the engine connects. A data
// folder under Program Files on a later Windows is located, not given.
TEST(RepairRun, RootCausesGoToTheLogFileOnly) {
  constexpr const char* kTwin = "C:\\Users\\u\\AppData\\Local\\VirtualStore\\Program Files\\FENRO\\";
  constexpr const char* kInitKey = "SOFTWARE\\Borland\\Database Engine\\Settings\\DRIVERS\\PARADOX\\INIT";
  const std::string classic =
      "    Two different network control files (PDOXUSRS.NET) for one data folder: a classic "
      "cause of damaged tables. Programs that use different control files do not see each "
      "other's locks and overwrite each other's changes; every computer must use the same "
      "NET DIR.";
  struct TCase {
    const char* name;
    std::function<void(TRun&)> plant;
    std::vector<std::string> lines;
    std::vector<std::string> absent;
    const char* gone = nullptr;  // a data file the run deletes
    bool locate = false;         // the data folder is located
  };
  const auto programFilesTwin = [&](TRun& run) {
    run.platform.SetProgramFiles("C:\\Program Files\\");
    run.Facts().folders[env::TSpecialFolder::kLocalAppData] = "C:\\Users\\u\\AppData\\Local\\";
  };
  const std::vector<TCase> cases = {
      {"stale lock files",
       [](TRun& run) { run.platform.DataFile("PARADOX.LCK"), run.platform.DataFile("Books.lck"); },
       {"    Lock file C:\\FENRO\\PARADOX.LCK: stale: no program holds it",
        "    Deleted the stale lock file C:\\FENRO\\PARADOX.LCK",
        "    Deleted the stale lock file C:\\FENRO\\Books.lck"},
       {},
       "PARADOX.LCK"},
      {"NET DIR from the registry, PDOXUSRS.NET elsewhere",
       [](TRun& run) {
         run.platform.platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kInitKey, "NET DIR", "C:\\Shared");
         run.platform.DataFile("PDOXUSRS.NET");
       },
       {"    NET DIR configured for the engine: C:\\Shared\\ (the registry's copy; the engine's configuration could "
        "not be read)",
        "    C:\\FENRO\\PDOXUSRS.NET: stale: no program holds it", classic},
       {}},
      {"NET DIR through the engine's library, its PDOXUSRS.NET there",
       [](TRun& run) {
         run.platform.platform.registry.SetString(env::TRegistryRoot::kLocalMachine,
                                                  "Software\\Borland\\Database Engine", "DLLPATH", "C:\\BDE");
         run.platform.File("C:\\BDE\\IDAPI32.DLL");
         run.platform.File("C:\\Net\\PDOXUSRS.NET");
         env::InstallEngineLibraryLoader(
             [](std::string_view) { return std::make_unique<TNetDirLibrary>("C:\\Net\\"); });
       },
       {"    NET DIR configured for the engine: C:\\Net\\", "    C:\\Net\\PDOXUSRS.NET: stale: no program holds it"},
       {classic, "    No PDOXUSRS.NET in the NET DIR or the usual shared folders."}},
      {"VirtualStore twin",
       [&](TRun& run) {
         programFilesTwin(run);
         run.platform.File("C:\\Program Files\\FENRO\\Readme.txt");
         run.platform.DataFile("Genre.db", "genre");
         run.platform.File(std::string(kTwin) + "Genre.db", "genre, newer");
         run.platform.DataFile("Books.px", "same");
         run.platform.File(std::string(kTwin) + "Books.px", "same");
         ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime("C:\\FENRO\\Genre.db", 1000000000));
         ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime(std::string(kTwin) + "Books.px", 1000000000));
         ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime("C:\\FENRO\\Books.px", 1000000000));
       },
       {"    VirtualStore twin " + std::string(kTwin) +
        "Genre.db differs from the data folder's (5 bytes here, 12 there; the twin is newer): the catalogue may "
        "read the twin, not the table Remdo repairs."},
       {"    VirtualStore twin " + std::string(kTwin) +
        "Books.px differs from the data folder's (4 bytes here, 4 there): the catalogue may read the twin, not the "
        "table Remdo repairs."}},
      {"read-only tables and leftovers of an interrupted run",
       [](TRun& run) {
         run.platform.DataFile("Pubs.db");
         ASSERT_TRUE(env::DefaultFileSystem().SetAttributes("C:\\FENRO\\Pubs.db", env::attr::kReadOnly));
         for (const char* name :
              {"Books.db.new", "Books.mb.pack.new", "temptbl1.db", "notes.txt.new", "Books.journal.stale"}) {
           run.platform.DataFile(name);
         }
       },
       {"    Pubs.db is read-only: the catalogue cannot open the table Pubs.",
        "    Left by an interrupted run: C:\\FENRO\\Books.db.new",
        "    Left by an interrupted run: C:\\FENRO\\Books.mb.pack.new",
        "    Left by an interrupted run: C:\\FENRO\\temptbl1.db",
        "    Left by an interrupted run: C:\\FENRO\\Books.journal.stale"},
       {"    Left by an interrupted run: C:\\FENRO\\notes.txt.new"}},
      {"data folder under Program Files",
       [&](TRun& run) {
         programFilesTwin(run);
         run.platform.File("C:\\Program Files\\FENRO\\BookInx.db");
         run.platform.File("C:\\Program Files\\FENRO\\LocNames.db");
         run.dialogs.ExpectBox(env::TBoxKind::kWarning,
                               "Error A1\r\rFENRO data files should not be in the current location.\r\r",
                               "! Warning !");
       },
       {"    The data folder is under Program Files: this Windows diverts the catalogue's writes there to the "
        "VirtualStore folder " +
        std::string(kTwin) + ", so the catalogue and Remdo can see different tables."},
       {},
       nullptr,
       true},
  };
  for (const TCase& t : cases) {
    SCOPED_TRACE(t.name);
    TRun run({}, "FenroRemdo.exe", !t.locate);
    run.form->AutoCloseChk.checked = false;
    t.plant(run);
    run.Start();
    env::InstallEngineLibraryLoader({});
    (void)env::DefaultFileSystem().SetAttributes("C:\\FENRO\\Pubs.db", 0);
    EXPECT_TRUE(run.Logged("Root causes:"));
    for (const std::string& line : t.lines) {
      EXPECT_TRUE(run.Logged(line)) << line;
      EXPECT_EQ(std::count(run.Shown().begin(), run.Shown().end(), line), 0) << line;
    }
    for (const std::string& line : t.absent) EXPECT_FALSE(run.Logged(line)) << line;
    if (t.gone != nullptr) EXPECT_FALSE(run.platform.DataFileExists(t.gone));
  }
}

}  // namespace
}  // namespace remdo::app
