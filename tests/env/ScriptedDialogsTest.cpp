#include "support/ScriptedDialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "env/Dialogs.h"

namespace remdo::test {
namespace {

using env::TBoxKind;

TEST(ScriptedDialogs, ChecksBoxesInOrderAndAnswersQuestions) {
  TScriptedDialogs dialogs;
  const TInstalledDialogs installed(dialogs);
  dialogs.ExpectBox(TBoxKind::kError, "Could not locate FENRO directory.", "! Error !");
  dialogs.ExpectQuestion(TBoxKind::kYesNo, "Are you sure?", "Cancel", true);
  dialogs.Answer(false);

  env::ShowErrorBox("Could not locate FENRO directory.");
  EXPECT_TRUE(env::AskYesNo("Are you sure?", "Cancel"));
  EXPECT_FALSE(env::AskWarningYesNo("Replace the saved copy?"));

  ASSERT_EQ(dialogs.Boxes().size(), 3u);
  EXPECT_EQ(dialogs.Boxes()[2].kind, TBoxKind::kWarningYesNo);
  EXPECT_EQ(dialogs.Boxes()[2].caption, "! Warning !");
  EXPECT_EQ(dialogs.Pending(), 0u);
}

TEST(ScriptedDialogs, AnUnexpectedBoxFailsAndAQuestionGetsNo) {
  TScriptedDialogs dialogs;
  const TInstalledDialogs installed(dialogs);
  EXPECT_NONFATAL_FAILURE(env::ShowInfoBox("Done", "Installer"), "unexpected info box");
  bool answer = true;
  EXPECT_NONFATAL_FAILURE(answer = env::AskYesNo("Download?", "Engine"), "(answered No)");
  EXPECT_FALSE(answer);
  EXPECT_EQ(dialogs.Boxes().size(), 2u);
}

TEST(ScriptedDialogs, ADifferentBoxFails) {
  TScriptedDialogs dialogs;
  const TInstalledDialogs installed(dialogs);
  dialogs.ExpectBox(TBoxKind::kWarning, "Low disk space", "! Warning !");
  EXPECT_NONFATAL_FAILURE(env::ShowErrorBox("Low disk space"), "but got error box");
  dialogs.Answer(true);
  EXPECT_NONFATAL_FAILURE(env::ShowInfoBox("Done", "Installer"), "expected a question");
}

TEST(ScriptedDialogs, BoxesNeverShownFailAtTheEnd) {
  EXPECT_NONFATAL_FAILURE(
      {
        TScriptedDialogs dialogs;
        dialogs.ExpectBox(TBoxKind::kInfo, "New FenroRemdo program file installed.", "Installer");
      },
      "expected box never shown");
  TScriptedDialogs dialogs;
  dialogs.Answer(true);
  EXPECT_NONFATAL_FAILURE(dialogs.Verify(), "never asked");
  EXPECT_EQ(dialogs.Pending(), 0u);
}

TEST(ScriptedDialogs, InstallerPutsBackThePreviousDialogs) {
  env::TDialogs* const before = &env::Dialogs();
  TScriptedDialogs outer;
  {
    const TInstalledDialogs installOuter(outer);
    EXPECT_EQ(&env::Dialogs(), &outer);
    TScriptedDialogs inner;
    {
      const TInstalledDialogs installInner(inner);
      EXPECT_EQ(&env::Dialogs(), &inner);
    }
    EXPECT_EQ(&env::Dialogs(), &outer);
  }
  EXPECT_EQ(&env::Dialogs(), before);
}

}  // namespace
}  // namespace remdo::test
