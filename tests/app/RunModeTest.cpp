#include "app/RunMode.h"

#include <gtest/gtest.h>

namespace remdo::app {
namespace {

TCommandLine Line(std::string program, std::vector<std::string> params = {}) {
  return TCommandLine(std::move(program), std::move(params));
}

TEST(RunMode, ProgramFileNameIsTheLowercasedNameWithoutFolder) {
  EXPECT_EQ(Line("C:\\FENRO\\FenroRemdo.EXE").ProgramFileName(), "fenroremdo.exe");
  EXPECT_EQ(Line("/opt/remdo/Remdo").ProgramFileName(), "remdo");
  EXPECT_EQ(Line("REMDINST1.EXE").ProgramFileName(), "remdinst1.exe");
}

// Every word of the run-mode table, in the file name or on the command line.
TEST(RunMode, FileNameWords) {
  const struct {
    const char* path;
    bool installer, full, main, silent, fixchar;
  } cases[] = {
      {"C:\\FENRO\\FenroRemdo.exe", false, false, false, false, false},
      {"C:\\Setup\\remdinst1.exe", true, false, false, true, false},
      {"C:\\Setup\\REMDINST1.EXE", true, false, false, true, false},
      {"C:\\Setup\\xremdinst1.exe", true, false, false, false, false},
      {"C:\\Setup\\remdinst1.exe.bak", true, false, false, false, false},
      {"C:\\Setup\\FenroUpdate.exe", true, false, false, false, false},
      {"C:\\Setup\\UPGRADE.exe", true, false, false, false, false},
      {"C:\\Setup\\RemdoUpdateFull.exe", true, true, false, false, false},
      {"C:\\Setup\\RemdoUpdateMain.exe", true, false, true, false, false},
      {"C:\\Setup\\RemdoFullMain.exe", false, true, true, false, false},
      {"C:\\FixChar\\FenroRemdo.exe", false, false, false, false, true},
      {"C:\\FENRO\\remdo-fixchar.exe", false, false, false, false, true},
      {"C:\\Installs\\FenroRemdo.exe", false, false, false, false, false},  // folder words do not count
  };
  for (const auto& c : cases) {
    const TCommandLine line = Line(c.path);
    EXPECT_EQ(line.IsInstallerStart(), c.installer) << c.path;
    EXPECT_EQ(line.KeepsSave4(), c.full) << c.path;
    EXPECT_EQ(line.FixesDataFolder(), c.main) << c.path;
    EXPECT_EQ(line.IsSilentInstaller(), c.silent) << c.path;
    EXPECT_EQ(line.TakesSavedCharacters(), c.fixchar) << c.path;
  }
}

TEST(RunMode, PlusMustBeTheFirstParameterExactly) {
  EXPECT_TRUE(Line("remdo.exe", {"+"}).AllowsRunningCatalogue());
  EXPECT_TRUE(Line("remdo.exe", {"+", "STRICT"}).AllowsRunningCatalogue());
  EXPECT_FALSE(Line("remdo.exe", {"STRICT", "+"}).AllowsRunningCatalogue());
  EXPECT_FALSE(Line("remdo.exe", {"+!"}).AllowsRunningCatalogue());
  EXPECT_FALSE(Line("remdo.exe", {" +"}).AllowsRunningCatalogue());
  EXPECT_FALSE(Line("remdo.exe").AllowsRunningCatalogue());
}

TEST(RunMode, RunOptionTable) {
  const struct {
    const char* program;
    std::vector<std::string> params;
    const char* word;
    bool on;
  } cases[] = {
      // Parameters count when they equal the word after upper-casing.
      {"remdo.exe", {"installing"}, "INSTALLING", true},
      {"remdo.exe", {"pack"}, "PACK", true},
      {"remdo.exe", {"PackMemo"}, "PACKMEMO", true},
      {"remdo.exe", {"nopack"}, "NOPACK", true},
      {"remdo.exe", {"strict"}, "STRICT", true},
      {"remdo.exe", {"TableName", "Books"}, "TABLENAME", true},
      {"remdo.exe", {"remd"}, "REMD", true},
      {"remdo.exe", {"+!"}, "+!", true},
      {"remdo.exe", {"+u"}, "+U", true},
      {"remdo.exe", {"+x"}, "+X", true},
      {"remdo.exe", {"a", "b", "strict"}, "STRICT", true},
      // Exact matching: longer, shorter or padded words do not count.
      {"remdo.exe", {"STRICTER"}, "STRICT", false},
      {"remdo.exe", {"STRIC"}, "STRICT", false},
      {"remdo.exe", {" STRICT"}, "STRICT", false},
      {"remdo.exe", {"PACKMEMO"}, "PACK", false},
      {"remdo.exe", {"+"}, "+X", false},
      {"remdo.exe", {}, "REMD", false},
      // "INST" is tested as "INSTALLING": a parameter INST alone is no
      // installation run, INSTALLING answers both words.
      {"remdo.exe", {"INST"}, "INST", false},
      {"remdo.exe", {"INST"}, "INSTALLING", false},
      {"remdo.exe", {"INSTALLING"}, "INST", true},
      // File-name rules.
      {"C:\\x\\FenroInstall.exe", {}, "INSTALLING", true},
      {"C:\\x\\FenroInstall.exe", {}, "INST", true},
      {"C:\\x\\remdinst1.exe", {}, "INSTALLING", false},
      {"C:\\x\\RemdoPack.exe", {}, "PACKMEMO", true},
      {"C:\\x\\RemdoPack.exe", {}, "PACK", false},
      {"C:\\x\\RemdoPack.exe", {}, "NOPACK", false},
      {"C:\\x\\sTrIcTremdo.exe", {}, "STRICT", true},
      {"C:\\Strict\\remdo.exe", {}, "STRICT", false},
      {"C:\\x\\remd.exe", {}, "REMD", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Line(c.program, c.params).RunOption(c.word), c.on)
        << c.program << " " << (c.params.empty() ? "" : c.params.front()) << " -> " << c.word;
  }
}

TEST(RunMode, UpperCasingFollowsWindows1252) {
  // An accented parameter upper-cases by the 1252 tables; it must not match
  // a plain word nor break the comparison.
  EXPECT_FALSE(Line("remdo.exe", {"strict\xE9"}).RunOption("STRICT"));  // e acute
  EXPECT_TRUE(Line("remdo.exe", {"\xE9t\xE9"}).RunOption("\xC9T\xC9"));
}

}  // namespace
}  // namespace remdo::app
