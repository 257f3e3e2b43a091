#include "app/MainForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/FormTestSupport.h"
#include "app/AppTestPlatform.h"
#include "app/RunMode.h"
#include "support/ScriptedDialogs.h"

namespace remdo::app {
namespace {

using test::THeadlessView;
using test::TInstalledDialogs;
using test::TScriptedDialogs;

struct TFormFixture {
  explicit TFormFixture(std::vector<std::string> params = {}, std::string program = "C:\\FENRO\\FenroRemdo.exe")
      : commandLine(std::move(program), std::move(params)), form(commandLine, view, false) {}

  test::TAppPlatform platform;
  TCommandLine commandLine;
  THeadlessView view;
  TMainForm form;
};

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST(MainForm, LogLineSendsTildeLinesToTheLogFileOnly) {
  TFormFixture f;
  f.form.LogLine("shown");
  f.form.LogLine("~    12:00:00");
  f.form.LogLine("");
  f.form.LogLine("~");
  EXPECT_EQ(f.form.RepairProgressMemo.lines, (std::vector<std::string>{"shown", ""}));
  EXPECT_EQ(f.form.LogFileMemo.lines, (std::vector<std::string>{"shown", "    12:00:00", "", ""}));
}

TEST(MainForm, PendingHeaderIsWrittenOnlyBeforeAFollowingLine) {
  TFormFixture f;
  f.form.PendingHeader = "FENRO files found at:";
  f.form.PendingHeader.clear();  // no line followed
  f.form.LogLine("");
  f.form.PendingHeader = "FENRO files found at:";
  f.form.LogLine("    C:\\FENRO\\");
  f.form.LogLine("next");
  EXPECT_TRUE(f.form.PendingHeader.empty());
  EXPECT_EQ(f.form.RepairProgressMemo.lines,
            (std::vector<std::string>{"", "FENRO files found at:", "    C:\\FENRO\\", "next"}));
}

TEST(MainForm, DefaultsOfTheLayout) {
  TFormFixture f;
  const TMainForm& form = f.form;
  EXPECT_FALSE(form.ClipboardChk.checked);
  EXPECT_TRUE(form.AutoCloseChk.checked);
  EXPECT_FALSE(form.TurnOffOnlineOptionsChk.checked);
  EXPECT_FALSE(form.TurnOffOnlineOptionsChk.visible);
  EXPECT_FALSE(form.Panel1.visible);
  EXPECT_FALSE(form.Panel7.enabled);
  EXPECT_FALSE(form.Panel2.enabled);
  EXPECT_FALSE(form.LogFileMemo.visible);
  EXPECT_EQ(form.CloseBtn.caption, "Cancel");
  EXPECT_EQ(form.Timer1.interval, 500);
  for (const TControl* c : {&form.RepairProgressPanel, &form.Panel2, &form.RepairProgressMemo, &form.Panel3,
                            &form.MsgPanel, &form.ProgressBar1, &form.Panel1, &form.Panel4, &form.ClipboardChk,
                            &form.AutoCloseChk, &form.Panel5, &form.Panel6, &form.Panel7, &form.SendBtn,
                            &form.CloseBtn}) {
    EXPECT_GE(c->bounds.left, 0);
    EXPECT_GE(c->bounds.top, 0);
    EXPECT_LE(c->bounds.left + c->bounds.width, kClientWidth);
    EXPECT_LE(c->bounds.top + c->bounds.height, kClientHeight);
  }
}

TEST(MainForm, TimerStartsTheRunOnceAfterTheFirstPaint) {
  TScriptedDialogs dialogs;
  TInstalledDialogs installed(dialogs);
  TFormFixture f;
  f.form.AutoCloseChk.checked = false;
  f.form.Timer1Timer();
  EXPECT_FALSE(f.form.RunResult());  // not painted yet
  f.form.FormPaint();
  f.view.showing = false;
  f.form.Timer1Timer();
  EXPECT_FALSE(f.form.RunResult());  // not on screen
  f.view.showing = true;
  f.form.Timer1Timer();
  ASSERT_TRUE(f.form.RunResult());
  f.form.FormPaint();
  f.form.Timer1Timer();
  EXPECT_EQ(f.form.RunState.StartState, repair::TStartState::kStarted);
  EXPECT_EQ(Count(f.form.LogFileMemo.lines, "All tables completed."), 1);
}

// A table sequence that keeps the run going until it is stopped, with a
// Cancel click arriving while it pumps messages.
void RunWithCancelClick(TFormFixture& f, int clickAtPump) {
  f.form.SetTableSequence([](TMainForm& form) {
    for (int i = 0; i < 20 && form.KeepGoing(); ++i) {
    }
    form.LogLine("    sequence ended");
  });
  f.view.onPump = [&f, clickAtPump] {
    if (f.view.pumps == clickAtPump) f.form.CloseBtnClick();
  };
  f.form.FormPaint();
  f.form.Timer1Timer();
}

TEST(MainForm, CancelAnsweredNoLeavesTheRunGoing) {
  TScriptedDialogs dialogs;
  TInstalledDialogs installed(dialogs);
  dialogs.ExpectQuestion(env::TBoxKind::kYesNo, "Are you sure?", "Stop?", false);
  TFormFixture f;
  f.form.AutoCloseChk.checked = false;
  RunWithCancelClick(f, 3);
  EXPECT_EQ(Count(f.form.LogFileMemo.lines, "All tables completed."), 1);
  EXPECT_FALSE(f.form.RunState.Interrupted);
  EXPECT_FALSE(f.view.closed);
  EXPECT_EQ(f.form.CloseBtn.caption, "Close");
  EXPECT_TRUE(f.view.closeFocused);
}

TEST(MainForm, CancelAnsweredYesStopsTheRunAndCloses) {
  TScriptedDialogs dialogs;
  TInstalledDialogs installed(dialogs);
  dialogs.ExpectQuestion(env::TBoxKind::kYesNo, "Are you sure?", "Stop?", true);
  TFormFixture f;
  f.form.AutoCloseChk.checked = false;
  RunWithCancelClick(f, 3);
  EXPECT_TRUE(f.view.closed);
  EXPECT_FALSE(f.form.RunState.Running);
  EXPECT_FALSE(f.form.CloseBtn.enabled);
  EXPECT_TRUE(f.form.RunState.Interrupted);
  EXPECT_EQ(Count(f.form.LogFileMemo.lines, "...program stopped."), 1);
  EXPECT_EQ(Count(f.form.LogFileMemo.lines, "All tables completed."), 0);
  EXPECT_EQ(f.form.RunResult(), false);
}

TEST(MainForm, CancelKeyDoesNothingWhileTheButtonIsDisabled) {
  TScriptedDialogs dialogs;  // any box would fail the test
  TInstalledDialogs installed(dialogs);
  TFormFixture f;
  f.form.SetRunning(true);
  f.form.SetCancelEnabled(false);
  f.form.CancelKey();
  EXPECT_FALSE(f.view.closed);
  EXPECT_TRUE(f.form.RunState.Running);
}

}  // namespace
}  // namespace remdo::app
