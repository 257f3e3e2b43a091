// The "open" verb of the Linux shell with which the run's ending starts the
// catalogue application: a Windows program (a file that begins with "MZ",
// whatever its name) through Wine with its parameters, any other file
// through xdg-open. Both are stood in for by scripts on the PATH that
// write down how they were called.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "env/FileSystem.h"
#include "env/Shell.h"
#include "support/TestSupport.h"

namespace remdo::env {
namespace {

class PosixShellOpen : public ::testing::Test {
 protected:
  PosixShellOpen() : path_(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "") {
    for (const char* program : {"wine", "xdg-open"}) {
      const std::string script = bin_ / program;
      test::WriteWholeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$(basename \"$0\")\" \"$@\" > \"" + out_.Path() +
                                       program + ".called\"\n");
      EXPECT_EQ(std::system(("chmod +x '" + script + "'").c_str()), 0);
    }
    ::setenv("PATH", (bin_.Path() + ":" + path_).c_str(), 1);
  }
  ~PosixShellOpen() override { ::setenv("PATH", path_.c_str(), 1); }

  // What the stand-in program wrote, once it has run (the shell starts it
  // detached, so it may come a little later).
  std::string Called(const std::string& program) {
    const std::string file = out_ / (program + ".called");
    for (int i = 0; i < 200 && !RealFileSystem().FileExists(file); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!RealFileSystem().FileExists(file)) return "<not called>";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the script finishes its line
    const auto bytes = test::ReadWholeFile(file);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  bool WasCalled(const std::string& program) { return RealFileSystem().FileExists(out_ / (program + ".called")); }

  test::TScratchFolder bin_;
  test::TScratchFolder out_;
  test::TScratchFolder files_;
  const std::string path_;
};

TEST_F(PosixShellOpen, WindowsProgramRunsUnderWineWithItsParameters) {
  for (const char* name : {"FENRO.exe", "FENRO.bin"}) {
    const std::string program = files_ / name;
    test::WriteWholeFile(program, std::string("MZ\x90\0", 4) + "rest of the image");
    ASSERT_TRUE(RealShell().Open(program, "+")) << name;
    EXPECT_EQ(Called("wine"), "wine\n" + program + "\n+\n") << name;
    EXPECT_FALSE(WasCalled("xdg-open")) << name;
    ASSERT_TRUE(RealFileSystem().Remove(out_ / "wine.called"));
  }
}

TEST_F(PosixShellOpen, OtherFilesGoToTheDesktopsOpener) {
  const std::string script = files_ / "FENRO.exe";
  test::WriteWholeFile(script, "#!/bin/sh\n");  // named like a Windows program, but is none
  ASSERT_TRUE(RealShell().Open(script, "+"));
  EXPECT_EQ(Called("xdg-open"), "xdg-open\n" + script + "\n");
  EXPECT_FALSE(WasCalled("wine"));
}

}  // namespace
}  // namespace remdo::env
