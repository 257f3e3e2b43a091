// A headless front-end for the window model.
#ifndef REMDO_TESTS_APP_FORMTESTSUPPORT_H_
#define REMDO_TESTS_APP_FORMTESTSUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/FormView.h"

namespace remdo::test {

// Front-end without a screen. Tests inject events through onPump, which runs
// inside every ProcessMessages (as a click would arrive while the run pumps
// messages).
class THeadlessView final : public app::TFormView {
 public:
  void Update() override { ++updates; }
  void ProcessMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  bool Terminating() override { return closed; }
  bool Showing() override { return showing && !closed; }
  void Close() override { ++closeCount, closed = true; }
  void SetClipboardText(std::string_view text) override { clipboard = std::string(text); }
  void SetBusyCursor(bool value) override { busy = value; }
  void FocusCloseButton() override { closeFocused = true; }
  std::string DateTimeText(std::int64_t unixSeconds) override { return UtcText(unixSeconds); }

  // "YYYY-MM-DD HH:MM:SS" in UTC, computed without the C library.
  static std::string UtcText(std::int64_t t) {
    std::int64_t days = t / 86400;
    std::int64_t rest = t % 86400;
    if (rest < 0) rest += 86400, --days;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
  }

  std::function<void()> onPump;
  int updates = 0;
  int pumps = 0;
  int closeCount = 0;
  bool closed = false;
  bool showing = true;
  bool busy = false;
  bool closeFocused = false;
  std::string clipboard;
};

}  // namespace remdo::test

#endif  // REMDO_TESTS_APP_FORMTESTSUPPORT_H_
