// A whole repair run of the progress window's model with the real table
// sequence, on the test platform's drive (the data folder C:\FENRO\), with
// scripted message boxes and without flushes: the runs write scratch data.
#ifndef REMDO_TESTS_INTEGRATION_WHOLERUNFIXTURE_H_
#define REMDO_TESTS_INTEGRATION_WHOLERUNFIXTURE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/AppTestPlatform.h"
#include "app/FormTestSupport.h"
#include "app/MainForm.h"
#include "app/TableSequence.h"
#include "generator/CatalogueGenerator.h"
#include "paradox/engine/Engine.h"
#include "support/PassThroughFileSystem.h"
#include "support/ScriptedDialogs.h"

namespace remdo::app::testing {

class TWholeRunFixture {
 public:
  explicit TWholeRunFixture(std::vector<std::string> params = {})
      : installed(dialogs),
        commandLine(test::kProgramFolder + std::string("FenroRemdo.exe"), std::move(params)),
        form(std::make_unique<TMainForm>(commandLine, view, false)) {
    form->SetTableSequence(RepairTableSequence());
  }
  ~TWholeRunFixture() {
    try {
      if (created) form->FormDestroy();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "FormDestroy: " << e.what();
    }
  }
  TWholeRunFixture(const TWholeRunFixture&) = delete;
  TWholeRunFixture& operator=(const TWholeRunFixture&) = delete;

  // Shows the window and lets its timer start the run, which ends before
  // this returns.
  void Start() {
    form->FormCreate();
    created = true;
    form->FormPaint();
    form->Timer1Timer();
  }
  // Ends this process of the program without its orderly close, as a crash
  // does (whatever the engine still writes fails when the installed file
  // system has stopped), and opens a new window on the same drive, as a new
  // process would: the engine started afresh, without the warnings and the
  // catalogue's format values of the one before.
  void Restart() {
    try {
      form->FormDestroy();
    } catch (const std::exception&) {
    }
    form.reset();
    if (paradox::TEngineSession::Instance().Started()) (void)paradox::DbiExit();
    (void)paradox::TEngineSession::Instance().TakeWarnings();
    catalogue::ResetCatalogueSettings();
    view = test::THeadlessView{};
    form = std::make_unique<TMainForm>(commandLine, view, false);
    form->SetTableSequence(RepairTableSequence());
    created = false;
  }
  // Restart with other command-line parameters, as the next start of the
  // program with them.
  void RestartWith(std::vector<std::string> params) {
    commandLine = TCommandLine(commandLine.ProgramPath(), std::move(params));
    Restart();
  }
  bool Logged(const std::string& line) const {
    const auto& log = form->LogFileMemo.lines;
    return std::count(log.begin(), log.end(), line) > 0;
  }

  test::TAppPlatform platform;
  test::TPassThroughFileSystem files{platform.drive.fileSystem, false};
  test::TInstalledFileSystem filesInstalled{files};
  test::TScriptedDialogs dialogs;
  test::TInstalledDialogs installed;
  TCommandLine commandLine;
  test::THeadlessView view;
  std::unique_ptr<TMainForm> form;
  tools::TGeneratedCatalogue catalogue;
  bool created = false;
};

}  // namespace remdo::app::testing

#endif  // REMDO_TESTS_INTEGRATION_WHOLERUNFIXTURE_H_
