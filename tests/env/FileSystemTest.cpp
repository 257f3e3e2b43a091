#include "env/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "env/DriveMap.h"
#include "env/Errors.h"
#include "env/FileHolds.h"
#include "env/FileStream.h"
#include "env/Host.h"
#include "env/MemoryLength.h"
#include "support/FaultFileSystem.h"
#include "support/LockHolder.h"
#include "support/TestSupport.h"

namespace remdo::env {
namespace {

using test::Bytes;
using test::ReadWholeFile;
using test::TScratchFolder;
using test::WriteWholeFile;

std::vector<std::string> Names(const std::vector<TFindEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileSystem, WritesReadsAndReportsShortReads) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  auto file = fs.Open(dir / "a.db", TOpenMode::kCreate);
  file->WriteAt(0, Bytes("hello"));
  file->WriteAt(10, Bytes("X"));
  EXPECT_EQ(file->Size(), 11u);
  std::vector<std::byte> buffer(20);
  EXPECT_EQ(file->ReadAt(8, buffer), 3u);
  EXPECT_EQ(buffer[0], std::byte{0});
  EXPECT_EQ(buffer[2], std::byte{'X'});
  file->Truncate(5);
  file->Flush();
  file->Close();
  file->Close();  // a second close does nothing
  EXPECT_EQ(ReadWholeFile(dir / "a.db"), Bytes("hello"));
}

TEST(FileSystem, MemoryLengthRefusesSizesTheProgramCannotHold) {
  const std::uint64_t limit = static_cast<std::uint64_t>(PTRDIFF_MAX);
  EXPECT_EQ(MemoryLength(0, "a.ini"), 0u);
  EXPECT_EQ(MemoryLength(limit, "a.ini"), static_cast<std::size_t>(limit));
  // 4 GiB + 1 would wrap to 1 on the 32-bit program; both kinds refuse it.
  for (const std::uint64_t size : {limit + 1, (std::uint64_t{1} << 32) + 1, ~std::uint64_t{0}}) {
    if (size <= limit) continue;
    try {
      MemoryLength(size, "C:\\FENRO\\big.ini");
      ADD_FAILURE() << size;
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.what()).find("big.ini"), std::string::npos) << e.what();
    }
  }
}

TEST(FileSystem, OpenFailuresNameTheFileAndTheReason) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  try {
    (void)fs.Open(dir / "missing.db", TOpenMode::kRead);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.db"), std::string::npos);
  }
  WriteWholeFile(dir / "x.db", "1");
  EXPECT_THROW((void)fs.Open(dir / "x.db", TOpenMode::kCreateNew), EFCreateError);
  EXPECT_THROW((void)fs.Open(dir / "no\\such\\x.db", TOpenMode::kCreate), EFCreateError);
}

TEST(FileSystem, RenameReplacesOnlyWhenAsked) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  WriteWholeFile(dir / "new.db", "new");
  WriteWholeFile(dir / "old.db", "old");
  EXPECT_FALSE(fs.Rename(dir / "new.db", dir / "old.db", false));
  EXPECT_EQ(ReadWholeFile(dir / "old.db"), Bytes("old"));
  EXPECT_TRUE(fs.Rename(dir / "new.db", dir / "old.db", true));
  EXPECT_EQ(ReadWholeFile(dir / "old.db"), Bytes("new"));
  EXPECT_FALSE(fs.FileExists(dir / "new.db"));
  const TIoResult missing = fs.Remove(dir / "new.db");
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.reason.empty());
}

// A held file keeps every other program out (Windows; Linux holds nothing)
// while this one reads, writes, renames and deletes it through the hold: a
// renamed file stays held under its new name, a file renamed onto a held
// name is held at once, a read-only file is written once its mark is
// cleared. A file another program has open cannot be held.
TEST(FileSystem, HeldFilesKeepOtherProgramsOutButNotThisOne) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  const bool holds = CurrentHost() == THost::kWindows;
  auto othersOpen = [](const std::string& path) { return test::TLockHolder(path, test::THold::kOpen, true).Holding(); };
  WriteWholeFile(dir / "Books.db", "old");
  WriteWholeFile(dir / "temptbl1.db", "new");
  WriteWholeFile(dir / "Books.px", "index");
  ASSERT_TRUE(fs.SetAttributes(dir / "Books.px", attr::kReadOnly));
  for (const char* name : {"Books.db", "Books.px", "Books.x02"}) ASSERT_TRUE(HoldFile(dir / name)) << name;
  EXPECT_NE(othersOpen(dir / "Books.db"), holds);
  fs.Open(dir / "Books.db", TOpenMode::kReadWrite)->WriteAt(0, Bytes("OLD"));
  EXPECT_TRUE(fs.Rename(dir / "Books.db", dir / "Books.db.old", true));
  EXPECT_TRUE(fs.Rename(dir / "temptbl1.db", dir / "Books.db", false));
  fs.Open(dir / "Books.x02", TOpenMode::kCreate)->WriteAt(0, Bytes("x"));
  for (const char* name : {"Books.db.old", "Books.db", "Books.x02"}) EXPECT_NE(othersOpen(dir / name), holds) << name;
  EXPECT_EQ(ReadWholeFile(dir / "Books.db.old"), Bytes("OLD"));
  EXPECT_TRUE(fs.Remove(dir / "Books.db.old"));
  EXPECT_FALSE(fs.FileExists(dir / "Books.db.old"));
  ASSERT_TRUE(fs.SetAttributes(dir / "Books.px", attr::kArchive));
  fs.Open(dir / "Books.px", TOpenMode::kReadWrite)->WriteAt(0, Bytes("INDEX"));
  ReleaseHeldFiles();
  for (const char* name : {"Books.db", "Books.px", "Books.x02"}) EXPECT_TRUE(othersOpen(dir / name)) << name;
  EXPECT_EQ(ReadWholeFile(dir / "Books.db"), Bytes("new"));
  EXPECT_EQ(ReadWholeFile(dir / "Books.px"), Bytes("INDEX"));
  const test::TLockHolder other(dir / "Books.db", test::THold::kOpen);
  EXPECT_EQ(IsHeldByAnother(HoldFile(dir / "Books.db")), holds);
  ReleaseHeldFiles();
}

