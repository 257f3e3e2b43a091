#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppTestPlatform.h"
#include "app/StartUp.h"
#include "env/FileSystem.h"
#include "installation/DataFolder.h"
#include "support/ScriptedDialogs.h"

namespace remdo::app {
namespace {

using test::kProgramFolder;
using test::TAppPlatform;
using test::TInstalledDialogs;
using test::TScriptedDialogs;

constexpr const char* kFind = "find TMainForm/FENRO/FENRO.exe";
constexpr const char* kInstalled = "New FenroRemdo program file installed.";

struct TStart {
  explicit TStart(bool fixDataFolder = true) : platform(fixDataFolder), installed(dialogs) {}

  TStartResult Run(const std::string& program, std::vector<std::string> params = {}) {
    return StartUp(TCommandLine(kProgramFolder + program, std::move(params)));
  }
  std::vector<std::string>& Calls() { return platform.platform.shell.calls; }

  TAppPlatform platform;
  TScriptedDialogs dialogs;
  TInstalledDialogs installed;
};

TEST(StartUp, RefusesBesideTheCatalogueUnlessPlusComesFirst) {
  TStart s;
  s.platform.platform.shell.window = env::TTopWindow{42};
  s.dialogs.ExpectBox(env::TBoxKind::kError, "You must close FENRO before running this program.", "! Error !");
  EXPECT_EQ(s.Run("FenroRemdo.exe", {"STRICT", "+"}).outcome, TStartOutcome::kRefused);
  EXPECT_EQ(s.Calls(), (std::vector<std::string>{kFind, "foreground"}));
  EXPECT_EQ(s.Run("FenroRemdo.exe", {"+", "STRICT"}).outcome, TStartOutcome::kOpenWindow);
}

TEST(StartUp, OrdinaryNameGoesStraightToTheWindow) {
  TStart s;
  const TStartResult result = s.Run("FenroRemdo.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kOpenWindow);
  EXPECT_FALSE(result.installedMark);
  EXPECT_EQ(s.Calls(), std::vector<std::string>{kFind});
  EXPECT_FALSE(s.platform.DataFileExists("FenroRemdo.exe"));
}

TEST(StartUp, VerifyIsRefusedWithInstallerUpdaterInstOrUndo) {
  const std::string installing =
      "VERIFY cannot be given to an installation or update run.\r\rStart Remdo by itself with VERIFY.";
  const std::string undoing =
      "VERIFY and UNDO cannot be given together.\r\rVERIFY changes nothing; UNDO puts files back.";
  const struct {
    const char* program;
    std::vector<std::string> params;
    std::string box;  // empty: not refused
  } cases[] = {
      {"FenroRemdo.exe", {"VERIFY"}, ""},
      {"FenroRemdoInst.exe", {"VERIFY"}, installing},
      {"update.exe", {"verify"}, installing},
      {"FenroRemdo.exe", {"VERIFY", "INST"}, installing},
      {"FenroRemdo.exe", {"VERIFY", "UNDO"}, undoing},
  };
  for (const auto& c : cases) {
    TStart s;
    s.platform.File("C:\\Remdo\\" + std::string(c.program), "the program");
    if (!c.box.empty()) s.dialogs.ExpectBox(env::TBoxKind::kError, c.box, "! Error !");
    const TStartResult result = s.Run(c.program, c.params);
    EXPECT_EQ(result.outcome == TStartOutcome::kRefused, !c.box.empty()) << c.program << " " << c.params.back();
    // Refused before an installer start installs anything.
    EXPECT_FALSE(s.platform.DataFileExists("FenroRemdo.exe")) << c.program;
  }
}

TEST(StartUp, SilentInstallerCopiesItselfAndShowsNothing) {
  TStart s;
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "the program");
  const TStartResult result = s.Run("remdinst1.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kFinished);
  EXPECT_TRUE(result.installedMark);
  EXPECT_EQ(s.platform.Read("C:\\FENRO\\FenroRemdo.exe"), "the program");
  EXPECT_TRUE(s.dialogs.Boxes().empty());
}

TEST(StartUp, UpdaterReplacesTheInstalledCopyAndSaysSo) {
  TStart s;
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "new program");
  s.platform.DataFile("FenroRemdo.exe", "old program");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, kInstalled, "Installer");
  const TStartResult result = s.Run("FenroUpdate.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kOpenWindow);
  EXPECT_TRUE(result.installedMark);
  EXPECT_EQ(s.Calls(), (std::vector<std::string>{kFind, "recycle C:\\FENRO\\FenroRemdo.exe",
                                                 "copy C:\\Remdo\\FenroRemdo.exe -> C:\\FENRO\\FenroRemdo.exe"}));
  EXPECT_EQ(s.platform.Read("C:\\FENRO\\FenroRemdo.exe"), "new program");
}

TEST(StartUp, FailedCopyEndsTheProgram) {
  TStart s;  // the program file is not where the system says it is
  s.dialogs.ExpectBox(env::TBoxKind::kError, "Unable to copy FenroRemdo.exe file.", "! Error !");
  const TStartResult result = s.Run("upgrade.exe");
  EXPECT_EQ(result.outcome, TStartOutcome::kCopyFailed);
  EXPECT_FALSE(result.installedMark);
}

TEST(StartUp, InstallerWithoutDataFolderEndsTheProgram) {
  TStart s(false);  // nothing to locate
  s.dialogs.ExpectBox(env::TBoxKind::kError, "Could not locate FENRO directory.", "! Error !");
  EXPECT_EQ(s.Run("RemdoInstall.exe").outcome, TStartOutcome::kNoDataFolder);
  EXPECT_EQ(s.Calls(), std::vector<std::string>{kFind});
}

TEST(StartUp, MainFixesTheDataFolderAndWarnsOfASecondSet) {
  TStart s(false);
  // The search would find the data set in the program folder.
  s.platform.SetProgramFiles("C:\\Program Files\\");
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "program");
  s.platform.File("C:\\Remdo\\BookInx.db");
  s.platform.File("C:\\Remdo\\LocNames.db");
  s.platform.File("C:\\Program Files\\FENRO\\FENRO\\Books.db");
  s.dialogs.ExpectBox(env::TBoxKind::kWarning,
                      "A second version of FENRO files also at ProgramFiles folder.  \r\r"
                      "This could cause problems if the wrong ones are opened.\r",
                      "! Warning !");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, kInstalled, "Installer");
  EXPECT_EQ(s.Run("RemdoUpdateMain.exe").outcome, TStartOutcome::kOpenWindow);
  EXPECT_EQ(installation::GetDataFolder(), "C:\\FENRO\\");
  EXPECT_EQ(s.platform.Read("C:\\FENRO\\FenroRemdo.exe"), "program");
}

