#include <gtest/gtest.h>

#include <algorithm>

#include "env/FileCopy.h"
#include "env/Host.h"
#include "env/SystemInfo.h"
#include "env/TestPlatform.h"
#include "installation/DataFolder.h"

namespace remdo::installation {
namespace {

using test::TScratchDriveC;
using test::TTestPlatform;

constexpr std::string_view kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A machine whose drive C: is a scratch folder: Program Files, the shell
// folders, the Windows and temporary folders and the program all on C:.
class DataFolderTest : public ::testing::Test {
 protected:
  test::TTestPlatform platform;
  test::TScratchDriveC c;

  void SetUp() override {
    auto& r = platform.registry;
    r.SetString(env::TRegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                "C:\\Program Files (x86)");
    r.SetString(env::TRegistryRoot::kCurrentUser, kShellFolders, "Personal", "C:\\Users\\Ann\\Documents");
    r.SetString(env::TRegistryRoot::kCurrentUser, kShellFolders, "Desktop", "C:\\Users\\Ann\\Desktop");
    r.SetString(env::TRegistryRoot::kLocalMachine, kShellFolders, "Common Documents", "C:\\Users\\Public\\Documents");
    r.SetString(env::TRegistryRoot::kLocalMachine, kShellFolders, "Common AppData", "C:\\ProgramData");
    platform.facts.folders[env::TSpecialFolder::kWindows] = "C:\\Windows\\";
    platform.facts.folders[env::TSpecialFolder::kTemp] = "C:\\Temp\\";
    platform.facts.programPath = "C:\\Tools\\FenroRemdo.exe";
    for (const char* folder :
         {"C:\\Program Files (x86)", "C:\\Users\\Ann\\Documents", "C:\\Users\\Ann\\Desktop",
          "C:\\Users\\Public\\Documents", "C:\\ProgramData", "C:\\Windows", "C:\\Temp", "C:\\Tools"}) {
      c.Folder(folder);
    }
  }

  // A data folder: the marker file, and with complete also LOCNAMES.DB.
  void DataSet(const std::string& folder, bool complete = true) {
    c.File(folder + "BookInx.db");
    if (complete) c.File(folder + "LocNames.DB");
  }

