// The Linux program's host: a Wine prefix standing for Windows, the trash,
// and the catalogue application found among the processes. These tests
// skip themselves on Windows.
#include <gtest/gtest.h>

#include "env/Dialogs.h"
#include "env/DriveMap.h"
#include "env/FileCopy.h"
#include "env/FileList.h"
#include "env/Host.h"
#include "env/Path.h"
#include "env/Shell.h"
#include "env/SystemFacts.h"
#include "env/SystemInfo.h"
#include "installation/DataFolder.h"
#include "installation/EngineChecks.h"
#include "installation/SettingsFiles.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace remdo::env {
namespace {

using test::ReadWholeFile;
using test::TScratchFolder;
using test::WriteWholeFile;

#define REMDO_LINUX_ONLY() \
  if (CurrentHost() != THost::kPosix) GTEST_SKIP() << "Linux only"

std::string Text(const std::string& path) {
  const auto bytes = ReadWholeFile(path);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void MakeFile(const std::string& path, std::string_view text = "") {
  ASSERT_TRUE(MakeFolders(RealFileSystem(), FolderPart(path)));
  WriteWholeFile(path, text);
}

// Undoes whatever a test did to the host's process-wide state.
class THostGuard {
 public:
  THostGuard() { Forget(); }
  ~THostGuard() {
    ResetHost();
    Forget();
  }
  static void Forget() {
    ForgetSystemInfo();
    installation::ForgetDataFolder();
  }
};

// A prefix as wineboot leaves it, on a 64-bit Windows 7, with a catalogue
// in the user's documents.
void MakePrefix(const std::string& prefix) {
  MakeFile(prefix + "system.reg",
           "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1796676158\n"
           "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
           "\"ProgramFilesDir (x86)\"=\"C:\\\\Program Files (x86)\"\n\n"
           "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1796676158\n"
           "\"CurrentBuildNumber\"=\"7601\"\n\"CurrentVersion\"=\"6.1\"\n"
           "\"ProductName\"=\"Microsoft Windows 7\"\n\"SystemRoot\"=\"C:\\\\windows\"\n\n"
           "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths] 1796676153\n");
  MakeFile(prefix + "user.reg",
           "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
           "[Environment] 1796676157\n\"TEMP\"=str(2):\"%USERPROFILE%\\\\Temp\"\n\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1796676157\n"
           "\"Desktop\"=\"C:\\\\users\\\\ann\\\\Desktop\"\n"
           "\"Personal\"=\"C:\\\\users\\\\ann\\\\Documents\"\n");
  // dosdevices holds links ("c:" -> "../drive_c"); a folder serves alike.
  const std::string c = prefix + "dosdevices/c:/";
  for (const char* folder : {"windows", "users/ann/Temp", "Program Files (x86)"}) {
    ASSERT_TRUE(MakeFolders(RealFileSystem(), c + folder));
  }
  MakeFile(c + "users/ann/Documents/FENRO/BookInx.db");
  MakeFile(c + "users/ann/Documents/FENRO/LocNames.DB");
}

TEST(LinuxHost, WinePrefixStandsForWindows) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  MakePrefix(scratch / "prefix/");
  ASSERT_TRUE(UseWinePrefix(scratch / "prefix"));
  EXPECT_TRUE(MappedDrive('c').has_value());
  EXPECT_EQ(GetProgramFilesFolder(), "C:\\Program Files (x86)\\");
  EXPECT_EQ(GetWindowsFolder(), "C:\\windows\\");
  EXPECT_EQ(GetTempFolder(), "C:\\users\\ann\\Temp\\");
  EXPECT_EQ(GetWindowsProductName(), "Microsoft Windows 7");
  EXPECT_TRUE(IsLaterWindows());
  EXPECT_EQ(DefaultSystemFacts().WindowsVersion().build, 7601u);
  EXPECT_EQ(installation::GetDataFolder(), "C:\\users\\ann\\Documents\\FENRO\\");
  EXPECT_TRUE(RealFileSystem().FileExists("C:\\USERS\\Ann\\documents\\fenro\\bookinx.db"));
  EXPECT_TRUE(DriveFreeBytes(installation::GetDataFolder()).has_value());
  // The catalogue's settings files are those of the prefix's drives.
  EXPECT_TRUE(installation::TurnOffOnlineOptions());
  EXPECT_TRUE(RealFileSystem().FileExists("C:\\windows\\FENRO.ini"));
  EXPECT_FALSE(RealFileSystem().FileExists(GetProgramFolder() + "FENRO1.ini"));
}

TEST(LinuxHost, WithoutAPrefixThereIsNoWindows) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  EXPECT_EQ(GetProgramFilesFolder(), "");
  EXPECT_EQ(GetWindowsFolder(), "");
  EXPECT_FALSE(IsLaterWindows());
  EXPECT_FALSE(GetWindowsProductName().empty());  // the Linux system's own name
  // With no Windows folder the settings file is never a bare "FENRO.ini"
  // looked up in the current folder.
  EXPECT_NE(installation::SelectCatalogueIni(false), "FENRO.ini");
  EXPECT_EQ(installation::SelectCatalogueIni(true), GetTempFolder() + "FENRO.ini");
}

