// Message boxes for headless tests. A test states, in order, every box the
// code under test is to show; each box shown is checked against the next
// expectation and recorded. Policy:
//   - a box with no expectation left fails the test (an unexpected box); a
//     question gets No, the safe answer, any other box is just recorded;
//   - a box that differs from its expectation (kind, text or caption) fails
//     the test; a question still gets the expected answer;
//   - expectations not met by the end fail the test: Verify() checks at any
//     point, the destructor checks once more.
// Failures are reported with ADD_FAILURE, so a box shown deep inside the code
// under test fails the test without unwinding through it.
//
//   TScriptedDialogs dialogs;
//   TInstalledDialogs installed(dialogs);
//   dialogs.ExpectBox(env::TBoxKind::kInfo, "Error: DBIERR_KEYVIOL", "Error");
//   dialogs.ExpectQuestion(env::TBoxKind::kYesNo, "Are you sure?", "Cancel", true);
#ifndef REMDO_TESTS_SUPPORT_SCRIPTEDDIALOGS_H_
#define REMDO_TESTS_SUPPORT_SCRIPTEDDIALOGS_H_

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/Dialogs.h"

namespace remdo::test {

class TScriptedDialogs final : public env::TDialogs {
 public:
  TScriptedDialogs() = default;
  ~TScriptedDialogs() override;
  TScriptedDialogs(const TScriptedDialogs&) = delete;
  TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;

  // The next box is this box (error, warning or info), exactly.
  void ExpectBox(env::TBoxKind kind, std::string_view text, std::string_view caption);
  // The next box is this question, exactly; it gets the answer (true: Yes).
  void ExpectQuestion(env::TBoxKind kind, std::string_view text, std::string_view caption, bool answer);
  // The next box is a question of any kind and text; it gets the answer.
  void Answer(bool answer);

  bool Show(const env::TMessageBox& box) override;

  // Every box shown so far, in order.
  const std::vector<env::TMessageBox>& Boxes() const { return boxes_; }
  // Number of expectations not yet met.
  std::size_t Pending() const { return expected_.size(); }
  // Fails the test for every expectation not yet met, and forgets them.
  void Verify();

 private:
  struct TExpectation {
    std::optional<env::TMessageBox> box;  // nothing: any question
    bool answer = false;
  };

  std::deque<TExpectation> expected_;
  std::vector<env::TMessageBox> boxes_;
};

// Installs a TDialogs for its lifetime and puts back the one installed
// before.
class TInstalledDialogs {
 public:
  explicit TInstalledDialogs(env::TDialogs& dialogs);
  ~TInstalledDialogs();
  TInstalledDialogs(const TInstalledDialogs&) = delete;
  TInstalledDialogs& operator=(const TInstalledDialogs&) = delete;

 private:
  env::TDialogs* const previous_;
};

// A box as text for failure messages: kind, caption and text.
std::string Describe(const env::TMessageBox& box);

}  // namespace remdo::test

#endif  // REMDO_TESTS_SUPPORT_SCRIPTEDDIALOGS_H_
