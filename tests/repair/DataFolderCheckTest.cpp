// The data folder check: a folder without tables gives the error box, a
// read-only folder is cleared and reported, a writable one closes with an
// empty line, and a mark that cannot be cleared is passed over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "repair/DataFolderCheck.h"
#include "repair/RepairFixture.h"
#include "support/FaultFileSystem.h"

namespace remdo::repair {
namespace {

using testing::TRepairTest;
using TLines = std::vector<std::string>;

const std::string kFolder = env::ExcludeTrailingSeparator(test::kDataFolder);
const std::string kCoverPix = std::string(test::kDataFolder) + "CoverPix";
const std::string kMaps = std::string(test::kDataFolder) + "Maps";

class DataFolderCheckTest : public TRepairTest {
 protected:
  DataFolderCheckTest() { platform.DataFile("Books.db"); }
  ~DataFolderCheckTest() override {
    // Leave the scratch tree removable.
    for (const auto& folder : {kFolder, kCoverPix, kMaps}) {
      if (IsReadOnly(folder)) (void)env::DefaultFileSystem().SetAttributes(folder, env::attr::kDirectory);
    }
  }

  static bool IsReadOnly(const std::string& folder) {
    const auto bits = env::DefaultFileSystem().Attributes(folder);
    return bits && (*bits & env::attr::kReadOnly) != 0;
  }
  // Marks a folder read-only; false where the platform keeps no such mark
  // on folders (Wine ignores it).
  static bool MakeReadOnly(const std::string& folder) {
    (void)env::DefaultFileSystem().SetAttributes(folder, env::attr::kDirectory | env::attr::kReadOnly);
    return IsReadOnly(folder);
  }
};

TEST_F(DataFolderCheckTest, AFolderWithoutTablesGivesTheErrorBox) {
  ASSERT_TRUE(env::DefaultFileSystem().Remove(Data("Books.db")));
  platform.DataFile("Books.txt");
  platform.DataFile("Books.dbx");
  CheckDataFolder(*context);
  EXPECT_EQ(run.lines, (TLines{"Checking FENRO directory", "     FENRO files are not at expected location"}));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].kind, env::TBoxKind::kError);
  EXPECT_EQ(dialogs.boxes[0].text, "FENRO files are not at expected location  ");
}

TEST_F(DataFolderCheckTest, AReadOnlyTableStillCounts) {
  ASSERT_TRUE(env::DefaultFileSystem().SetAttributes(Data("Books.db"), env::attr::kReadOnly));
  CheckDataFolder(*context);
  EXPECT_EQ(run.lines, (TLines{"Checking FENRO directory", ""}));
  EXPECT_TRUE(dialogs.boxes.empty());
  (void)env::DefaultFileSystem().SetAttributes(Data("Books.db"), env::attr::kArchive);
}

TEST_F(DataFolderCheckTest, WritableFoldersCloseWithAnEmptyLine) {
  for (const bool subfolders : {false, true}) {
    run.lines.clear();
    if (subfolders) {
      platform.drive.Folder(kCoverPix);
      platform.drive.Folder(kMaps);
    }
    CheckDataFolder(*context);
    EXPECT_EQ(run.lines, (TLines{"Checking FENRO directory", ""})) << subfolders;
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DataFolderCheckTest, AReadOnlyDataFolderIsClearedAndReported) {
  platform.drive.Folder(kCoverPix);
  platform.drive.Folder(kMaps);
  if (!MakeReadOnly(kFolder)) GTEST_SKIP() << "no read-only mark on folders here";
  ASSERT_TRUE(MakeReadOnly(kMaps));
  CheckDataFolder(*context);
  EXPECT_EQ(run.lines, (TLines{"Checking FENRO directory", "     FENRO file folder is read-only"}));
  EXPECT_FALSE(IsReadOnly(kFolder));
  // The subfolders are cleared too, silently.
  EXPECT_FALSE(IsReadOnly(kMaps));
}

TEST_F(DataFolderCheckTest, AReadOnlySubfolderIsClearedWithoutALine) {
  platform.drive.Folder(kCoverPix);
  platform.drive.Folder(kMaps);
  for (const std::string& folder : {kCoverPix, kMaps}) {
    run.lines.clear();
    if (!MakeReadOnly(folder)) GTEST_SKIP() << "no read-only mark on folders here";
    CheckDataFolder(*context);
    EXPECT_EQ(run.lines, TLines{"Checking FENRO directory"}) << folder;
    EXPECT_FALSE(IsReadOnly(folder)) << folder;
  }
}

TEST_F(DataFolderCheckTest, AMarkThatCannotBeClearedIsPassedOver) {
  if (!MakeReadOnly(kFolder)) GTEST_SKIP() << "no read-only mark on folders here";
  test::TFaultFileSystem faults(platform.drive.fileSystem);
  env::InstallFileSystem(&faults);
  faults.Arm(1, test::TFault::kStop);
  CheckDataFolder(*context);
  EXPECT_TRUE(faults.Triggered());
  EXPECT_EQ(run.lines, (TLines{"Checking FENRO directory", ""}));
  EXPECT_TRUE(IsReadOnly(kFolder));
  faults.Disarm();
  env::InstallFileSystem(&platform.drive.fileSystem);
}

TEST_F(DataFolderCheckTest, AStoppedRunChecksNothing) {
  ASSERT_TRUE(env::DefaultFileSystem().Remove(Data("Books.db")));
  run.state.Running = false;
  CheckDataFolder(*context);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace remdo::repair