TEST(LinuxHost, RefusesWhatIsNoPrefix) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  const TIoResult none = UseWinePrefix(scratch / "none");
  EXPECT_FALSE(none);
  EXPECT_NE(none.reason.find("not a Wine prefix"), std::string::npos) << none.reason;
  MakeFile(scratch / "bad/system.reg", "not a registry\n");
  ASSERT_TRUE(MakeFolders(RealFileSystem(), scratch / "bad/dosdevices"));
  const TIoResult bad = UseWinePrefix(scratch / "bad");
  EXPECT_FALSE(bad);
  EXPECT_NE(bad.reason.find("system.reg"), std::string::npos) << bad.reason;
  EXPECT_FALSE(LoadWineDrives(scratch / "none"));
}

TEST(LinuxHost, DriveTableFromDosdevicesKeepsOtherLetters) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  ASSERT_TRUE(MakeFolders(RealFileSystem(), scratch / "prefix/dosdevices/d:/data"));
  ASSERT_TRUE(MakeFolders(RealFileSystem(), scratch / "prefix/dosdevices/com1"));
  ASSERT_TRUE(MapDrive('Q', scratch.Path()));
  ASSERT_TRUE(LoadWineDrives(scratch / "prefix"));
  EXPECT_TRUE(RealFileSystem().FolderExists("D:\\DATA"));
  EXPECT_TRUE(MappedDrive('Q').has_value());
  EXPECT_FALSE(MappedDrive('C').has_value());
}

TEST(LinuxHost, RegistryFileFillsTheStore) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  MakeFile(scratch / "bde.reg",
           "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine]\r\n\"DLLPATH\"=\"C:\\\\BDE\"\r\n");
  ASSERT_TRUE(LoadRegistryFile(scratch / "bde.reg"));
  EXPECT_EQ(RealRegistry().ReadString(TRegistryRoot::kLocalMachine, "Software\\Borland\\Database Engine", "DLLPATH"),
            "C:\\BDE");
  const TIoResult missing = LoadRegistryFile(scratch / "none.reg");
  EXPECT_FALSE(missing);
  EXPECT_NE(missing.reason.find("none.reg"), std::string::npos);
}

TEST(LinuxHost, RecycleBinIsTheFreedesktopTrash) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  SetTrashFolder(scratch / "Trash");
  MakeFile(scratch / "data/Fenro Remdo.exe", "old program");
  ASSERT_TRUE(DeleteToRecycleBin(scratch / "data/Fenro Remdo.exe"));
  EXPECT_FALSE(RealFileSystem().FileExists(scratch / "data/Fenro Remdo.exe"));
  EXPECT_EQ(Text(scratch / "Trash/files/Fenro Remdo.exe"), "old program");
  const std::string info = Text(scratch / "Trash/info/Fenro Remdo.exe.trashinfo");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
  EXPECT_NE(info.find("/data/Fenro%20Remdo.exe\n"), std::string::npos) << info;
  EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos) << info;

  // A second file of the same name does not overwrite the first.
  MakeFile(scratch / "data/Fenro Remdo.exe", "newer program");
  ASSERT_TRUE(DeleteToRecycleBin(scratch / "data/Fenro Remdo.exe"));
  EXPECT_EQ(Text(scratch / "Trash/files/Fenro Remdo.exe.2"), "newer program");
  EXPECT_TRUE(RealFileSystem().FileExists(scratch / "Trash/info/Fenro Remdo.exe.2.trashinfo"));

  EXPECT_FALSE(DeleteToRecycleBin(scratch / "data/none.exe"));
  EXPECT_FALSE(DeleteToRecycleBin(scratch / "data"));  // folders are not deleted
}

