// How repair steps report to the progress window without knowing it: the
// run log, the Cancel test, the message panel, the progress bar, the aqua
// wait panel, the Cancel button and the window's choices. The window model
// of the application layer implements it; tests implement it headless.
#ifndef REMDO_REPAIR_RUNREPORTER_H_
#define REMDO_REPAIR_RUNREPORTER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "repair/RunState.h"

namespace remdo::repair {

// The three check boxes of the window.
enum class TChoice { kClipboard, kAutoClose, kTurnOffOnlineOptions };

class TRunReporter {
 public:
  virtual ~TRunReporter() = default;

  // The run state the steps share.
  virtual TRunState& State() = 0;

  // Adds one line to the run log and returns true. A text beginning with "~"
  // goes to the log file only, without the "~"; an empty text is an empty
  // line.
  virtual bool LogLine(std::string_view text) = 0;
  // Lets the window handle pending messages (so it repaints and Cancel
  // works) and answers whether the run may go on. Every long loop calls it
  // and stops when it returns false.
  virtual bool KeepGoing() = 0;
  // Lets the window handle pending messages without asking about the run.
  virtual void ProcessMessages() = 0;
  // The run option test of start-up, given an upper-case option word.
  virtual bool RunOption(std::string_view word) const = 0;

  // Sets the message panel's text and shows it at once (empty clears it).
  virtual void SetMessage(std::string_view text) = 0;
  // Sets the progress bar to a whole percentage, 0 to 100.
  virtual void SetProgress(int percent) = 0;
  // Shows the aqua wait panel in place of the progress bar (true) or the
  // progress bar again (false), for steps that cannot measure progress.
  virtual void ShowWaitPanel(bool show) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void SetCancelEnabled(bool enabled) = 0;
  virtual void SetChoiceEnabled(TChoice choice, bool enabled) = 0;

  // A time (seconds since 1970-01-01 UTC) as text in the system's short
  // date and long time format, as the run log shows times.
  virtual std::string DateTimeText(std::int64_t unixSeconds) = 0;
};

}  // namespace remdo::repair

#endif  // REMDO_REPAIR_RUNREPORTER_H_
