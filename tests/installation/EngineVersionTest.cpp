#include <gtest/gtest.h>

#include "env/PeImage.h"
#include "env/TestPlatform.h"
#include "installation/EngineVersion.h"

namespace remdo::installation {
namespace {

using test::BuildPe;
using test::TScratchFolder;
using test::TTestPlatform;

constexpr std::string_view kEngineKey = "Software\\Borland\\Database Engine";

TEST(EngineVersion, TextForEveryInstallation) {
  TScratchFolder dir;
  auto& fs = env::RealFileSystem();
  ASSERT_TRUE(fs.MakeFolder(dir / "empty"));
  ASSERT_TRUE(fs.MakeFolder(dir / "bde"));
  ASSERT_TRUE(fs.MakeFolder(dir / "old"));
  ASSERT_TRUE(fs.MakeFolder(dir / "bare"));
  test::WriteWholeFile(dir / "bde/IDAPI32.DLL", BuildPe());
  test::TPeOptions old;
  old.version = {4, 51, 3, 9};
  test::WriteWholeFile(dir / "old/idapi32.dll", BuildPe(old));
  test::WriteWholeFile(dir / "bare/IDAPI32.DLL", "MZ, but no more");

  struct TCase {
    std::optional<std::string> dllPath;
    const char* text;
  };
  const std::vector<TCase> cases = {
      {std::nullopt, "not found"},
      {"", "not found"},
      {dir / "empty", "not found"},
      {dir / "empty;" + dir / "bde", "5.2.0"},  // found in the second folder
      {dir / "old;" + dir / "bde", "4.51.3"},   // the first one found counts
      {dir / "bare", ""},                       // a library without version
  };
  for (const TCase& t : cases) {
    test::TTestPlatform platform;
    platform.registry.CreateKey(env::TRegistryRoot::kLocalMachine, kEngineKey);
    if (t.dllPath) platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kEngineKey, "DLLPATH", *t.dllPath);
    EXPECT_EQ(GetEngineVersionText(), t.text) << t.dllPath.value_or("(none)");
  }
}

TEST(EngineVersion, NotFoundWithoutTheEngineKey) {
  test::TTestPlatform platform;
  EXPECT_EQ(FindEngineLibrary(), "");
  EXPECT_EQ(EngineFileVersion(), std::nullopt);
  EXPECT_EQ(GetEngineVersionText(), "not found");
}

TEST(EngineVersion, FolderWithoutSeparator) {
  TScratchFolder dir;
  test::WriteWholeFile(dir / "IDAPI32.DLL", BuildPe());
  test::TTestPlatform platform;
  platform.registry.SetString(env::TRegistryRoot::kLocalMachine, kEngineKey, "DLLPATH",
                              env::ExcludeTrailingSeparator(dir.Path()));
  EXPECT_EQ(FindEngineLibrary(), dir / "IDAPI32.DLL");
  EXPECT_EQ(EngineFileVersion()->fileVersionMS, 0x00050002u);
}

}  // namespace
}  // namespace remdo::installation