TEST(LinuxHost, CatalogueRunsWhenAProcessRunsItsProgramFile) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  SetProcessFolder(scratch / "proc");
  MakeFile(scratch / "proc/100/comm", "bash\n");
  MakeFile(scratch / "proc/100/cmdline", std::string("/bin/bash\0-c\0FENRO.exe\0", 23));
  MakeFile(scratch / "proc/self/comm", "FENRO.exe\n");  // not a process number
  TShell& shell = RealShell();
  EXPECT_FALSE(shell.FindTopLevelWindow("TMainForm", "FENRO", "FENRO.exe").has_value());

  // Wine gives the Windows program's path as the first argument.
  MakeFile(scratch / "proc/4242/comm", "FENRO.exe\n");
  MakeFile(scratch / "proc/4242/cmdline", std::string("C:\\Program Files (x86)\\FENRO\\FENRO.EXE\0", 40));
  const auto found = shell.FindTopLevelWindow("TMainForm", "FENRO", "FENRO.exe");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->handle, 4242u);
  EXPECT_FALSE(shell.BringToForeground(*found));

  // A name longer than the kernel keeps is matched by its first argument.
  MakeFile(scratch / "proc/77/comm", "FenroUpdateWatc\n");
  MakeFile(scratch / "proc/77/cmdline", std::string("/opt/fenro/FenroUpdateWatcher.exe\0", 34));
  EXPECT_EQ(shell.FindTopLevelWindow("", "", "FenroUpdateWatcher.exe").value_or(TTopWindow{}).handle, 77u);
}

TEST(LinuxHost, OpenFailsForAPathOnAnUnmappedDrive) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  EXPECT_FALSE(RealShell().Open("Q:\\FENRO\\FENRO.exe", "+"));
}

// The engine's settings of a prefix are written into its system.reg: only
// the lines of those values change (a line no loader reads stays as it is).
TEST(LinuxHost, EngineSettingsGoIntoThePrefixFile) {
  REMDO_LINUX_ONLY();
  THostGuard guard;
  TScratchFolder scratch;
  const std::string prefix = scratch / "prefix/";
  MakePrefix(prefix);
  const std::uint64_t megabytes = PhysicalMemoryMegabytes();
  if (megabytes < 900) GTEST_SKIP() << "the settings are tuned on machines of 900 MB or more";
  const std::string before =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
      "[Software\\\\Wow6432Node\\\\Borland\\\\Database Engine\\\\Settings\\\\System\\\\INIT] 1796676158\n"
      "#time=1d9a1b2c3d4e5f6\n\"MAXBUFSIZE\"=\"2048\"\n\"LANGDRIVER\"=\"\"\nthis line no loader reads\n"
      "\"maxfilehandles\"=\"48\"\n\"SHAREDMEMSIZE\"=\"2048\"\n\n"
      "[Software\\\\Wow6432Node\\\\Borland\\\\Database Engine\\\\Settings\\\\System\\\\FORMATS] 1796676158\n"
      "\"MAXBUFSIZE\"=\"1\"\n";
  const std::string after =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
      "[Software\\\\Wow6432Node\\\\Borland\\\\Database Engine\\\\Settings\\\\System\\\\INIT] 1796676158\n"
      "#time=1d9a1b2c3d4e5f6\n\"MAXBUFSIZE\"=\"20480\"\n\"LANGDRIVER\"=\"\"\nthis line no loader reads\n"
      "\"maxfilehandles\"=\"128\"\n\"SHAREDMEMSIZE\"=\"" +
      std::string(megabytes >= 1500 ? "60000" : "16384") +
      "\"\n\"SHAREDMEMLOCATION\"=\"5BDE\"\n\n"
      "[Software\\\\Wow6432Node\\\\Borland\\\\Database Engine\\\\Settings\\\\System\\\\FORMATS] 1796676158\n"
      "\"MAXBUFSIZE\"=\"1\"\n";
  WriteWholeFile(prefix + "system.reg", Text(prefix + "system.reg") + before.substr(before.find("\n[")));
  const std::string original = Text(prefix + "system.reg");
  ASSERT_TRUE(UseWinePrefix(prefix));
  EXPECT_EQ(Text(prefix + "system.reg"), original);  // loading writes nothing
  test::TScriptedDialogs dialogs;
  test::TInstalledDialogs installed(dialogs);
  dialogs.ExpectBox(TBoxKind::kInfo, "BDE settings changed.", "Remdo");
  installation::TuneEngineSettings();
  EXPECT_EQ(Text(prefix + "system.reg"), original.substr(0, original.find("\n[Software\\\\Wow6432Node\\\\Borland")) +
                                             after.substr(after.find("\n[")));
}

}  // namespace
}  // namespace remdo::env
