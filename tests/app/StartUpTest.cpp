#include "app/StartUp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/FormTestSupport.h"
#include "app/LocalPlatform.h"
#include "env/DataFolder.h"
#include "env/Path.h"
#include "env/SystemInfo.h"

namespace remdo::app {
namespace {

using test::local::TInstalledDialogs;
using test::local::TPlatform;
using test::local::TScriptedDialogs;

constexpr const char* kFind = "find TMainForm/FENRO/FENRO.exe";

struct TStart {
  explicit TStart(bool fixDataFolder = true) : platform(fixDataFolder), installed(dialogs) {}

  TStartResult Run(const std::string& program, std::vector<std::string> params = {}) {
    return StartUp(TCommandLine(platform.programFolder + program, std::move(params)));
  }
  std::string ProgramPath() const { return platform.facts.programPath; }

  TPlatform platform;
  TScriptedDialogs dialogs;
  TInstalledDialogs installed;
};

TEST(StartUp, RefusesBesideTheCatalogueUnlessPlusComesFirst) {
  TStart s;
  s.platform.shell.window = env::TTopWindow{42};
  s.dialogs.ExpectBox(env::TBoxKind::kError, "You must close FENRO before running this program.", "! Error !");
  const TStartResult refused = s.Run("FenroRemdo.exe", {"STRICT", "+"});
  EXPECT_EQ(refused.outcome, TStartOutcome::kRefused);
  EXPECT_EQ(s.platform.shell.calls, (std::vector<std::string>{kFind, "foreground"}));
  EXPECT_EQ(s.Run("FenroRemdo.exe", {"+", "STRICT"}).outcome, TStartOutcome::kOpenWindow);
}

TEST(StartUp, OrdinaryNameGoesStraightToTheWindow) {
  TStart s;
  const TStartResult result = s.Run("FenroRemdo.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kOpenWindow);
  EXPECT_FALSE(result.installedMark);
  EXPECT_EQ(s.platform.shell.calls, std::vector<std::string>{kFind});
  EXPECT_FALSE(s.platform.DataFileExists("FenroRemdo.exe"));
}

TEST(StartUp, SilentInstallerCopiesItselfAndShowsNothing) {
  TStart s;
  test::local::TPlatform::Put(s.ProgramPath(), "the program");
  const TStartResult result = s.Run("remdinst1.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kFinished);
  EXPECT_TRUE(result.installedMark);
  EXPECT_EQ(test::ReadWholeFile(s.platform.dataFolder + "FenroRemdo.exe"), test::Bytes("the program"));
  EXPECT_TRUE(s.dialogs.Boxes().empty());
}

TEST(StartUp, UpdaterReplacesTheInstalledCopyAndSaysSo) {
  TStart s;
  test::local::TPlatform::Put(s.ProgramPath(), "new program");
  s.platform.DataFile("FenroRemdo.exe", "old program");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  const TStartResult result = s.Run("FenroUpdate.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kOpenWindow);
  EXPECT_TRUE(result.installedMark);
  const std::string target = s.platform.dataFolder + "FenroRemdo.exe";
  EXPECT_EQ(s.platform.shell.calls,
            (std::vector<std::string>{kFind, "recycle " + target, "copy " + s.ProgramPath() + " -> " + target}));
  EXPECT_EQ(test::ReadWholeFile(target), test::Bytes("new program"));
}

TEST(StartUp, FailedCopyEndsTheProgram) {
  TStart s;
  s.platform.shell.copyResult = false;
  s.dialogs.ExpectBox(env::TBoxKind::kError, "Unable to copy FenroRemdo.exe file.", "! Error !");
  const TStartResult result = s.Run("upgrade.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kCopyFailed);
  EXPECT_FALSE(result.installedMark);
}

TEST(StartUp, InstallerWithoutDataFolderEndsTheProgram) {
  TStart s(false);  // nothing to locate: the scratch tree holds no data set
  s.dialogs.ExpectBox(env::TBoxKind::kError, "Could not locate FENRO directory.", "! Error !");
  EXPECT_EQ(s.Run("RemdoInstall.exe").outcome, TStartOutcome::kNoDataFolder);
  EXPECT_EQ(s.platform.shell.calls, std::vector<std::string>{kFind});
}

TEST(StartUp, MainFixesTheDataFolderAndWarnsOfASecondSet) {
  TStart s(false);
  auto& p = s.platform;
  // A data set the search would find: the program folder holds one.
  p.Put(p.programFolder + "BookInx.db");
  p.Put(p.programFolder + "LocNames.db");
  const std::string programFiles = p.scratch / "Program Files" + env::SeparatorOf(p.scratch.Path());
  p.registry.SetString(env::TRegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       "ProgramFilesDir", programFiles);
  p.Put(programFiles + "FENRO/FENRO/Books.db");
  p.shell.copyResult = true;
  s.dialogs.ExpectBox(env::TBoxKind::kWarning,
                      "A second version of FENRO files also at ProgramFiles folder.  \r\r"
                      "This could cause problems if the wrong ones are opened.\r",
                      "! Warning !");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  const TStartResult result = s.Run("RemdoUpdateMain.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kOpenWindow);
  EXPECT_EQ(env::GetDataFolder(), "C:\\FENRO\\");
  EXPECT_EQ(p.shell.calls.back(), "copy " + s.ProgramPath() + " -> C:\\FENRO\\FenroRemdo.exe");
}

TEST(StartUp, MainOnAnEarlierWindowsDoesNotWarn) {
  TStart s(false);
  auto& p = s.platform;
  p.facts.version = {5, 1, 2600};
  const std::string programFiles = p.scratch / "Program Files" + env::SeparatorOf(p.scratch.Path());
  p.registry.SetString(env::TRegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       "ProgramFilesDir", programFiles);
  p.Put(programFiles + "FENRO/FENRO/Books.db");
  p.shell.copyResult = true;
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  EXPECT_EQ(s.Run("instmain.exe").outcome, TStartOutcome::kOpenWindow);
}

TEST(StartUp, FullKeepsTheSavedFilesInSave4Once) {
  TStart s;
  auto& p = s.platform;
  for (const char* name : {"Save/Books.db", "Save/Books.mb", "Save/Fldr0001.db", "Save/Fldr0002.db",
                           "Save/FENRO notes.txt", "Save/Books.px"}) {
    p.DataFile(name, name);
  }
  p.shell.copyResult = true;  // the program file; Save4 is copied below
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  ASSERT_EQ(s.Run("RemdoUpdateFull.exe").outcome, TStartOutcome::kOpenWindow);
  const std::string save = p.dataFolder + "Save" + env::SeparatorOf(p.dataFolder);
  ASSERT_GE(p.shell.calls.size(), 2u);
  EXPECT_EQ(p.shell.calls[1], "copy " + save + "Books.db " + save + "Books.mb " + save + "Fldr*.db " + save +
                                  "FENRO notes.txt -> " + p.dataFolder + "Save4\\");
  EXPECT_TRUE(env::DefaultFileSystem().FolderExists(p.dataFolder + "Save4"));

  // An existing Save4 is not touched.
  TStart again;
  again.platform.DataFile("Save/Books.db");
  again.platform.DataFile("Save4/keep.txt");
  again.platform.shell.copyResult = true;
  again.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  again.Run("FullUpdate.exe");
  EXPECT_EQ(again.platform.shell.calls.size(), 2u);  // find, and the program file
}

TEST(StartUp, FullWithoutSavedBooksMakesNoSave4) {
  TStart s;
  s.platform.shell.copyResult = true;
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
  s.Run("RemdoUpdateFull.exe");
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists(s.platform.dataFolder + "Save4"));
}

TEST(StartUp, TableFileListHasTheTwentySixEntries) {
  ASSERT_EQ(kTableFileList.size(), 26u);
  EXPECT_EQ(kTableFileList.front(), "Auth0001.db");
  EXPECT_EQ(kTableFileList[16], "Fldr*.db");
  EXPECT_EQ(kTableFileList.back(), "FENRO notes.txt");
}

}  // namespace
}  // namespace remdo::app
