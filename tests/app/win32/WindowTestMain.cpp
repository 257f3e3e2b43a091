// The real progress window under test: the program's own window with a
// table-sequence step of the test's own that keeps the run going, so that a
// driver outside (window-test.sh, under Xvfb) can press Cancel, answer the
// question and tick the boxes as a user would.
//
//   remdo_window_test <folder> cancel   the step runs until the run is stopped
//   remdo_window_test <folder> wait     the step runs until <folder>proceed.txt
//                                       exists (or the run is stopped)
// The step writes <folder>running.txt once it runs and <folder>ended.txt
// when it ends; the folder is the run's data folder.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>

#include "app/MainForm.h"
#include "app/win32/WindowApp.h"
#include "env/DataFolder.h"
#include "env/FileSystem.h"
#include "env/Path.h"

namespace {

void KeepRunning(remdo::app::TMainForm& form, const std::string& folder, bool waitForFile) {
  auto& fileSystem = remdo::env::DefaultFileSystem();
  form.LogLine("    test step: running until stopped");
  fileSystem.Open(folder + "running.txt", remdo::env::TOpenMode::kCreate)->Close();
  while (form.KeepGoing()) {
    if (waitForFile && fileSystem.FileExists(folder + "proceed.txt")) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  form.LogLine("    test step: done");
  fileSystem.Open(folder + "ended.txt", remdo::env::TOpenMode::kCreate)->Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: remdo_window_test <folder> cancel|wait\n", stderr);
    return 2;
  }
  const std::string folder = remdo::env::IncludeTrailingSeparator(argv[1]);
  const bool waitForFile = std::string(argv[2]) == "wait";
  remdo::env::SetDataFolder(folder);
  const remdo::app::TCommandLine commandLine = remdo::app::win32::ProcessCommandLine();
  try {
    remdo::app::win32::RunProgressWindow(commandLine, false, [folder, waitForFile](remdo::app::TMainForm& form) {
      KeepRunning(form, folder, waitForFile);
    });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