TEST(FileSystem, ReadOnlyAttributeIsSetAndCleared) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  WriteWholeFile(dir / "r.db", "x");
  ASSERT_TRUE(fs.SetAttributes(dir / "r.db", attr::kReadOnly | attr::kArchive));
  EXPECT_NE(*fs.Attributes(dir / "r.db") & attr::kReadOnly, 0u);
  ASSERT_TRUE(fs.SetAttributes(dir / "r.db", attr::kArchive));
  EXPECT_EQ(*fs.Attributes(dir / "r.db") & attr::kReadOnly, 0u);
  EXPECT_NE(*fs.Attributes(dir.Path()) & attr::kDirectory, 0u);
  EXPECT_FALSE(fs.Attributes(dir / "none").has_value());
}

TEST(FileSystem, FindListsFoldersOnlyWhenAsked) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  WriteWholeFile(dir / "Books.db", "");
  WriteWholeFile(dir / "Books.PX", "");
  WriteWholeFile(dir / "Genre.db", "");
  ASSERT_TRUE(fs.MakeFolder(dir / "Books.dir"));
  EXPECT_EQ(Names(fs.Find(dir / "books.*", 47)), (std::vector<std::string>{"Books.PX", "Books.db"}));
  EXPECT_EQ(Names(fs.Find(dir / "books.*", attr::kDirectory)),
            (std::vector<std::string>{"Books.PX", "Books.db", "Books.dir"}));
  EXPECT_TRUE(fs.Find(dir / "nowhere\\*", 47).empty());
}

TEST(FileSystem, ModifiedTimeRoundTrips) {
  TScratchFolder dir;
  auto& fs = RealFileSystem();
  WriteWholeFile(dir / "t.db", "x");
  ASSERT_TRUE(fs.SetModifiedTime(dir / "t.db", 1000000000));
  EXPECT_EQ(fs.ModifiedTime(dir / "t.db"), 1000000000);
}

TEST(FileSystem, DriveLettersResolveNamesWithoutRegardToCase) {
  TScratchFolder dir;
  if (!MapDrive('q', dir.Path())) GTEST_SKIP() << "drives cannot be mapped on this platform";
  auto& fs = RealFileSystem();
  ASSERT_TRUE(fs.MakeFolder(dir / "FENRO"));
  WriteWholeFile(dir / "FENRO/Books.db", "data");
  EXPECT_TRUE(fs.FileExists("Q:\\fenro\\BOOKS.DB"));
  EXPECT_EQ(ReadWholeFile("q:/Fenro/books.db"), Bytes("data"));
  // A new file keeps its own spelling inside the existing folder.
  WriteWholeFile("Q:\\fenro\\New.DB", "n");
  EXPECT_TRUE(fs.FileExists(dir / "FENRO/New.DB"));
  EXPECT_FALSE(fs.FileExists("R:\\fenro\\books.db"));
  MapDrive('Q', "");
  // In a folder spelt exactly only the missing name is looked up; an ASCII
  // name and an accented one (Windows-1252) both find their other case.
  WriteWholeFile(dir / (std::string("FENRO/B") + '\xFC' + "cher.db"), "u");
  EXPECT_EQ(ReadWholeFile(dir / "FENRO/BOOKS.DB"), Bytes("data"));
  EXPECT_EQ(ReadWholeFile(dir / (std::string("FENRO/b") + '\xDC' + "CHER.DB")), Bytes("u"));
  EXPECT_FALSE(fs.FileExists(dir / "FENRO/Book.db"));
  EXPECT_FALSE(fs.FileExists(dir / "FENRO/Books.dbx"));
}

TEST(FileStream, ReadBufferRaisesOnShortRead) {
  TScratchFolder dir;
  WriteWholeFile(dir / "s.db", "abc");
  TFileStream stream(RealFileSystem(), dir / "s.db", TOpenMode::kRead);
  std::vector<std::byte> four(4);
  EXPECT_THROW(stream.ReadBuffer(four), EReadError);
  stream.Seek(1, TSeekOrigin::kBegin);
  std::vector<std::byte> two(2);
  stream.ReadBuffer(two);
  EXPECT_EQ(two, Bytes("bc"));
  EXPECT_EQ(stream.Position(), 3);
}

TEST(FaultFileSystem, FailsTheNthCallOnceOrForGood) {
  TScratchFolder dir;
  test::TFaultFileSystem fs;
  fs.Arm(2, test::TFault::kFail);
  auto file = fs.Open(dir / "f.db", TOpenMode::kCreate);          // call 1
  EXPECT_THROW(file->WriteAt(0, Bytes("x")), EWriteError);        // call 2 fails
  file->WriteAt(0, Bytes("y"));                                   // call 3 works
  EXPECT_TRUE(fs.Triggered());

  fs.Arm(1, test::TFault::kStop);
  EXPECT_FALSE(fs.Rename(dir / "f.db", dir / "g.db", true));
  EXPECT_THROW(file->WriteAt(0, Bytes("z")), EWriteError);
  EXPECT_FALSE(fs.Remove(dir / "f.db"));
  file.reset();
  EXPECT_EQ(ReadWholeFile(dir / "f.db"), Bytes("y"));
}

}  // namespace
}  // namespace remdo::env