  void Settings(std::string_view file, std::string_view body) { c.File(file, "[FENRO]\r\n" + std::string(body)); }
  // Windows XP on 32 bits: its Program Files folder has no "(x86)".
  void EarlierWindows() {
    platform.facts.version = {5, 1, 2600};
    platform.registry.SetString(env::TRegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                                "ProgramFilesDir", "C:\\Program Files");
  }
};

// The 17 search candidates of this machine, as folders (a pattern's folder
// is the one a match named FENRO7 would give).
const std::vector<std::string>& CandidateFolders() {
  static const std::vector<std::string> folders = {
      "C:\\FENRO\\",
      "C:\\Users\\Ann\\Documents\\FENRO\\",
      "C:\\FENRO7\\",
      "C:\\Users\\Ann\\Documents\\FENRO7\\",
      "C:\\Users\\Ann\\Documents\\FENRO\\FENRO7\\",
      "C:\\Users\\Ormsel\\Documents\\Ormsel's Stuff\\FENRO\\",
      "C:\\Book Info\\Fenro Ref\\",
      "C:\\Documents and Settings\\Administrator\\Desktop\\FENRO\\",
      "C:\\Documents and Settings\\Administrator\\Desktop\\FENRO\\FENRO\\",
      "C:\\Users\\Ann\\Desktop\\FENRO7\\",
      "C:\\Users\\Ann\\Desktop\\FENRO\\FENRO7\\",
      "C:\\Users\\Public\\Documents\\FENRO7\\",
      "C:\\ProgramData\\FENRO7\\",
      "C:\\FENRO\\FENRO7\\",
      "C:\\FENRO\\FENRO\\Program Files\\FENRO\\FENRO\\",
      "C:\\Program Files (x86)\\FENRO\\FENRO7\\",
      "C:\\Program Files (x86)\\FENRO7\\",
  };
  return folders;
}

class EachCandidate : public DataFolderTest, public ::testing::WithParamInterface<int> {};

TEST_P(EachCandidate, IsFoundWhenItAloneHoldsTheData) {
  const std::string& folder = CandidateFolders()[static_cast<std::size_t>(GetParam())];
  DataSet(folder);
  EXPECT_TRUE(env::SameText(GetDataFolder(), folder)) << GetDataFolder();
  EXPECT_EQ(ProgramFilesCopyFound(), GetParam() >= 15);
}

INSTANTIATE_TEST_SUITE_P(DataFolder, EachCandidate, ::testing::Range(0, 17));

TEST_F(DataFolderTest, SearchesTheCandidatesInTheirOrder) {
  // Folders that exist but do not qualify, so that every pattern has a
  // first match to examine.
  for (const char* folder :
       {"C:\\FENRO\\FENRO\\", "C:\\Users\\Ann\\Documents\\FENRO\\FENRO\\", "C:\\Users\\Ann\\Desktop\\FENRO\\FENRO\\"}) {
    c.Folder(folder);
  }
  c.fileSystem.probes.clear();
  EXPECT_EQ(GetDataFolder(), "");
  std::vector<std::string> probes;
  for (const auto& p : c.fileSystem.probes) {
    if (p.find("BookInx") != std::string::npos || p.rfind("find ", 0) == 0) probes.push_back(p);
  }
  const std::vector<std::string> expected = {
      "find C:\\Program Files (x86)\\FENRO\\FENRO*",
      "find C:\\Program Files (x86)\\FENRO*",
      "C:\\Tools\\BookInx.db",
      "C:\\FENRO\\BookInx.db",
      "C:\\Users\\Ann\\Documents\\FENRO\\BookInx.db",
      "find C:\\FENRO*",
      "C:\\FENRO\\BookInx.db",
      "find C:\\Users\\Ann\\Documents\\FENRO*",
      "C:\\Users\\Ann\\Documents\\FENRO\\BookInx.db",
      "find C:\\Users\\Ann\\Documents\\FENRO\\FENRO*",
      "C:\\Users\\Ann\\Documents\\FENRO\\FENRO\\BookInx.db",
      "C:\\Users\\Ormsel\\Documents\\Ormsel's Stuff\\FENRO\\BookInx.db",
      "C:\\Book Info\\Fenro Ref\\BookInx.db",
      "C:\\Documents and Settings\\Administrator\\Desktop\\FENRO\\BookInx.db",
      "C:\\Documents and Settings\\Administrator\\Desktop\\FENRO\\FENRO\\BookInx.db",
      "find C:\\Users\\Ann\\Desktop\\FENRO*",
      "C:\\Users\\Ann\\Desktop\\FENRO\\BookInx.db",
      "find C:\\Users\\Ann\\Desktop\\FENRO\\FENRO*",
      "C:\\Users\\Ann\\Desktop\\FENRO\\FENRO\\BookInx.db",
      "find C:\\Users\\Public\\Documents\\FENRO*",
      "find C:\\ProgramData\\FENRO*",
      "find C:\\FENRO\\FENRO*",
      "C:\\FENRO\\FENRO\\BookInx.db",
      "C:\\FENRO\\FENRO\\Program Files\\FENRO\\FENRO\\BookInx.db",
      "find C:\\Program Files (x86)\\FENRO\\FENRO*",
      "find C:\\Program Files (x86)\\FENRO*",
  };
  EXPECT_EQ(probes, expected);
}

TEST_F(DataFolderTest, OnlyTheFirstMatchOfAPatternIsExamined) {
  c.File("C:\\FENRO notes.txt", "a plain file listed first");
  DataSet("C:\\FENRO5\\");
  auto filesFirst = [](std::vector<env::TFindEntry>& entries) {
    std::stable_partition(entries.begin(), entries.end(),
                          [](const env::TFindEntry& e) { return (e.attributes & env::attr::kDirectory) == 0; });
  };
  c.fileSystem.orderFind = filesFirst;
  EXPECT_EQ(GetDataFolder(), "");

  test::TTestPlatform::Forget();
  c.fileSystem.orderFind = nullptr;
  c.fileSystem.orderFind = [&](std::vector<env::TFindEntry>& entries) {
    filesFirst(entries);
    std::reverse(entries.begin(), entries.end());  // now the folder comes first
  };
  EXPECT_TRUE(env::SameText(GetDataFolder(), "C:\\FENRO5\\"));
}

TEST_F(DataFolderTest, ProgramFolderWithDataWinsOverTheSetting) {
  DataSet("C:\\Data\\");
  Settings("C:\\Temp\\FENRO.ini", "DataDir=C:\\Data\r\n");
  DataSet("C:\\Tools\\");
  EXPECT_EQ(GetDataFolder(), "C:\\Tools\\");
}

TEST_F(DataFolderTest, SettingIsUsedWhenComplete) {
  DataSet("C:\\Data\\");
  DataSet("C:\\FENRO\\");  // candidate 1 would qualify, but is never searched
  Settings("C:\\Temp\\FENRO.ini", "DataDir=C:\\Data\r\nProgDir=C:\\Program Files (x86)\\FENRO\\\r\n");
  EXPECT_EQ(GetDataFolder(), "C:\\Data\\");
  EXPECT_EQ(GetCatalogueProgramPath(), "C:\\Program Files (x86)\\FENRO\\FENRO.exe");
}

TEST_F(DataFolderTest, QuestionMarkSettingMeansNone) {
  Settings("C:\\Tools\\FENRO1.ini", "DataDir=?\r\n");
  DataSet("C:\\Users\\Ann\\Documents\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\Users\\Ann\\Documents\\FENRO\\");
}

TEST_F(DataFolderTest, IncompleteSettingIsTheLastResort) {
  DataSet("C:\\Data\\", false);
  Settings("C:\\Temp\\FENRO.ini", "DataDir=C:\\Data\r\n");
  EXPECT_EQ(GetDataFolder(), "C:\\Data\\");

  test::TTestPlatform::Forget();
  DataSet("C:\\Book Info\\Fenro Ref\\");
  EXPECT_EQ(GetDataFolder(), "C:\\Book Info\\Fenro Ref\\");
}

TEST_F(DataFolderTest, SettingsFileIsChosenByPlace) {
  EXPECT_EQ(SelectCatalogueIni(false), "C:\\Windows\\FENRO.ini");
  EXPECT_EQ(SelectCatalogueIni(true), "C:\\Temp\\FENRO.ini");
  c.File("C:\\Temp\\FENRO.ini");
  EXPECT_EQ(SelectCatalogueIni(false), "C:\\Temp\\FENRO.ini");
  c.File("C:\\Tools\\FENRO1.ini");
  EXPECT_EQ(SelectCatalogueIni(false), "C:\\Tools\\FENRO1.ini");
  EXPECT_EQ(SelectCatalogueIni(true), "C:\\Tools\\FENRO1.ini");

  // The Windows folder's file is read when it is the only one.
  test::TTestPlatform::Forget();
  DataSet("C:\\Data\\");
  Settings("C:\\Windows\\FENRO.ini", "DataDir=C:\\Data\r\n");
  ASSERT_TRUE(env::DefaultFileSystem().Remove("C:\\Temp\\FENRO.ini"));
  ASSERT_TRUE(env::DefaultFileSystem().Remove("C:\\Tools\\FENRO1.ini"));
  EXPECT_EQ(GetDataFolder(), "C:\\Data\\");
}

TEST_F(DataFolderTest, LaterWindowsRefusesProgramFilesForTheSetting) {
  DataSet("C:\\Program Files (x86)\\FENRO\\");
  Settings("C:\\Temp\\FENRO.ini", "DataDir=C:\\Program Files (x86)\\FENRO\r\n");
  DataSet("C:\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\");
  EXPECT_TRUE(ProgramFilesCopyFound());
}

TEST_F(DataFolderTest, LaterWindowsFindsDataOnlyUnderProgramFilesLast) {
  // Even the updater's start moves nothing by asking: the move is a
  // start-up step of its own.
  platform.facts.programPath = "C:\\Remdo\\RemdoUpdate.exe";
  DataSet("C:\\Program Files (x86)\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\Program Files (x86)\\FENRO\\");
  EXPECT_TRUE(ProgramFilesCopyFound());
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists("C:\\FENRO"));
}

TEST_F(DataFolderTest, LaterWindowsIgnoresAProgramFolderUnderProgramFiles) {
  platform.facts.programPath = "C:\\Program Files (x86)\\FENRO\\FenroRemdo.exe";
  DataSet("C:\\Program Files (x86)\\FENRO\\");
  DataSet("C:\\Users\\Ann\\Documents\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\Users\\Ann\\Documents\\FENRO\\");
}

TEST_F(DataFolderTest, EarlierWindowsTakesTheProgramFolderWithoutSearching) {
  EarlierWindows();
  DataSet("C:\\Tools\\", false);
  DataSet("C:\\FENRO\\");
  EXPECT_FALSE(env::IsLaterWindows());
  EXPECT_EQ(GetDataFolder(), "C:\\Tools\\");

  // Under Program Files the program folder must be complete.
  test::TTestPlatform::Forget();
  platform.facts.programPath = "C:\\Program Files\\FENRO\\FenroRemdo.exe";
  DataSet("C:\\Program Files\\FENRO\\", false);
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\");
  test::TTestPlatform::Forget();
  DataSet("C:\\Program Files\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\Program Files\\FENRO\\");
}

TEST_F(DataFolderTest, SecondQueryDoesNotTouchTheDisk) {
  DataSet("C:\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\");
  const std::size_t probes = c.fileSystem.probes.size();
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\");
  EXPECT_EQ(GetCatalogueProgramPath(), "C:\\FENRO\\FENRO.exe");
  EXPECT_EQ(c.fileSystem.probes.size(), probes);
}

TEST_F(DataFolderTest, FailedRelocationEmptiesEveryQuery) {
  DataSet("C:\\FENRO\\");
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\");
  SetRelocationFailed();
  EXPECT_EQ(GetDataFolder(), "");
  EXPECT_EQ(GetDataFolder(), "");
}

TEST_F(DataFolderTest, FixedFolderSkipsTheSearch) {
  DataSet("C:\\Users\\Ann\\Documents\\FENRO\\");
  Settings("C:\\Temp\\FENRO.ini", "ProgDir=C:\\Program Files (x86)\\FENRO\\FENRO.exe\r\n");
  SetDataFolder("C:\\FENRO");
  c.fileSystem.probes.clear();
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\");
  for (const auto& p : c.fileSystem.probes) EXPECT_EQ(p.find("BookInx"), std::string::npos) << p;
  EXPECT_EQ(GetCatalogueProgramPath(), "C:\\Program Files (x86)\\FENRO\\FENRO.exe");
}

TEST_F(DataFolderTest, CatalogueProgramPathFollowsProgDir) {
  c.Folder("C:\\Prog");
  struct TCase {
    const char* progDir;
    bool data;
    const char* expected;
  };
  for (const TCase& t :
       {TCase{"C:\\Prog\\", true, "C:\\Prog\\FENRO.exe"}, TCase{"C:\\Prog\\Fenro5.exe", true, "C:\\Prog\\Fenro5.exe"},
        TCase{"C:\\Prog", true, "C:\\Prog\\FENRO.exe"},  // an existing folder
        TCase{"", true, "C:\\FENRO\\FENRO.exe"}, TCase{"?", true, "C:\\FENRO\\FENRO.exe"},
        TCase{"", false, "FENRO.exe"}}) {
    test::TTestPlatform::Forget();
    (void)env::DefaultFileSystem().Remove("C:\\FENRO\\BookInx.db");
    if (t.data) DataSet("C:\\FENRO\\");
    Settings("C:\\Temp\\FENRO.ini", std::string("ProgDir=") + t.progDir + "\r\n");
    EXPECT_EQ(GetCatalogueProgramPath(), t.expected) << t.progDir;
  }
}

TEST_F(DataFolderTest, PreferredFolderIsOnTheProgramFilesDrive) {
  EXPECT_EQ(PreferredDataFolder(), "C:\\FENRO\\");
  platform.registry.SetString(env::TRegistryRoot::kLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                              "ProgramFilesDir", "D:\\Programs");
  test::TTestPlatform::Forget();
  EXPECT_EQ(PreferredDataFolder(), "D:\\FENRO\\");
}

// On Linux the shell folders are host paths ("/home/ann/Documents/"); the
// candidates under them keep their separator.
TEST_F(DataFolderTest, HostShellFoldersKeepTheirSeparator) {
  if (env::CurrentHost() != env::THost::kPosix) GTEST_SKIP() << "Linux only";
  platform.registry.Clear();
  const std::string documents = c.HostRoot() + "Documents/";
  platform.facts.folders[env::TSpecialFolder::kPersonal] = documents;
  ASSERT_TRUE(env::MakeFolders(env::RealFileSystem(), documents + "FENRO/Fenro 2"));
  test::WriteWholeFile(documents + "FENRO/Fenro 2/BookInx.db", "");
  EXPECT_EQ(GetDataFolder(), documents + "FENRO/Fenro 2/");
}

TEST_F(DataFolderTest, UnknownShellFoldersAreSkipped) {
  platform.registry.Clear();
  DataSet("C:\\FENRO\\FENRO2\\");
  // Only drive candidates remain; a relative "FENRO*" is never tried.
  EXPECT_EQ(GetDataFolder(), "C:\\FENRO\\FENRO2\\");
  for (const auto& p : c.fileSystem.probes) EXPECT_NE(p.rfind("find FENRO", 0), 0u) << p;
}

}  // namespace
}  // namespace remdo::installation
