// The window model: layout, run log, Cancel test and the window events that
// need nothing beyond the model. The run itself is in RepairRun.cpp, the
// report in RunReport.cpp.
#include "app/MainForm.h"

#include <algorithm>

#include "env/Dialogs.h"

namespace remdo::app {

namespace {

constexpr TBounds kMemoFrame{6, 6, 527, 338};
constexpr TBounds kMemoPanel{8, 8, 523, 334};
constexpr TBounds kMemo{10, 10, 519, 330};
constexpr TBounds kStatusFrame{6, 350, 527, 44};
constexpr TBounds kMessage{8, 352, 523, 20};
constexpr TBounds kProgress{8, 373, 523, 19};
constexpr TBounds kChoicesFrame{6, 400, 200, 52};
constexpr TBounds kClipboardBox{14, 406, 186, 18};
constexpr TBounds kAutoCloseBox{14, 428, 186, 18};
constexpr TBounds kOnlineOptionsBox{14, 428, 186, 18};
constexpr TBounds kButtonFrame{212, 400, 321, 52};
constexpr TBounds kButtonArea{214, 402, 317, 48};
constexpr TBounds kSendPanel{222, 404, 52, 44};
constexpr TBounds kSendButton{224, 406, 48, 40};
constexpr TBounds kCloseButton{411, 408, 112, 36};

TControl Control(TBounds bounds, std::string caption = {}) {
  TControl control;
  control.bounds = bounds;
  control.caption = std::move(caption);
  return control;
}

}  // namespace

TMainForm::TMainForm(const TCommandLine& commandLine, TFormView& view, bool installedMark)
    : commandLine_(commandLine), view_(view) {
  LayOut();
  RunState.InstalledMark = installedMark;
}

void TMainForm::LayOut() {
  RepairProgressPanel = Control(kMemoFrame);
  Panel2 = Control(kMemoPanel);
  Panel2.enabled = false;  // the memo takes no input until the run has ended
  RepairProgressMemo = Control(kMemo);
  RepairProgressMemo.colour = TColour::kButtonFace;
  Panel4 = Control(kChoicesFrame);
  ClipboardChk = Control(kClipboardBox, "copy to clipboard");
  AutoCloseChk = Control(kAutoCloseBox, "close when complete");
  AutoCloseChk.checked = true;
  TurnOffOnlineOptionsChk = Control(kOnlineOptionsBox, "turn off online options");
  TurnOffOnlineOptionsChk.visible = false;
  Panel5 = Control(kButtonFrame);
  Panel6 = Control(kButtonArea);
  Panel7 = Control(kSendPanel);
  Panel7.enabled = false;
  SendBtn = Control(kSendButton);
  CloseBtn = Control(kCloseButton, "Cancel");
  Panel3 = Control(kStatusFrame);
  ProgressBar1 = Control(kProgress);
  MsgPanel = Control(kMessage);
  Panel1 = Control(kProgress);
  Panel1.colour = TColour::kAqua;
  Panel1.visible = false;
  LogFileMemo = Control(kMemo);
  LogFileMemo.visible = false;
}

void TMainForm::AppendLine(std::string_view text) {
  if (!text.empty() && text.front() == '~') {
    LogFileMemo.lines.emplace_back(text.substr(1));
    return;
  }
  RepairProgressMemo.lines.emplace_back(text);
  LogFileMemo.lines.emplace_back(text);
}

bool TMainForm::LogLine(std::string_view text) {
  if (!PendingHeader.empty()) {
    const std::string header = std::move(PendingHeader);
    PendingHeader.clear();
    AppendLine(header);
  }
  AppendLine(text);
  view_.Update();
  return true;
}

bool TMainForm::KeepGoing() {
  view_.ProcessMessages();
  if (view_.Terminating()) RunState.Running = false;
  return RunState.Running;
}

void TMainForm::ProcessMessages() { view_.ProcessMessages(); }

void TMainForm::SetRunning(bool running) { RunState.Running = running; }

bool TMainForm::RunOption(std::string_view word) const { return commandLine_.RunOption(word); }

void TMainForm::FormPaint() {
  if (RunState.StartState == repair::TStartState::kCreated) RunState.StartState = repair::TStartState::kPainted;
}

void TMainForm::Timer1Timer() {
  // The timer keeps firing while the run pumps messages; only the first
  // tick after the first paint starts it.
  if (!view_.Showing() || RunState.StartState != repair::TStartState::kPainted) return;
  RunState.StartState = repair::TStartState::kStarted;
  runResult_ = RunRepair();
}

void TMainForm::CloseBtnClick() {
  if (KeepGoing() && !env::AskYesNo("Are you sure?", "Stop?")) return;
  // A run that an error ended still has Running set.
  if (!KeepGoing() || runEndedByError_) WriteRunReportOnClose();
  RunState.Running = false;
  CloseBtn.enabled = false;
  view_.Update();
  view_.Close();
}

void TMainForm::CancelKey() {
  if (CloseBtn.enabled && CloseBtn.visible) CloseBtnClick();
}

void TMainForm::CheckBoxClicked(repair::TChoice choice, bool checked) { Choice(choice).checked = checked; }

TControl& TMainForm::Choice(repair::TChoice choice) {
  switch (choice) {
    case repair::TChoice::kClipboard: return ClipboardChk;
    case repair::TChoice::kAutoClose: return AutoCloseChk;
    case repair::TChoice::kTurnOffOnlineOptions: return TurnOffOnlineOptionsChk;
  }
  return ClipboardChk;
}

void TMainForm::SetMessage(std::string_view text) {
  MsgPanel.caption = std::string(text);
  view_.Update();
}

void TMainForm::SetProgress(int percent) {
  ProgressBar1.position = std::clamp(percent, 0, 100);
  view_.Update();
}

void TMainForm::ShowWaitPanel(bool show) {
  Panel1.colour = TColour::kAqua;
  Panel1.visible = show;
  ProgressBar1.visible = !show;
  view_.Update();
}

void TMainForm::SetBusyCursor(bool busy) { view_.SetBusyCursor(busy); }

void TMainForm::SetCancelEnabled(bool enabled) {
  CloseBtn.enabled = enabled;
  view_.Update();
}

void TMainForm::SetChoiceEnabled(repair::TChoice choice, bool enabled) {
  Choice(choice).enabled = enabled;
  view_.Update();
}

std::string TMainForm::DateTimeText(std::int64_t unixSeconds) { return view_.DateTimeText(unixSeconds); }

}  // namespace remdo::app
