// Whole repair runs of the progress window with the real table sequence on
// generated catalogues: the run log file line for line for a healthy
// catalogue of each format and for a damaged one, the result line and the
// status panel after failures, the installation run, and Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/StartUp.h"
#include "app/TableSequence.h"
#include "app/console/ConsoleApp.h"
#include "damage/Damage.h"
#include "env/FileSystem.h"
#include "env/Host.h"
#include "env/IniFile.h"
#include "env/PeImage.h"
#include "generator/CatalogueGenerator.h"
#include "generator/Words.h"
#include "installation/CompleteDataSet.h"
#include "installation/DataFolder.h"
#include "integration/WholeRunFixture.h"
#include "repair/AutomaticBackup.h"
#include "repair/RepairContext.h"
#include "support/TestSupport.h"

namespace remdo::app {
namespace {

using test::kDataFolder;
using test::THeadlessView;
using Lines = std::vector<std::string>;

class TWholeRun : public testing::TWholeRunFixture {
 public:
  using TWholeRunFixture::TWholeRunFixture;

  void Generate(bool currentLayout, int folders) {
    tools::TCatalogueOptions options;
    options.currentLayout = currentLayout;
    options.books = 80;
    options.folders = folders;
    options.memoPerMille = 250;
    options.seed = 11;
    catalogue = tools::GenerateCatalogue(kDataFolder, options);
  }
  void RemoveTable(std::string_view name) {
    auto& fileSystem = env::DefaultFileSystem();
    for (const auto& entry : fileSystem.Find(kDataFolder + std::string(name) + ".*", 47)) {
      ASSERT_TRUE(fileSystem.Remove(kDataFolder + entry.name));
    }
  }
  // Remdo.log as its lines.
  Lines LogFile() {
    const std::string text = platform.Read(kDataFolder + std::string("Remdo.log"));
    Lines lines;
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        lines.push_back(text.substr(start) + "<no line end>");
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }
  // --- The lines the run should write ---
  Lines Heading(bool installation = false) const {
    Lines lines = {"Remdo 4.47.2  \x97 File Pack and Repair for FENRO", "", "    " + form->RunState.RunStartText};
    if (installation) lines.insert(lines.end(), {"", "INSTALLATION", ""});
    lines.insert(lines.end(), {"    FENRO folder:  C:\\FENRO\\", "    OS version:    Microsoft Windows 7",
                               "    BDE version:   not found", "    Memory:       2048 MB allocated",
                               "    disk C: free:  12.3 GB", ""});
    // The root causes of an undamaged folder on a machine without the engine.
    lines.insert(lines.end(),
                 {"Root causes:", "    No lock files (PDOXUSRS.LCK, PARADOX.LCK, table .LCK) in the data folder.",
                  "    NET DIR: neither the engine's configuration nor its registry copy could be read.",
                  "    No PDOXUSRS.NET in the NET DIR or the usual shared folders.", ""});
    return lines;
  }
  Lines Check(const std::string& display, std::string_view table) const {
    return {"Checking " + display + "...", "  -- transferred data [" + std::to_string(catalogue.Records(table)) + "]"};
  }
  Lines Ending(const std::string& result) {
    const auto saved = env::DefaultFileSystem().ModifiedTime(repair::SaveFolder() + "BOOKS.db");
    EXPECT_TRUE(saved.has_value());
    return {"",
            result,
            "",
            "FENRO files found at:",
            "    C:\\FENRO\\",
            "",
            "Last automatic file backup on " + THeadlessView::UtcText(saved.value_or(0))};
  }
};

void Append(Lines& lines, const Lines& more) { lines.insert(lines.end(), more.begin(), more.end()); }

// The log of a run that reached the folder tables of the current format.
Lines CurrentTables(const TWholeRun& run) {
  Lines lines = {"Checking FENRO directory", ""};
  for (const auto& [display, table] :
       std::vector<std::pair<std::string, std::string>>{{"Authors", "AuthX"},
                                                        {"Expanded Titles", "ExpTitle"},
                                                        {"Books", "Books"},
                                                        {"Book indexing", "BookRef"},
                                                        {"Genres", "Genre"},
                                                        {"Series", "BkSeries"},
                                                        {"Reissues", "Reissues"},
                                                        {"Characters", "CharX"},
                                                        {"Groups", "GrpNames"},
                                                        {"Locales", "LocNames"},
                                                        {"Group indexing", "BookInx"},
                                                        {"Timeline calendar", "Calendar"},
                                                        {"Publishers", "Pubs"},
                                                        {"ISBNs", "ISBNs"},
                                                        {"Contacts", "Contact"},
                                                        {"Image links", "Images"},
                                                        {"Personal notes", "BookInfo"},
                                                        {"Prices", "Prices"},
                                                        {"Favorite authors", "Auth0001"},
                                                        {"Folder indexing", "Folders"}}) {
    Append(lines, run.Check(display, table));
  }
  return lines;
}

TEST(WholeRun, HealthyCurrentCatalogueLogLineByLine) {
  TWholeRun run;
  run.Generate(true, 4);
  run.Start();
  Lines expected = run.Heading();
  Append(expected, CurrentTables(run));
  for (int n = 1; n <= 4; ++n)
    Append(expected, run.Check(tools::FolderTitle(n) + "...", "Fldr000" + std::to_string(n)));
  Append(expected, run.Ending("All tables completed."));
  EXPECT_EQ(run.LogFile(), expected);
  EXPECT_EQ(run.form->RunResult(), false);
  EXPECT_TRUE(run.view.closed);  // closed by itself
  EXPECT_EQ(run.platform.Read(kDataFolder + std::string("RemdLogs.txt")),
            "Remdo 4.47.2 " + run.form->RunState.RunStartText + ", no errors\r\n");
}

// Books.db's first field is a number, not a long integer: the earlier
// format's sequence runs, without the data folder check.
TEST(WholeRun, HealthyEarlierCatalogueLogLineByLine) {
  TWholeRun run;
  run.Generate(false, 3);
  run.Start();
  EXPECT_FALSE(catalogue::IsCurrentLayout());
  Lines expected = run.Heading();
  for (const auto& [display, table] : std::vector<std::pair<std::string, std::string>>{{"Authors", "AuthX"},
                                                                                       {"Books", "Books"},
                                                                                       {"Personal notes", "BookInfo"},
                                                                                       {"Expanded Titles", "ExpTitle"},
                                                                                       {"Reissues", "Reissues"},
                                                                                       {"Series", "BkSeries"},
                                                                                       {"Characters", "CharX"},
                                                                                       {"Genres", "Genre"},
                                                                                       {"Book indexing", "BookRef"},
                                                                                       {"Group indexing", "BookGrp"},
                                                                                       {"Groups", "GrpNames"},
                                                                                       {"Locale indexing", "BookLoc"},
                                                                                       {"Locales", "LocNames"},
                                                                                       {"Prices", "Prices"}}) {
    Append(expected, run.Check(display, table));
  }
  for (int n = 1; n <= 3; ++n)
    Append(expected, run.Check(tools::FolderTitle(n) + "...", "Fldr000" + std::to_string(n)));
  Append(expected, run.Ending("All tables completed."));
  EXPECT_EQ(run.LogFile(), expected);
}

// Books with a duplicate key (within its tolerance), Genre and CharX taken
// back, Pubs and Contact missing, one folder table recreated and one taken
// back: two failures, and the window stays open.
TEST(WholeRun, DamagedCatalogueLogLineByLine) {
  TWholeRun run;
  run.Generate(true, 4);
  tools::TDamageOptions duplicate;
  duplicate.record = 5;
  const auto damage =
      tools::Damage(tools::TDamageKind::kDuplicateKey, kDataFolder + std::string("Books.db"), duplicate);
  ASSERT_EQ(damage.duplicateKeys.size(), 1u);
  for (const char* table : {"Genre", "CharX", "Pubs", "Contact", "Fldr0002", "Fldr0004"}) run.RemoveTable(table);
  ASSERT_TRUE(env::DefaultFileSystem().Remove(repair::SaveFolder() + "Fldr0002.db"));
  run.Start();

  Lines tables = CurrentTables(run);
  const auto after = [&tables](const std::string& line, const Lines& more) {
    const auto at = std::find(tables.begin(), tables.end(), line);
    ASSERT_NE(at, tables.end()) << line;
    tables.insert(at + 2, more.begin(), more.end());
  };
  const auto before = [&tables](const std::string& line, const Lines& more) {
    const auto at = std::find(tables.begin(), tables.end(), line);
    ASSERT_NE(at, tables.end()) << line;
    tables.insert(at, more.begin(), more.end());
  };
  // The refused record and the old files are kept aside, not lost.
  const std::string rejected = "Rejected\\" + repair::RunStampText(run.form->RunState.RunStartTime) + "\\";
  after("Checking Books...", {"  -- kept 1 refused record in " + rejected + "Books.db",
                              "  -- kept the old table files in " + rejected + "Original\\", "  -- recovering books"});
  before("Checking Genres...", {"    Cannot find Genre.db -- retrieving backup"});
  after("Checking Genres...", {"  -- recovering genres"});
  before("Checking Characters...", {"    Cannot find CharX.db -- retrieving backup"});
  for (const auto& [display, table] :
       std::vector<std::pair<std::string, std::string>>{{"Publishers", "Pubs"}, {"Contacts", "Contact"}}) {
    const auto at = std::find(tables.begin(), tables.end(), "Checking " + display + "...");
    ASSERT_NE(at, tables.end());
    at[1] = "  -- table not found: " + table;
    tables.insert(at + 2, "  -- error");
  }
  Lines expected = run.Heading();
  Append(expected, tables);
  Append(expected, run.Check(tools::FolderTitle(1) + "...", "Fldr0001"));
  expected.push_back(tools::FolderTitle(2) + " folder missing -- recreating");
  Append(expected, run.Check(tools::FolderTitle(3) + "...", "Fldr0003"));
  expected.push_back("    Retrieving backup for Fldr0004.db");
  Append(expected, run.Check(tools::FolderTitle(4) + "...", "Fldr0004"));
  Append(expected, run.Ending("2 tables failed."));

  // No automatic close after failures: the report waits for Close.
  EXPECT_FALSE(run.view.closed);
  EXPECT_FALSE(run.platform.DataFileExists("Remdo.log"));
  EXPECT_EQ(run.form->RunResult(), true);
  EXPECT_EQ(run.form->MsgPanel.caption, "Failed tables: Pubs,Contact");
  EXPECT_TRUE(run.form->Panel7.enabled);
  EXPECT_EQ(run.form->CloseBtn.caption, "Close");
  run.form->CloseBtnClick();
  EXPECT_EQ(run.LogFile(), expected);
  EXPECT_EQ(run.platform.Read(kDataFolder + std::string("RemdLogs.txt")),
            "Remdo 4.47.2 " + run.form->RunState.RunStartText + ", 2 failures [Pubs,Contact]\r\n");
  EXPECT_TRUE(run.platform.DataFileExists("Fldr0002.db"));
  EXPECT_TRUE(run.platform.DataFileExists("Genre.db"));
}

// The catalogue's updater starts the program on a later Windows, the data
// set under Program Files (x86) with Pubs and Contact newer in its
// VirtualStore twin: start-up moves all of it with the cover pictures to
// C:\FENRO\, retires the old tables in both places, records the new folder
// three times, and the run that follows repairs the new folder.
TEST(WholeRun, UpdaterMovesTheDataSetOutOfProgramFiles) {
  TWholeRun run;
  installation::ForgetDataFolder();  // located, not fixed
  const std::string old = "C:\\Program Files (x86)\\FENRO\\";
  const std::string twin = "C:\\Users\\Ann\\AppData\\Local\\VirtualStore\\Program Files (x86)\\FENRO\\";
  auto& facts = run.platform.platform.facts;
  run.platform.SetProgramFiles("C:\\Program Files (x86)");
  facts.folders[env::TSpecialFolder::kLocalAppData] = "C:\\Users\\Ann\\AppData\\Local\\";
  facts.folders[env::TSpecialFolder::kTemp] = "C:\\Temp\\";
  facts.programPath = "C:\\Remdo\\RemdoUpdate.exe";
  run.platform.File(facts.programPath, "program");
  run.platform.File(old + "CoverPix\\1.jpg", "cover");
  run.platform.drive.Folder("C:\\Temp");
  run.platform.drive.Folder(twin);
  tools::TCatalogueOptions options;
  options.books = 60;
  options.folders = 2;
  run.catalogue = tools::GenerateCatalogue(old, options);
  options.seed = 12;
  options.saveFolder = false;
  options.onlyTables = {"Pubs", "Contact"};
  const auto newer = tools::GenerateCatalogue(twin, options);
  ASSERT_NE(test::ReadWholeFile(old + "Pubs.db"), test::ReadWholeFile(twin + "Pubs.db"));
  for (auto& table : run.catalogue.tables) {
    if (newer.Records(table.name) >= 0) table.records = newer.Records(table.name);
  }
  run.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  ASSERT_EQ(StartUp(TCommandLine(facts.programPath, {})).outcome, TStartOutcome::kOpenWindow);

  EXPECT_EQ(installation::GetDataFolder(), kDataFolder);
  for (const auto name : installation::kCompleteDataSetFiles) {
    if (!env::SameText(env::ExtensionPart(name), ".db")) continue;
    const bool changed = newer.Records(name.substr(0, name.size() - 3)) >= 0;
    EXPECT_EQ(test::ReadWholeFile(kDataFolder + std::string(name)),
              test::ReadWholeFile((changed ? twin : old) + std::string(name) + "1"));
    EXPECT_FALSE(run.platform.Exists(old + std::string(name))) << name;
    EXPECT_FALSE(run.platform.Exists(twin + std::string(name))) << name;
  }
  EXPECT_EQ(run.platform.Read("C:\\FENRO\\CoverPix\\1.jpg"), "cover");
  for (const std::string& settings :
       {old + "FENRO4.ini", std::string("C:\\Temp\\FENRO.ini"), std::string("C:\\FENRO\\FENRO4.ini")}) {
    EXPECT_EQ(env::TIniFile(env::DefaultFileSystem(), settings).ReadString("FENRO", "DataDir", ""), "C:\\FENRO");
  }

  // The copy of Program Files that locating saw first is still reported.
  run.dialogs.ExpectBox(env::TBoxKind::kWarning,
                        "Warning A2\r\rSome FENRO data files are still located under the Program Files folder.\r\r"
                        "This has the potential to cause FENRO or the update program to get confused.\r\r",
                        "! Warning !");
  run.Start();
  Lines expected = run.Heading();
  expected.push_back("Warning: FENRO data files also located under Program Files");
  Append(expected, CurrentTables(run));
  for (int n = 1; n <= 2; ++n)
    Append(expected, run.Check(tools::FolderTitle(n) + "...", "Fldr000" + std::to_string(n)));
  const Lines log = run.LogFile();
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(Lines(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
  EXPECT_EQ(run.form->RunResult(), false);
}

TEST(WholeRun, InstallationRunChecksTablesOnlyWithRemd) {
  for (const bool remd : {false, true}) {
    TWholeRun run(remd ? std::vector<std::string>{"INSTALLING", "REMD"} : std::vector<std::string>{"INSTALLING"});
    run.Generate(true, 1);
    run.Start();
    const auto& log = run.form->LogFileMemo.lines;
    const bool checked =
        std::any_of(log.begin(), log.end(), [](const std::string& line) { return line.rfind("Checking ", 0) == 0; });
    EXPECT_EQ(checked, remd);
    if (!remd) {
      Lines expected = run.Heading(true);
      Append(expected, run.Ending("All tables completed."));
      EXPECT_EQ(run.LogFile(), expected);
    }
  }
}

// Cancel during the check of Books: the later checks return at once, the
// missing folder table is still recreated, and the ending says the program
// was stopped and closes with the report.
TEST(WholeRun, CancelStopsTheChecksButNotTheFolderWalk) {
  TWholeRun run;
  run.Generate(true, 3);
  run.RemoveTable("Fldr0002");
  ASSERT_TRUE(env::DefaultFileSystem().Remove(repair::SaveFolder() + "Fldr0002.db"));
  bool clicked = false;
  run.view.onPump = [&run, &clicked] {
    if (clicked || !run.Logged("Checking Books...")) return;
    clicked = true;
    run.dialogs.ExpectQuestion(env::TBoxKind::kYesNo, "Are you sure?", "Stop?", true);
    run.form->CloseBtnClick();
  };
  run.Start();
  ASSERT_TRUE(clicked);
  Lines expected = run.Heading();
  const Lines tables = CurrentTables(run);
  expected.insert(expected.end(), tables.begin(), std::find(tables.begin(), tables.end(), "Checking Books...") + 1);
  expected.push_back(tools::FolderTitle(2) + " folder missing -- recreating");
  const auto saved = env::DefaultFileSystem().ModifiedTime(repair::SaveFolder() + "BOOKS.db");
  Append(expected, {"", "...program stopped.", "", "Last automatic file backup on " + THeadlessView::UtcText(*saved)});
  EXPECT_EQ(run.LogFile(), expected);
  EXPECT_TRUE(run.form->RunState.Interrupted);
  EXPECT_EQ(run.form->RunResult(), false);
  EXPECT_TRUE(run.platform.DataFileExists("Fldr0002.db"));
  EXPECT_EQ(run.platform.Read(kDataFolder + std::string("RemdLogs.txt")),
            "Remdo 4.47.2 " + run.form->RunState.RunStartText + ", tests interrupted, no errors\r\n");
}

// A terminal with nobody at it: the output is kept.
class TQuietTerminal final : public console::TTerminal {
 public:
  void WriteOut(std::string_view utf8) override { out += utf8; }
  void WriteErr(std::string_view utf8) override { err += utf8; }
  bool StatusVisible() override { return false; }
  bool CanAsk() override { return false; }
  std::optional<std::string> ReadLine() override { return std::nullopt; }
  bool TakeInterrupt() override { return false; }
  std::string CurrentFolder() override { return "/"; }
  std::string out, err;
};

// The Linux program given only a Wine prefix (by --prefix, or by
// WINEPREFIX) finds the catalogue there through the prefix's settings file,
// repairs it, and reports the prefix's Windows and Windows paths; an
// ordinary start writes nothing into the prefix's registry.
TEST(WholeRun, LinuxProgramRepairsTheCatalogueInsideAWinePrefix) {
  if (env::CurrentHost() != env::THost::kPosix) GTEST_SKIP() << "Linux only";
  for (const bool byVariable : {false, true}) {
    SCOPED_TRACE(byVariable ? "WINEPREFIX" : "--prefix");
    test::TScratchFolder scratch;
    const std::string prefix = scratch / "prefix/";
    const std::string c = prefix + "dosdevices/c:/";
    const std::string systemReg =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
        "[Software\\\\Borland\\\\Database Engine] 1796676158\n\"DLLPATH\"=\"C:\\\\BDE\"\n\n"
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1796676158\n"
        "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n"
        "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1796676158\n"
        "\"CurrentBuildNumber\"=\"2600\"\n\"CurrentVersion\"=\"5.1\"\n"
        "\"ProductName\"=\"Microsoft Windows XP\"\n\"SystemRoot\"=\"C:\\\\windows\"\n";
    for (const char* folder : {"windows", "BDE", "Program Files", "Books/Data"}) {
      ASSERT_TRUE(env::MakeFolders(env::RealFileSystem(), c + folder));
    }
    test::WriteWholeFile(prefix + "system.reg", systemReg);
    test::WriteWholeFile(prefix + "user.reg",
                         "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21\n");
    test::WriteWholeFile(c + "BDE/IDAPI32.DLL", test::BuildPe());
    test::WriteWholeFile(c + "windows/FENRO.ini", "[FENRO]\r\nDataDir=C:\\Books\\Data\r\n");
    tools::TCatalogueOptions options;
    options.books = 40;
    options.folders = 2;
    (void)tools::GenerateCatalogue(c + "Books/Data/", options);

    TQuietTerminal terminal;
    const std::vector<std::string> args =
        byVariable ? std::vector<std::string>{"--no"} : std::vector<std::string>{"--prefix", prefix, "--no"};
    const int status = console::RunConsole("remdo", args, terminal, RepairTableSequence(), byVariable ? prefix : "");
    env::ResetHost();
    installation::ForgetDataFolder();
    EXPECT_EQ(status, console::kExitClean) << terminal.err;
    for (const char* line : {"    FENRO folder:  C:\\Books\\Data\\\n", "    OS version:    Microsoft Windows XP\n",
                             "    BDE version:   5.2.0\n", "All tables completed.\n"}) {
      EXPECT_NE(terminal.out.find(line), std::string::npos) << line << terminal.out;
    }
    EXPECT_TRUE(env::RealFileSystem().FileExists(c + "Books/Data/Remdo.log"));
    const auto after = test::ReadWholeFile(prefix + "system.reg");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.data()), after.size()), systemReg);
  }
}

}  // namespace
}  // namespace remdo::app
