// A run without a window, for the tools, benchmarks and fuzz targets that
// drive repair steps directly: it keeps the run log in memory, runs until
// the state says stop, and ignores everything meant for the window.
#ifndef REMDO_REPAIR_HEADLESSRUN_H_
#define REMDO_REPAIR_HEADLESSRUN_H_

#include <string>
#include <vector>

#include "repair/RunReporter.h"

namespace remdo::repair {

class THeadlessRun : public TRunReporter {
 public:
  TRunState& State() override { return state; }
  bool LogLine(std::string_view text) override {
    lines.emplace_back(text);
    return true;
  }
  bool KeepGoing() override { return state.Running; }
  void ProcessMessages() override {}
  bool RunOption(std::string_view) const override { return false; }
  void SetMessage(std::string_view) override {}
  void SetProgress(int) override {}
  void ShowWaitPanel(bool) override {}
  void SetBusyCursor(bool) override {}
  void SetCancelEnabled(bool) override {}
  void SetChoiceEnabled(TChoice, bool) override {}
  std::string DateTimeText(std::int64_t unixSeconds) override { return std::to_string(unixSeconds); }

  TRunState state;
  std::vector<std::string> lines;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_HEADLESSRUN_H_
