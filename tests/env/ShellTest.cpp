#include <gtest/gtest.h>

#include <algorithm>

#include "env/FileCopy.h"
#include "env/FileList.h"
#include "env/Shell.h"
#include "env/TestPlatform.h"
#include "support/FaultFileSystem.h"

namespace remdo::env {
namespace {

using test::TScratchFolder;

std::string Text(const std::string& path) {
  const auto bytes = test::ReadWholeFile(path);
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A save folder as the start-up copies it: tables, a folder table pattern,
// notes with a blank in the name, and a sub-folder of pictures.
void SaveFolder(const std::string& folder) {
  auto& fs = RealFileSystem();
  ASSERT_TRUE(MakeFolders(fs, folder + "CoverPix"));
  test::WriteWholeFile(folder + "Books.db", "books");
  test::WriteWholeFile(folder + "Fldr0001.db", "folder 1");
  test::WriteWholeFile(folder + "Fldr0002.db", "folder 2");
  test::WriteWholeFile(folder + "FENRO notes.txt", "notes");
  test::WriteWholeFile(folder + "CoverPix/1.jpg", "picture");
  ASSERT_TRUE(fs.SetModifiedTime(folder + "Books.db", 1000000000));
}

// Both the Linux copy and the shell of the machine the tests run on (the
// Windows shell under Wine) copy alike.
void CopiesLikeTheShell(const std::function<bool(const std::vector<std::string>&, std::string_view)>& copy) {
  TScratchFolder dir;
  SaveFolder(dir / "Save/");
  test::WriteWholeFile(dir / "old.db", "old");
  const std::string target = dir / "Save4";
  ASSERT_TRUE(copy({dir / "Save/Books.db", dir / "Save/Fldr*.db", dir / "Save/FENRO notes.txt", dir / "Save/Genre*.db"},
                   target));
  EXPECT_EQ(Text(dir / "Save4/Books.db"), "books");
  EXPECT_EQ(Text(dir / "Save4/Fldr0002.db"), "folder 2");
  EXPECT_EQ(Text(dir / "Save4/FENRO notes.txt"), "notes");
  EXPECT_EQ(RealFileSystem().ModifiedTime(dir / "Save4/Books.db"), 1000000000);

  // One file to a new name, over an existing file.
  ASSERT_TRUE(copy({dir / "Save/Books.db"}, dir / "old.db"));
  EXPECT_EQ(Text(dir / "old.db"), "books");

  // Everything of a folder, its sub-folders included, into an existing one.
  ASSERT_TRUE(copy({dir / "Save/*.*"}, dir / "Save4"));
  EXPECT_EQ(Text(dir / "Save4/CoverPix/1.jpg"), "picture");

  EXPECT_FALSE(copy({dir / "Save/Missing.db"}, dir / "Save4"));
  EXPECT_TRUE(copy({}, dir / "Save4"));
  EXPECT_TRUE(copy({dir / "Save/*.zz"}, dir / "Save4"));
}

TEST(Shell, PlainCopyDoesWhatTheShellDoes) {
  CopiesLikeTheShell(
      [](const std::vector<std::string>& s, std::string_view t) { return CopyFilesPlainly(RealFileSystem(), s, t); });
}

TEST(Shell, RealShellCopies) {
  CopiesLikeTheShell([](const std::vector<std::string>& s, std::string_view t) { return RealShell().CopyFiles(s, t); });
}

// Whichever file-system call fails, the target holds the old file or the
// whole new one, and no temporary file is left.
TEST(Shell, FailedCopyLeavesTheOldTarget) {
  TScratchFolder dir;
  test::WriteWholeFile(dir / "new.exe", std::string(3 << 20, 'n'));
  for (long nth = 1;; ++nth) {
    test::WriteWholeFile(dir / "FenroRemdo.exe", "old");
    test::TFaultFileSystem faults;
    faults.Arm(nth, test::TFault::kFail);
    const bool copied = CopyFilesPlainly(faults, {dir / "new.exe"}, dir / "FenroRemdo.exe");
    const std::string now = Text(dir / "FenroRemdo.exe");
    EXPECT_TRUE(copied ? now.size() == (3u << 20) : now == "old") << nth;
    EXPECT_FALSE(RealFileSystem().FileExists(dir / "FenroRemdo.exe.~cp")) << nth;
    if (!faults.Triggered()) break;
  }
}

TEST(Shell, FolderIsNeverCopiedIntoItself) {
  TScratchFolder dir;
  SaveFolder(dir / "Save/");
  // On Windows the scratch folder's path uses '\' and the target's tail '/':
  // the same folder all the same, refused before anything is copied.
  EXPECT_FALSE(CopyFilesPlainly(RealFileSystem(), {dir / "Save"}, dir / "Save/Inner"));
  EXPECT_FALSE(RealFileSystem().FolderExists(dir / "Save/Inner"));
}

TEST(FileList, TextFormRoundTrips) {
  const std::vector<std::string> entries = {"C:\\FENRO\\Save\\Books.db", "C:\\FENRO\\Save\\Fldr*.db"};
  const std::string text = JoinFileList(entries);
  EXPECT_EQ(text, std::string("C:\\FENRO\\Save\\Books.db\0C:\\FENRO\\Save\\Fldr*.db\0", 46));
  EXPECT_EQ(SplitFileList(text), entries);
  EXPECT_EQ(SplitFileList(text + '\0'), entries);
  EXPECT_TRUE(SplitFileList("").empty());
}

TEST(FileList, ReplacingCopyRecyclesTheOldTargetFirst) {
  TScratchFolder dir;
  test::TTestPlatform platform;
  test::WriteWholeFile(dir / "remdinst1.exe", "new");
  test::WriteWholeFile(dir / "FenroRemdo.exe", "old");
  ASSERT_TRUE(CopyFileList({dir / "remdinst1.exe"}, dir / "FenroRemdo.exe", true));
  EXPECT_EQ(Text(dir / "FenroRemdo.exe"), "new");
  ASSERT_EQ(platform.shell.calls.size(), 2u);
  EXPECT_EQ(platform.shell.calls[0], "recycle " + dir / "FenroRemdo.exe");

  platform.shell.calls.clear();
  ASSERT_TRUE(CopyFileList({dir / "remdinst1.exe"}, dir / "FenroRemdo.exe", false));
  ASSERT_EQ(platform.shell.calls.size(), 1u);
  EXPECT_EQ(platform.shell.calls[0].rfind("copy ", 0), 0u);
}

TEST(Shell, RecyclingAMissingFileFails) {
  TScratchFolder dir;
  EXPECT_FALSE(RealShell().DeleteToRecycleBin(dir / "none.exe"));
}

TEST(Shell, NoCatalogueWindowHere) {
  EXPECT_FALSE(RealShell().FindTopLevelWindow("TMainForm", "FENRO remdo test absent", "FENRO-absent.exe").has_value());
}

}  // namespace
}  // namespace remdo::env
