// Kept folder listings answer as a fresh listing would, whoever changes the
// folder and however: each change below is made behind the cache's back,
// by raw calls or by another process, right before the next lookup.
#include "env/posix/FolderListings.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "env/posix/PosixFiles.h"
#include "support/TestSupport.h"

namespace remdo::env::posix {
namespace {

void Create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  if (fd >= 0) ::close(fd);
}

void InOtherProcess(const std::function<void()>& change) {
  const pid_t child = ::fork();
  if (child == 0) {
    change();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
}

TEST(FolderListings, SeeEveryChangeAtOnce) {
  const test::TScratchFolder scratch;
  const std::string parent = scratch / "Parent";
  const std::string folder = parent + "/Data";
  ASSERT_EQ(::mkdir(parent.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  Create(folder + "/Books.DB");
  ASSERT_EQ(HostPath(folder + "\\BOOKS.DB"), folder + "/Books.DB");
  if (!ListingKept(folder)) GTEST_SKIP() << "the temporary folder's file system is not one whose listings are kept";
  const auto at = [&](const char* name) { return folder + "/" + name; };
  const struct {
    const char* change;
    std::function<void()> make;
    const char* lookup;
    const char* found;
  } steps[] = {
      {"renamed", [&] { ::rename(at("Books.DB").c_str(), at("books.db").c_str()); }, "BOOKS.DB", "books.db"},
      {"removed by another process", [&] { InOtherProcess([&] { ::unlink(at("books.db").c_str()); }); },
       "BOOKS.DB", "BOOKS.DB"},
      {"created by another process", [&] { InOtherProcess([&] { Create(at("bOOKs.Db")); }); }, "books.DB",
       "bOOKs.Db"},
      {"renamed by another process", [&] { InOtherProcess([&] { ::rename(at("bOOKs.Db").c_str(), at("B.db").c_str()); }); },
       "BOOKS.DB", "BOOKS.DB"},
      {"created with a non-ASCII name", [&] { Create(at("\xc3\x9c" "ber.db")); }, "\xfc" "BER.DB", "\xc3\x9c" "ber.db"},
      {"parent folder replaced",
       [&] {
         ::rename(parent.c_str(), (scratch / "Old").c_str());
         ::mkdir(parent.c_str(), 0755);
         ::mkdir(folder.c_str(), 0755);
         Create(at("bOoks.db"));
       },
       "BOOKS.DB", "bOoks.db"},
  };
  for (const auto& step : steps) {
    step.make();
    EXPECT_EQ(HostPath(folder + "/" + step.lookup), at(step.found)) << step.change;
  }
  EXPECT_TRUE(ListingKept(folder));
}

TEST(FolderListings, FolderThatCannotBeWatchedIsListedEveryTime) {
  EXPECT_EQ(HostPath("/proc/self/STATUS"), "/proc/self/status");
  EXPECT_FALSE(ListingKept("/proc/self"));
}

}  // namespace
}  // namespace remdo::env::posix