TEST(StartUp, MainOnAnEarlierWindowsDoesNotWarn) {
  TStart s(false);
  s.platform.platform.facts.version = {5, 1, 2600};
  s.platform.SetProgramFiles("C:\\Program Files\\");
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "program");
  s.platform.File("C:\\Program Files\\FENRO\\FENRO\\Books.db");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, kInstalled, "Installer");
  EXPECT_EQ(s.Run("instmain.exe").outcome, TStartOutcome::kOpenWindow);
}

TEST(StartUp, FullKeepsTheSavedFilesInSave4Once) {
  TStart s;
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "program");
  for (const char* name : {"Books.db", "Books.mb", "Fldr0001.db", "Fldr0002.db", "FENRO notes.txt", "Books.px"}) {
    s.platform.DataFile(std::string("Save\\") + name, name);
  }
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, kInstalled, "Installer");
  ASSERT_EQ(s.Run("RemdoUpdateFull.exe").outcome, TStartOutcome::kOpenWindow);
  ASSERT_GE(s.Calls().size(), 2u);
  EXPECT_EQ(s.Calls()[1],
            "copy C:\\FENRO\\Save\\Books.db C:\\FENRO\\Save\\Books.mb C:\\FENRO\\Save\\Fldr*.db "
            "C:\\FENRO\\Save\\FENRO notes.txt -> C:\\FENRO\\Save4\\");
  for (const char* name : {"Books.db", "Books.mb", "Fldr0001.db", "Fldr0002.db", "FENRO notes.txt"}) {
    EXPECT_EQ(s.platform.Read(std::string("C:\\FENRO\\Save4\\") + name), name);
  }
  EXPECT_FALSE(s.platform.DataFileExists("Save4\\Books.px"));
}

TEST(StartUp, FullLeavesAnExistingSave4Alone) {
  TStart s;
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "program");
  s.platform.DataFile("Save\\Books.db");
  s.platform.DataFile("Save4\\keep.txt");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, kInstalled, "Installer");
  s.Run("FullUpdate.exe");
  EXPECT_EQ(s.Calls().size(), 2u);  // find, and the program file's copy
  EXPECT_FALSE(s.platform.DataFileExists("Save4\\Books.db"));
}

TEST(StartUp, FullWithoutSavedBooksMakesNoSave4) {
  TStart s;
  s.platform.File("C:\\Remdo\\FenroRemdo.exe", "program");
  s.dialogs.ExpectBox(env::TBoxKind::kInfo, kInstalled, "Installer");
  s.Run("RemdoUpdateFull.exe");
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists("C:\\FENRO\\Save4"));
}

}  // namespace
}  // namespace remdo::app
