// A prefix's registry is never written while a Wine server runs for it:
// the server would write its own copy over the file. A process holding the
// server's lock stands for the server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "env/FileCopy.h"
#include "env/Host.h"
#include "env/Path.h"
#include "env/Registry.h"
#include "env/SystemInfo.h"
#include "support/LockHolder.h"
#include "support/TestSupport.h"

namespace remdo::env {
namespace {

// The server's folder for a prefix, as Wine names it.
std::string ServerFolder(const std::string& prefix) {
  struct stat folder {};
  EXPECT_EQ(::stat(prefix.c_str(), &folder), 0);
  char name[128];
  std::snprintf(name, sizeof name, "/tmp/.wine-%u/server-%llx-%llx", static_cast<unsigned>(::getuid()),
                static_cast<unsigned long long>(folder.st_dev), static_cast<unsigned long long>(folder.st_ino));
  return name;
}

TEST(WineServer, PrefixRegistryIsNotWrittenWhileWineRuns) {
  test::TScratchFolder scratch;
  const std::string prefix = scratch / "prefix";
  const std::string key = "Software\\Borland\\Database Engine";
  const std::string text =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
      "[Software\\\\Borland\\\\Database Engine] 1796676158\n\"DLLPATH\"=\"C:\\\\BDE\"\n";
  ASSERT_TRUE(MakeFolders(RealFileSystem(), prefix + "/dosdevices"));
  test::WriteWholeFile(prefix + "/system.reg", text);
  ASSERT_TRUE(UseWinePrefix(prefix));
  const std::string server = ServerFolder(prefix);
  ASSERT_EQ(std::system(("mkdir -p -m 700 '" + server + "'").c_str()), 0);
  auto holder = std::make_unique<test::TLockHolder>(server + "/lock", test::THold::kRecordLock);
  const TIoResult refused = RealRegistry().WriteString(TRegistryRoot::kLocalMachine, key, "DLLPATH", "C:\\NEW");
  holder.reset();
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.reason.find("wineserver -k"), std::string::npos) << refused.reason;
  const auto bytes = test::ReadWholeFile(prefix + "/system.reg");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), text);
  EXPECT_EQ(RealRegistry().ReadString(TRegistryRoot::kLocalMachine, key, "DLLPATH"), "C:\\BDE");

  // The server gone (its lock file stays behind), the write goes through.
  EXPECT_TRUE(RealRegistry().WriteString(TRegistryRoot::kLocalMachine, key, "DLLPATH", "C:\\NEW"));
  EXPECT_EQ(RealRegistry().ReadString(TRegistryRoot::kLocalMachine, key, "DLLPATH"), "C:\\NEW");
  ::unlink((server + "/lock").c_str());
  ::rmdir(server.c_str());
  ResetHost();
  ForgetSystemInfo();
}

}  // namespace
}  // namespace remdo::env
