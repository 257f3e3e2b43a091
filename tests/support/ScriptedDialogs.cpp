// Scripted message boxes for headless tests.
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include "env/Text.h"

namespace remdo::test {

namespace {

const char* KindName(env::TBoxKind kind) {
  switch (kind) {
    case env::TBoxKind::kError:
      return "error";
    case env::TBoxKind::kWarning:
      return "warning";
    case env::TBoxKind::kInfo:
      return "info";
    case env::TBoxKind::kYesNo:
      return "yes/no";
    case env::TBoxKind::kWarningYesNo:
      return "warning yes/no";
  }
  return "?";
}

bool SameBox(const env::TMessageBox& a, const env::TMessageBox& b) {
  return a.kind == b.kind && a.text == b.text && a.caption == b.caption;
}

}  // namespace

std::string Describe(const env::TMessageBox& box) {
  return std::string(KindName(box.kind)) + " box, caption \"" + env::Cp1252ToUtf8(box.caption) + "\", text \"" +
         env::Cp1252ToUtf8(box.text) + "\"";
}

TScriptedDialogs::~TScriptedDialogs() { Verify(); }

void TScriptedDialogs::ExpectBox(env::TBoxKind kind, std::string_view text, std::string_view caption) {
  const env::TMessageBox box{kind, std::string(text), std::string(caption)};
  if (box.IsQuestion()) ADD_FAILURE() << "ExpectBox given a question; use ExpectQuestion: " << Describe(box);
  expected_.push_back({box, false});
}

void TScriptedDialogs::ExpectQuestion(env::TBoxKind kind, std::string_view text, std::string_view caption,
                                      bool answer) {
  const env::TMessageBox box{kind, std::string(text), std::string(caption)};
  if (!box.IsQuestion()) ADD_FAILURE() << "ExpectQuestion given a plain box; use ExpectBox: " << Describe(box);
  expected_.push_back({box, answer});
}

void TScriptedDialogs::Answer(bool answer) { expected_.push_back({std::nullopt, answer}); }

bool TScriptedDialogs::Show(const env::TMessageBox& box) {
  boxes_.push_back(box);
  if (expected_.empty()) {
    ADD_FAILURE() << "unexpected " << Describe(box) << (box.IsQuestion() ? " (answered No)" : "");
    return !box.IsQuestion();
  }
  const TExpectation next = expected_.front();
  expected_.pop_front();
  if (next.box) {
    if (!SameBox(*next.box, box))
      ADD_FAILURE() << "expected " << Describe(*next.box) << "\n  but got " << Describe(box);
  } else if (!box.IsQuestion()) {
    ADD_FAILURE() << "expected a question but got " << Describe(box);
  }
  return box.IsQuestion() ? next.answer : true;
}

void TScriptedDialogs::Verify() {
  for (const TExpectation& missing : expected_) {
    if (missing.box) {
      ADD_FAILURE() << "expected box never shown: " << Describe(*missing.box);
    } else {
      ADD_FAILURE() << "expected question never asked (answer " << (missing.answer ? "Yes" : "No") << ")";
    }
  }
  expected_.clear();
}

TInstalledDialogs::TInstalledDialogs(env::TDialogs& dialogs) : previous_(&env::Dialogs()) {
  env::InstallDialogs(&dialogs);
}

// Putting back the previous object also works when it was the fallback:
// installing the fallback behaves exactly like installing nothing.
TInstalledDialogs::~TInstalledDialogs() { env::InstallDialogs(previous_); }

}  // namespace remdo::test
