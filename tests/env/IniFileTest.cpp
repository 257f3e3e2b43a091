#include <gtest/gtest.h>

#include "env/Errors.h"
#include "env/IniFile.h"
#include "support/FaultFileSystem.h"
#include "support/TestSupport.h"

namespace remdo::env {
namespace {

using test::TScratchFolder;

std::string Text(const std::string& path) {
  const auto bytes = test::ReadWholeFile(path);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(IniFile, ReadsAsTheSystemDoes) {
  TScratchFolder dir;
  test::WriteWholeFile(dir / "FENRO.ini",
                       "; settings\r\n[Other]\r\nDataDir=wrong\r\n[ fenro ]\r\n  datadir =  C:\\FENRO  \r\n"
                       "ProgDir=\"C:\\Program Files\\FENRO\\\"\r\nQuote='x\r\nEmpty=\r\n[FENRO]\r\nDataDir=second\r\n");
  const TIniFile ini(RealFileSystem(), dir / "FENRO.ini");
  EXPECT_EQ(ini.ReadString("FENRO", "DataDir", "?"), "C:\\FENRO");
  EXPECT_EQ(ini.ReadString("FENRO", "ProgDir", ""), "C:\\Program Files\\FENRO\\");
  EXPECT_EQ(ini.ReadString("FENRO", "Quote", ""), "'x");
  EXPECT_EQ(ini.ReadString("FENRO", "Empty", "default"), "");
  EXPECT_EQ(ini.ReadString("FENRO", "Missing", "default"), "default");
  EXPECT_EQ(ini.ReadString("Nowhere", "DataDir", "default"), "default");
  EXPECT_EQ(TIniFile(RealFileSystem(), dir / "none.ini").ReadString("FENRO", "DataDir", "d"), "d");
}

TEST(IniFile, ReadsBooleansAsNumbers) {
  TScratchFolder dir;
  test::WriteWholeFile(dir / "a.ini", "[DeskTop]\nA=0\nB=1\nC=-2\nD=yes\nE=00\n");
  const TIniFile ini(RealFileSystem(), dir / "a.ini");
  EXPECT_FALSE(ini.ReadBool("DeskTop", "A", true));
  EXPECT_TRUE(ini.ReadBool("DeskTop", "B", false));
  EXPECT_TRUE(ini.ReadBool("DeskTop", "C", false));
  EXPECT_TRUE(ini.ReadBool("DeskTop", "D", true));
  EXPECT_FALSE(ini.ReadBool("DeskTop", "D", false));
  EXPECT_FALSE(ini.ReadBool("DeskTop", "E", true));
  EXPECT_TRUE(ini.ReadBool("DeskTop", "F", true));
}

TEST(IniFile, WritesChangeOnlyTheirOwnLine) {
  TScratchFolder dir;
  const std::string before = "; kept\n[DeskTop]\nBackground=Blue\ncheckforupdates = 1\n\n[Window]\nTop=10\n";
  test::WriteWholeFile(dir / "FENRO.ini", before);
  TIniFile ini(RealFileSystem(), dir / "FENRO.ini");
  ini.WriteBool("DESKTOP", "CheckForUpdates", false);
  ini.WriteString("DeskTop", "AutoDownloadImages", "0");
  ini.WriteString("New Section", "Key", "Value");
  // Line ends of the file stay as they were; a new key goes after the
  // section's last line, a new section at the end.
  EXPECT_EQ(Text(dir / "FENRO.ini"),
            "; kept\n[DeskTop]\nBackground=Blue\ncheckforupdates=0\nAutoDownloadImages=0\n\n[Window]\nTop=10\n"
            "\n[New Section]\nKey=Value\n");
  EXPECT_FALSE(RealFileSystem().FileExists(dir / "FENRO.ini.~ini"));
}

TEST(IniFile, CreatesAMissingFile) {
  TScratchFolder dir;
  TIniFile ini(RealFileSystem(), dir / "FENRO1.ini");
  ini.WriteString("DeskTop", "CheckForUpdates", "0");
  EXPECT_EQ(Text(dir / "FENRO1.ini"), "[DeskTop]\r\nCheckForUpdates=0\r\n");
}

TEST(IniFile, UnwritableFileRaisesNamingIt) {
  TScratchFolder dir;
  test::WriteWholeFile(dir / "ro.ini", "[DeskTop]\r\nCheckForUpdates=1\r\n");
  ASSERT_TRUE(RealFileSystem().SetAttributes(dir / "ro.ini", attr::kReadOnly));
  TIniFile readOnly(RealFileSystem(), dir / "ro.ini");
  try {
    readOnly.WriteBool("DeskTop", "CheckForUpdates", false);
    FAIL() << "no error";
  } catch (const EWriteError& e) {
    EXPECT_NE(std::string(e.what()).find("Unable to write to " + dir / "ro.ini"), std::string::npos) << e.what();
  }
  (void)RealFileSystem().SetAttributes(dir / "ro.ini", attr::kArchive);
  EXPECT_EQ(Text(dir / "ro.ini"), "[DeskTop]\r\nCheckForUpdates=1\r\n");
  TIniFile nowhere(RealFileSystem(), dir / "no folder/FENRO.ini");
  EXPECT_THROW(nowhere.WriteString("DeskTop", "A", "0"), EWriteError);
}

// Whichever call of a write fails, the file holds its old text or its new
// one, never a part of either.
TEST(IniFile, FailedWriteLeavesTheOldFile) {
  TScratchFolder dir;
  const std::string old = "[DeskTop]\r\nBackground=Blue\r\nCheckForUpdates=1\r\n";
  const std::string updated = "[DeskTop]\r\nBackground=Blue\r\nCheckForUpdates=0\r\n";
  for (long nth = 1;; ++nth) {
    test::WriteWholeFile(dir / "FENRO.ini", old);
    test::TFaultFileSystem faults;
    faults.Arm(nth, test::TFault::kFail);
    TIniFile ini(faults, dir / "FENRO.ini");
    bool failed = false;
    try {
      ini.WriteBool("DeskTop", "CheckForUpdates", false);
    } catch (const EWriteError&) {
      failed = true;
    }
    const std::string now = Text(dir / "FENRO.ini");
    EXPECT_EQ(now, failed ? old : updated) << nth;
    if (!faults.Triggered()) break;
  }
}

}  // namespace
}  // namespace remdo::env
