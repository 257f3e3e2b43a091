#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "app/AppTestPlatform.h"
#include "catalogue/TableCatalogue.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "repair/AutomaticBackup.h"
#include "repair/HeadlessRun.h"
#include "support/TestSupport.h"

namespace remdo::repair {
namespace {

using test::kMegabyte;
using test::TAppPlatform;

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// A run that records its log and can be stopped after a number of
// KeepGoing calls.
class TRecordingRun final : public THeadlessRun {
 public:
  bool KeepGoing() override { return ++goes <= stopAfter; }
  std::string DateTimeText(std::int64_t t) override { return "at " + std::to_string(t); }

  int goes = 0;
  int stopAfter = 1000000;
};

const std::vector<std::string> kCurrentSet = {
    "Auth0001.db", "AuthX.db",    "AuthX.mb",    "BkSeries.db", "BookInfo.db", "BookInfo.mb", "BookInx.db",
    "BookRef.db",  "Books.db",    "Books.mb",    "Calendar.db", "CharX.db",    "Contact.db",  "Contact.mb",
    "ExpTitle.db", "Fldr0001.db", "Fldr0250.db", "Folders.db",  "Genre.db",    "GrpNames.db", "Images.db",
    "ISBNs.db",    "LocNames.db", "Prices.db",   "Pubs.db",     "Reissues.db",
};

class AutomaticBackupTest : public ::testing::Test {
 protected:
  void Fill(const std::vector<std::string>& names) {
    for (const auto& name : names) platform.DataFile(name, "data of " + name);
  }
  std::vector<std::string> Saved() const {
    std::vector<std::string> names;
    for (const auto& line : run.lines) {
      if (line.rfind("Saved copy of file:  ", 0) == 0) names.push_back(line.substr(21));
    }
    return names;
  }
  static std::string SaveFolderPath(const char* name) { return std::string("C:\\FENRO\\") + name + "\\"; }
  std::string Read(const std::string& path) { return platform.Read(path); }
  void SetFree(std::optional<std::uint64_t> bytes) {
    if (bytes) {
      platform.platform.facts.freeBytes["C:\\"] = *bytes;
    } else {
      platform.platform.facts.freeBytes.erase("C:\\");
    }
  }

  TAppPlatform platform;

  TRecordingRun run;
};

TEST_F(AutomaticBackupTest, NoSavedCopyYetCopiesEveryListedFileInOrder) {
  Fill(kCurrentSet);
  Fill({"Books.px", "Books.X02", "Fldr12345.db", "Fldr01.db", "Notes.txt", "temptbl1.db"});
  AutomaticBackup(run);
  std::vector<std::string> expected = kCurrentSet;
  EXPECT_EQ(Saved().size(), expected.size());
  // The folder tables come in listing order at their place; the rest in the
  // order of the list.
  std::vector<std::string> saved = Saved();
  std::sort(saved.begin() + 15, saved.begin() + 17);
  EXPECT_EQ(saved, expected);
  EXPECT_EQ(run.lines.back(), "");
  const std::string save = SaveFolderPath("Save");
  for (const auto& name : kCurrentSet) {
    EXPECT_EQ(Read(save + name), "data of " + name) << name;
  }
  for (const char* name : {"Books.px", "Books.X02", "Fldr12345.db", "Fldr01.db", "Notes.txt", "temptbl1.db"}) {
    EXPECT_FALSE(env::DefaultFileSystem().FileExists(save + name)) << name;
  }
  // The saved copy's time is the time of copying: the next run finds it
  // recent.
  const auto copied = env::DefaultFileSystem().ModifiedTime(save + "Books.db");
  ASSERT_TRUE(copied);
  EXPECT_GE(*copied, Now() - 60);
}

TEST_F(AutomaticBackupTest, RecentBackupIsLeftAlone) {
  Fill({"Books.db", "Genre.db"});
  platform.DataFile("Save\\BOOKS.db", "old");
  const std::int64_t saved = Now() - 3 * 86400;
  ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime(SaveFolderPath("Save") + "BOOKS.db", saved));
  AutomaticBackup(run);
  EXPECT_EQ(run.lines, (std::vector<std::string>{"Recent automatic file backup on at " + std::to_string(saved), ""}));
  EXPECT_FALSE(env::DefaultFileSystem().FileExists(SaveFolderPath("Save") + "Genre.db"));
}

TEST_F(AutomaticBackupTest, OldBackupIsReplaced) {
  for (const std::int64_t age : {8 * 86400, 7 * 86400 + 60}) {
    TRecordingRun again;
    Fill({"Books.db", "Genre.db"});
    platform.DataFile("Save\\Books.db", "old");
    ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime(SaveFolderPath("Save") + "Books.db", Now() - age));
    AutomaticBackup(again);
    EXPECT_EQ(again.lines,
              (std::vector<std::string>{"Saved copy of file:  Books.db", "Saved copy of file:  Genre.db", ""}))
        << age;
    EXPECT_EQ(Read(SaveFolderPath("Save") + "Books.db"), "data of Books.db");
  }
}

