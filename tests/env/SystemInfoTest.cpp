#include <gtest/gtest.h>

#include "env/SystemInfo.h"
#include "env/TestPlatform.h"

namespace remdo::env {
namespace {

using test::TTestPlatform;

constexpr std::string_view kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kNtCurrentVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void ProgramFiles(TTestPlatform& platform, std::string_view folder) {
  platform.registry.SetString(TRegistryRoot::kLocalMachine, kCurrentVersion, "ProgramFilesDir", folder);
}

TEST(SystemInfo, LaterWindowsByMajorVersionAndX86Folder) {
  struct TCase {
    std::uint32_t major;
    const char* programFiles;
    bool later;
  };
  for (const TCase& t : {TCase{5, "C:\\Program Files", false}, TCase{5, "C:\\Program Files (x86)", true},
                         TCase{6, "C:\\Program Files", true}, TCase{10, "", true}, TCase{4, "", false},
                         TCase{0, "", false}}) {  // 0: not Windows at all
    TTestPlatform platform;
    platform.facts.version = {t.major, 0, 0};
    if (*t.programFiles != '\0') ProgramFiles(platform, t.programFiles);
    EXPECT_EQ(IsLaterWindows(), t.later) << t.major << " " << t.programFiles;
  }
}

TEST(SystemInfo, UnderProgramFilesComparesWithoutCaseAndSeesBothFolders) {
  TTestPlatform platform;
  ProgramFiles(platform, "C:\\Program Files (x86)");
  EXPECT_EQ(GetProgramFilesRoot(), "C:\\Program Files\\");
  struct TCase {
    const char* path;
    bool under;
  };
  for (const TCase& t : {TCase{"C:\\Program Files (x86)\\FENRO\\", true}, TCase{"C:\\Program Files\\FENRO\\", true},
                         TCase{"c:\\program files (x86)\\fenro", true}, TCase{"C:\\Program Files (x86)", true},
                         TCase{"C:\\Program Files", true}, TCase{"C:\\Program Filesx\\", false},
                         TCase{"C:\\FENRO\\", false}, TCase{"D:\\Program Files\\FENRO\\", false}, TCase{"", false}}) {
    EXPECT_EQ(IsUnderProgramFiles(t.path), t.under) << t.path;
  }
}

TEST(SystemInfo, NothingIsUnderAnUnknownProgramFilesFolder) {
  TTestPlatform platform;
  EXPECT_EQ(GetProgramFilesFolder(), "");
  EXPECT_EQ(GetProgramFilesRoot(), "");
  EXPECT_FALSE(IsUnderProgramFiles("C:\\FENRO\\"));
  EXPECT_FALSE(IsUnderProgramFiles("/home/ann/FENRO/"));
  EXPECT_EQ(GetProgramFilesDrive(), 'C');
}

TEST(SystemInfo, FoldersComeFromTheRegistryElseFromTheSystem) {
  TTestPlatform platform;
  platform.registry.SetString(TRegistryRoot::kCurrentUser, kShellFolders, "Personal", "C:\\Users\\Ann\\Documents");
  platform.facts.folders[TSpecialFolder::kPersonal] = "C:\\Elsewhere\\";
  platform.facts.folders[TSpecialFolder::kDesktop] = "/home/ann/Desktop/";
  platform.facts.folders[TSpecialFolder::kProgramFiles] = "C:\\Program Files (x86)\\";
  EXPECT_EQ(GetPersonalFolder(), "C:\\Users\\Ann\\Documents\\");
  EXPECT_EQ(GetDesktopFolder(), "/home/ann/Desktop/");
  EXPECT_EQ(GetProgramFilesFolder(), "C:\\Program Files (x86)\\");
  EXPECT_EQ(GetCommonDocumentsFolder(), "");
  EXPECT_EQ(GetLocalAppDataFolder(), "");

  // Answers are kept: a later change is not seen.
  platform.registry.SetString(TRegistryRoot::kCurrentUser, kShellFolders, "Personal", "C:\\Other");
  platform.registry.SetString(TRegistryRoot::kLocalMachine,
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              "Common Documents", "C:\\Users\\Public\\Documents");
  EXPECT_EQ(GetPersonalFolder(), "C:\\Users\\Ann\\Documents\\");
  EXPECT_EQ(GetCommonDocumentsFolder(), "");
  TTestPlatform::Forget();
  EXPECT_EQ(GetPersonalFolder(), "C:\\Other\\");
  EXPECT_EQ(GetCommonDocumentsFolder(), "C:\\Users\\Public\\Documents\\");
}

TEST(SystemInfo, ProductNameFromEitherKeyThenTheSystem) {
  {
    TTestPlatform platform;
    platform.facts.productName = "Debian GNU/Linux 12 (bookworm)";
    EXPECT_EQ(GetWindowsProductName(), "Debian GNU/Linux 12 (bookworm)");
  }
  {
    TTestPlatform platform;
    platform.registry.SetString(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "ProductName", "Windows 7 Home");
    EXPECT_EQ(GetWindowsProductName(), "Windows 7 Home");
  }
  {
    TTestPlatform platform;
    platform.registry.SetString(TRegistryRoot::kLocalMachine, kNtCurrentVersion, "ProductName", "Windows 7 Home");
    platform.registry.SetString(TRegistryRoot::kLocalMachine, kCurrentVersion, "ProductName", "Microsoft Windows XP");
    EXPECT_EQ(GetWindowsProductName(), "Microsoft Windows XP");
  }
}

TEST(SystemInfo, WindowsFolderOfMaximumLengthIsDropped) {
  TTestPlatform platform;
  platform.facts.folders[TSpecialFolder::kWindows] = "C:\\" + std::string(242, 'w');  // 245 characters
  EXPECT_EQ(GetWindowsFolder().size(), 246u);
  TTestPlatform::Forget();
  platform.facts.folders[TSpecialFolder::kWindows] = "C:\\" + std::string(243, 'w') + "\\";  // 246 and separator
  EXPECT_EQ(GetWindowsFolder(), "");
}

TEST(SystemInfo, TempAndProgramFoldersCarryASeparator) {
  TTestPlatform platform;
  platform.facts.folders[TSpecialFolder::kTemp] = "C:\\Temp";
  platform.facts.programPath = "C:\\Tools\\FenroRemdo.exe";
  EXPECT_EQ(GetTempFolder(), "C:\\Temp\\");
  EXPECT_EQ(GetProgramFolder(), "C:\\Tools\\");
  EXPECT_EQ(GetProgramDrive(), 'C');
  TTestPlatform::Forget();
  platform.facts.programPath = "/home/ann/bin/remdo";
  EXPECT_EQ(GetProgramFolder(), "/home/ann/bin/");
  EXPECT_EQ(GetProgramDrive(), 'C');
  TTestPlatform::Forget();
  platform.facts.programPath = "e:\\remdo.exe";
  EXPECT_EQ(GetProgramDrive(), 'E');
}

TEST(SystemInfo, MemoryLineInWholeRoundedMegabytes) {
  struct TCase {
    std::optional<std::uint64_t> bytes;
    const char* line;
  };
  for (const TCase& t : {TCase{2048ull << 20, "    Memory:       2048 MB allocated"},
                         TCase{(1023ull << 20) + (1 << 19), "    Memory:       1024 MB allocated"},
                         TCase{(1023ull << 20) + (1 << 19) - 1, "    Memory:       1023 MB allocated"},
                         TCase{std::nullopt, "    Memory:       0 MB allocated"}}) {
    TTestPlatform platform;
    platform.facts.memoryBytes = t.bytes;
    EXPECT_EQ(MemoryLine(), t.line);
  }
}

TEST(SystemInfo, FreeSpaceIsAskedForTheDriveRoot) {
  TTestPlatform platform;
  platform.facts.freeBytes["C:\\"] = 1536ull << 20;
  EXPECT_EQ(DriveFreeBytes("c:\\FENRO\\"), 1536ull << 20);
  EXPECT_EQ(DriveFreeBytes("D:\\FENRO\\"), std::nullopt);
  EXPECT_EQ(DriveFreeBytes("/home/ann/FENRO/"), std::nullopt);
  EXPECT_EQ(DriveFreeBytes(""), std::nullopt);
  EXPECT_EQ(platform.facts.freeAsked, (std::vector<std::string>{"C:\\", "D:\\", "/home/ann/FENRO/"}));
}

// The real system answers sensibly on both targets.
TEST(SystemInfo, RealSystemAnswers) {
  TSystemFacts& facts = RealSystemFacts();
  EXPECT_FALSE(facts.ProgramPath().empty());
  EXPECT_GT(facts.PhysicalMemoryBytes().value_or(0), 16ull << 20);
  EXPECT_TRUE(facts.FreeDiskBytes(facts.SpecialFolder(TSpecialFolder::kTemp)).has_value());
  EXPECT_FALSE(facts.OsProductName().empty());
  EXPECT_TRUE(RealFileSystem().FolderExists(facts.SpecialFolder(TSpecialFolder::kTemp)));
}

}  // namespace
}  // namespace remdo::env
