#include <gtest/gtest.h>

#include <climits>

#include "installation/DataFolder.h"
#include "repair/Helpers.h"
#include "repair/RunState.h"

namespace remdo::repair {
namespace {

TEST(Helpers, FolderTableNamePadsTheAbsoluteValue) {
  const struct {
    std::int32_t n;
    const char* name;
  } cases[] = {
      {3, "Fldr0003"},      {-12, "Fldr0012"},           {0, "Fldr0000"}, {250, "Fldr0250"}, {9999, "Fldr9999"},
      {12345, "Fldr12345"}, {INT_MIN, "Fldr2147483648"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderTableName(c.n), c.name) << c.n;
}

TEST(Helpers, PluralSuffixIsEmptyOnlyForOne) {
  EXPECT_EQ(PluralSuffix(1), "");
  for (const std::int64_t n : {0, 2, 3, -1, 1000000}) EXPECT_EQ(PluralSuffix(n), "s") << n;
}

TEST(Helpers, DriveOfTakesTheDriveOrTheShare) {
  EXPECT_EQ(DriveOf("C:\\FENRO\\"), "C:");
  EXPECT_EQ(DriveOf("d:/data/"), "d:");
  EXPECT_EQ(DriveOf("\\\\server\\share\\FENRO\\"), "\\\\server\\share");
  EXPECT_EQ(DriveOf("\\\\server"), "\\\\server");
  EXPECT_EQ(DriveOf("/home/user/FENRO/"), "");
  EXPECT_EQ(DriveOf(""), "");
}

TEST(Helpers, DataDriveIsTheDriveOfTheDataFolder) {
  installation::ForgetDataFolder();
  installation::SetDataFolder("C:\\FENRO\\");
  EXPECT_EQ(DataDrive(), "C:");
  installation::ForgetDataFolder();
  installation::SetDataFolder("");
  EXPECT_EQ(DataDrive(), "");
  installation::ForgetDataFolder();
}

TEST(Helpers, ProgressPercentIsWholeAndBounded) {
  EXPECT_EQ(ProgressPercent(0, 10), 0);
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 66);
  EXPECT_EQ(ProgressPercent(10, 10), 100);
  EXPECT_EQ(ProgressPercent(11, 10), 100);
  EXPECT_EQ(ProgressPercent(5, 0), 0);
  EXPECT_EQ(ProgressPercent(3000000000LL, 4000000000LL), 75);
}

TEST(RunState, NameListsAreJoinedByComma) {
  std::string list;
  AppendToNameList(list, "Genre");
  EXPECT_EQ(list, "Genre");
  AppendToNameList(list, "Books");
  EXPECT_EQ(list, "Genre,Books");
}

}  // namespace
}  // namespace remdo::repair
