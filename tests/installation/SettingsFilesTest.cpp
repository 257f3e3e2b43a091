#include <gtest/gtest.h>

#include "env/Errors.h"
#include "env/IniFile.h"
#include "env/TestPlatform.h"
#include "installation/SettingsFiles.h"
#include "support/FaultFileSystem.h"

namespace remdo::installation {
namespace {

using test::TScratchFolder;
using test::TTestPlatform;

class SettingsFilesTest : public ::testing::Test {
 protected:
  TScratchFolder dir;
  test::TTestPlatform platform;
  std::string fileA, fileB;

  void SetUp() override {
    ASSERT_TRUE(env::RealFileSystem().MakeFolder(dir / "program"));
    ASSERT_TRUE(env::RealFileSystem().MakeFolder(dir / "windows"));
    platform.facts.programPath = dir / "program/FenroRemdo.exe";
    platform.facts.folders[env::TSpecialFolder::kWindows] = dir / "windows/";
    fileA = dir / "program/FENRO1.ini";
    fileB = dir / "windows/FENRO.ini";
  }

  std::string Text(const std::string& path) {
    const auto bytes = test::ReadWholeFile(path);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
};

TEST_F(SettingsFilesTest, OnlyBPresentStartsAAsItsCopy) {
  test::WriteWholeFile(fileB, "[FENRO]\r\nDataDir=C:\\FENRO\r\n[DeskTop]\r\nCheckForUpdates=1\r\nBackground=Blue\r\n");
  EXPECT_TRUE(TurnOffOnlineOptions());
  const std::string expected =
      "[FENRO]\r\nDataDir=C:\\FENRO\r\n[DeskTop]\r\nCheckForUpdates=0\r\nBackground=Blue\r\nAutoDownloadImages=0\r\n";
  EXPECT_EQ(Text(fileA), expected);
  EXPECT_EQ(Text(fileB), expected);
}

TEST_F(SettingsFilesTest, NeitherPresentCreatesBoth) {
  EXPECT_TRUE(TurnOffOnlineOptions());
  const std::string expected = "[DeskTop]\r\nCheckForUpdates=0\r\nAutoDownloadImages=0\r\n";
  EXPECT_EQ(Text(fileA), expected);
  EXPECT_EQ(Text(fileB), expected);
}

TEST_F(SettingsFilesTest, OtherKeysAreKeptInBothFiles) {
  test::WriteWholeFile(fileA, "[DeskTop]\r\nAutoDownloadImages=1\r\nBackground=Red\r\n[Window]\r\nTop=5\r\n");
  test::WriteWholeFile(fileB, "[Window]\r\nTop=7\r\n");
  EXPECT_TRUE(TurnOffOnlineOptions());
  EXPECT_EQ(Text(fileA),
            "[DeskTop]\r\nAutoDownloadImages=0\r\nBackground=Red\r\nCheckForUpdates=0\r\n[Window]\r\nTop=5\r\n");
  EXPECT_EQ(Text(fileB), "[Window]\r\nTop=7\r\n\r\n[DeskTop]\r\nCheckForUpdates=0\r\nAutoDownloadImages=0\r\n");
}

TEST_F(SettingsFilesTest, UnknownWindowsFolderLeavesBOut) {
  platform.facts.folders.erase(env::TSpecialFolder::kWindows);
  test::TTestPlatform::Forget();
  EXPECT_TRUE(TurnOffOnlineOptions());
  EXPECT_TRUE(env::RealFileSystem().FileExists(fileA));
  EXPECT_FALSE(env::RealFileSystem().FileExists("FENRO.ini"));
}

TEST_F(SettingsFilesTest, ReadOnlyFileRaises) {
  test::WriteWholeFile(fileB, "[DeskTop]\r\nCheckForUpdates=1\r\n");
  test::WriteWholeFile(fileA, "[DeskTop]\r\nCheckForUpdates=1\r\n");
  ASSERT_TRUE(env::RealFileSystem().SetAttributes(fileB, env::attr::kReadOnly));
  EXPECT_THROW(TurnOffOnlineOptions(), env::EWriteError);
  (void)env::RealFileSystem().SetAttributes(fileB, env::attr::kArchive);
  EXPECT_EQ(Text(fileA), "[DeskTop]\r\nCheckForUpdates=0\r\nAutoDownloadImages=0\r\n");
}

// A file system that accepts the settings file's replacement and drops it,
// as a protected folder that diverts writes elsewhere would.
class TDivertingFileSystem final : public env::TFileSystem {
 public:
  env::TFileSystem& base = env::RealFileSystem();
  std::unique_ptr<env::TFile> Open(std::string_view p, env::TOpenMode m) override { return base.Open(p, m); }
  bool FileExists(std::string_view p) override { return base.FileExists(p); }
  bool FolderExists(std::string_view p) override { return base.FolderExists(p); }
  std::optional<std::uint32_t> Attributes(std::string_view p) override { return base.Attributes(p); }
  env::TIoResult SetAttributes(std::string_view p, std::uint32_t b) override { return base.SetAttributes(p, b); }
  env::TIoResult Rename(std::string_view from, std::string_view, bool) override { return base.Remove(from); }
  env::TIoResult Remove(std::string_view p) override { return base.Remove(p); }
  env::TIoResult MakeFolder(std::string_view p) override { return base.MakeFolder(p); }
  env::TIoResult RemoveFolder(std::string_view p) override { return base.RemoveFolder(p); }
  env::TIoResult SyncFolder(std::string_view p) override { return base.SyncFolder(p); }
  std::vector<env::TFindEntry> Find(std::string_view p, std::uint32_t m) override { return base.Find(p, m); }
  std::optional<std::int64_t> ModifiedTime(std::string_view p) override { return base.ModifiedTime(p); }
  env::TIoResult SetModifiedTime(std::string_view p, std::int64_t t) override { return base.SetModifiedTime(p, t); }
  std::string TempFolder() override { return base.TempFolder(); }
};

TEST_F(SettingsFilesTest, DivertedWriteReportsFalse) {
  test::WriteWholeFile(fileA, "[DeskTop]\r\nCheckForUpdates=1\r\n");
  TDivertingFileSystem diverting;
  test::TInstalledFileSystem installed(diverting);
  EXPECT_FALSE(WriteOnlineOptionsOff(fileA));
  EXPECT_FALSE(TurnOffOnlineOptions());
  EXPECT_EQ(Text(fileA), "[DeskTop]\r\nCheckForUpdates=1\r\n");
}

}  // namespace
}  // namespace remdo::installation
