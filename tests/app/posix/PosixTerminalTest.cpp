#include "app/console/posix/PosixTerminal.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <csignal>

namespace remdo::app::console {
namespace {

TEST(PosixTerminal, CtrlCIsReportedOnceInsteadOfEndingTheProgram) {
  {
    TPosixTerminal terminal;
    EXPECT_FALSE(terminal.TakeInterrupt());
    ASSERT_EQ(std::raise(SIGINT), 0);  // would end the test program without the handler
    EXPECT_TRUE(terminal.TakeInterrupt());
    EXPECT_FALSE(terminal.TakeInterrupt());
    ASSERT_EQ(std::raise(SIGINT), 0);
    ASSERT_EQ(std::raise(SIGINT), 0);
    EXPECT_TRUE(terminal.TakeInterrupt());  // two presses before a look count once
    EXPECT_FALSE(terminal.CurrentFolder().empty());
  }
  // The earlier handling is back once the terminal is gone.
  struct sigaction now {};
  ASSERT_EQ(sigaction(SIGINT, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace remdo::app::console