TEST_F(AutomaticBackupTest, TooLittleSpaceCopiesNothing) {
  Fill({"Books.db"});
  SetFree(700000000);
  AutomaticBackup(run);
  EXPECT_EQ(run.lines, std::vector<std::string>{"~Insufficient disk space for automatic file backup."});
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists(SaveFolderPath("Save")));
  SetFree(std::nullopt);  // the system cannot tell: no backup either
  TRecordingRun unknown;
  AutomaticBackup(unknown);
  EXPECT_EQ(unknown.lines, std::vector<std::string>{"~Insufficient disk space for automatic file backup."});
  SetFree(kBackupFreeSpace);  // exactly enough
  TRecordingRun enough;
  AutomaticBackup(enough);
  EXPECT_EQ(enough.lines.front(), "Saved copy of file:  Books.db");
}

TEST_F(AutomaticBackupTest, EarlierFormatGoesToSaveFenrWithItsOwnList) {
  catalogue::SetBooksFormatMarker(6);
  Fill({"Books.db", "BookGrp.db", "BookLoc.db", "Contact.db", "Calendar.db", "Fldr0003.db"});
  AutomaticBackup(run);
  EXPECT_EQ(Saved(), (std::vector<std::string>{"BookGrp.db", "BookLoc.db", "Books.db", "Fldr0003.db"}));
  EXPECT_TRUE(env::DefaultFileSystem().FileExists(SaveFolderPath("SaveFenr") + "BookGrp.db"));
  EXPECT_FALSE(env::DefaultFileSystem().FolderExists(SaveFolderPath("Save")));
  EXPECT_EQ(SaveFolder(), SaveFolderPath("SaveFenr"));
}

TEST_F(AutomaticBackupTest, StoppedRunStopsFileByFile) {
  Fill({"AuthX.db", "Books.db", "Genre.db"});
  run.stopAfter = 2;  // AuthX.db and the missing AuthX.mb, then stop
  AutomaticBackup(run);
  EXPECT_EQ(run.lines, std::vector<std::string>{"Saved copy of file:  AuthX.db"});
}

TEST_F(AutomaticBackupTest, ReadOnlyEarlierCopyIsReplaced) {
  Fill({"Books.db"});
  platform.DataFile("Save\\Books.db", "old");
  const std::string target = SaveFolderPath("Save") + "Books.db";
  ASSERT_TRUE(env::DefaultFileSystem().SetAttributes(target, env::attr::kReadOnly));
  ASSERT_TRUE(env::DefaultFileSystem().SetModifiedTime(target, Now() - 30 * 86400));
  AutomaticBackup(run);
  EXPECT_EQ(Read(target), "data of Books.db");
}

TEST_F(AutomaticBackupTest, NoDataFolderNoBackup) {
  installation::ForgetDataFolder();
  installation::SetDataFolder("");
  EXPECT_EQ(SaveFolder(), "");
  AutomaticBackup(run);
  EXPECT_TRUE(run.lines.empty());
}

}  // namespace
}  // namespace remdo::repair
