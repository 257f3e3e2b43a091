// The scratch repair run of the verify-only run.
#include "app/ScratchRepair.h"

#include <chrono>
#include <exception>

#include "app/ErrorHandler.h"
#include "app/MainForm.h"
#include "env/Dialogs.h"
#include "env/Errors.h"
#include "env/FileCopy.h"
#include "env/FileSystem.h"
#include "env/Path.h"
#include "env/SystemInfo.h"
#include "env/Text.h"
#include "installation/DataFolder.h"
#include "repair/AutomaticBackup.h"
#include "repair/RunKeeping.h"

namespace remdo::app {

namespace {

constexpr std::uint64_t kMegabyte = 1048576;
// The run rebuilds every table beside its old files and keeps the old ones
// for an undo: the copy and twice its size again, and some room to spare.
constexpr std::uint64_t kRoomFactor = 3;
constexpr std::uint64_t kSpareRoom = 16 * kMegabyte;
constexpr std::uint32_t kKeptAttributes = env::attr::kReadOnly | env::attr::kHidden | env::attr::kArchive;

// The window of the scratch run: nothing shown, and closed when the verify
// run's window is. While the verify run's window handles its messages, its
// own boxes are shown (Cancel asks "Are you sure?").
class TScratchView final : public TFormView {
 public:
  TScratchView(TFormView& outer, env::TDialogs& outerDialogs) : outer_(outer), outerDialogs_(outerDialogs) {}
  void Update() override {}
  void ProcessMessages() override {
    const env::TDialogsScope scope(outerDialogs_);
    outer_.ProcessMessages();
  }
  bool Terminating() override { return outer_.Terminating(); }
  bool Showing() override { return true; }
  void Close() override {}
  void SetClipboardText(std::string_view) override {}
  void SetBusyCursor(bool) override {}
  void FocusCloseButton() override {}
  std::string DateTimeText(std::int64_t unixSeconds) override { return outer_.DateTimeText(unixSeconds); }

 private:
  TFormView& outer_;
  env::TDialogs& outerDialogs_;
};

// Every box of the scratch run is answered as nobody is there to answer:
// No, the safe answer.
class TUnansweredDialogs final : public env::TDialogs {
 public:
  bool Show(const env::TMessageBox& box) override { return !box.IsQuestion(); }
};

// Puts the data folder back when the scratch run is over.
class TDataFolderSwap {
 public:
  explicit TDataFolderSwap(const std::string& folder) : previous_(installation::GetDataFolder()) {
    installation::SetDataFolder(folder);
  }
  ~TDataFolderSwap() { installation::SetDataFolder(previous_); }
  TDataFolderSwap(const TDataFolderSwap&) = delete;
  TDataFolderSwap& operator=(const TDataFolderSwap&) = delete;

 private:
  std::string previous_;
};

// The files of folder (not its sub-folders), with their sizes.
std::vector<env::TFindEntry> FilesOf(const std::string& folder) {
  std::vector<env::TFindEntry> files;
  for (auto& entry : env::DefaultFileSystem().Find(folder + "*", env::attr::kAnyFile)) {
    if ((entry.attributes & env::attr::kDirectory) == 0) files.push_back(std::move(entry));
  }
  return files;
}

std::uint64_t TotalSize(const std::vector<env::TFindEntry>& files) {
  std::uint64_t total = 0;
  for (const auto& file : files) total += file.size;
  return total;
}

void CopyFiles(const std::string& from, const std::vector<env::TFindEntry>& files, const std::string& to) {
  auto& fileSystem = env::DefaultFileSystem();
  if (!env::MakeFolders(fileSystem, to)) throw env::EFCreateError("Cannot create folder " + to);
  for (const auto& file : files) {
    env::CopyWholeFile(fileSystem, from + file.name, to + file.name);
    if ((file.attributes & env::attr::kReadOnly) != 0) {
      (void)fileSystem.SetAttributes(to + file.name, file.attributes & kKeptAttributes);
    }
  }
}

std::vector<std::string> ScratchParams(const TCommandLine& commandLine) {
  std::vector<std::string> params;
  for (const auto& param : commandLine.Params()) {
    if (env::UpperCase(param) != "VERIFY") params.push_back(param);
  }
  return params;
}

void RunOnCopy(const TCommandLine& commandLine, TFormView& view, const std::function<void(TMainForm&)>& sequence,
               TScratchRepair& result) {
  env::TDialogs& outerDialogs = env::Dialogs();
  TUnansweredDialogs dialogs;
  const env::TDialogsScope scope(dialogs);
  TScratchView scratchView(view, outerDialogs);
  const TCommandLine scratchLine(commandLine.ProgramPath(), ScratchParams(commandLine));
  TMainForm form(scratchLine, scratchView, false);
  form.SetTableSequence(sequence);
  // The run neither closes its window (which would start the catalogue
  // application) nor touches the catalogue's settings.
  form.AutoCloseChk.checked = false;
  form.TurnOffOnlineOptionsChk.checked = false;
  form.FormPaint();
  try {
    form.Timer1Timer();
  } catch (...) {
    result.runError = UncaughtErrorText(std::current_exception());
  }
  form.Database1.Close();
  result.made = true;
  result.outcomes = form.RunState.TableOutcomes;
  result.log = form.LogFileMemo.lines;
}

}  // namespace

std::string ScratchFolderStem() {
  const std::string temp = env::GetTempFolder();
  return temp.empty() ? std::string() : temp + "RemdoVerify";
}

TScratchRepair RunScratchRepair(const TCommandLine& commandLine, TFormView& view,
                                const std::function<void(TMainForm&)>& sequence, const std::string& dataFolder) {
  TScratchRepair result;
  const std::string saveFolder = repair::SaveFolder();
  const std::vector<env::TFindEntry> dataFiles = FilesOf(dataFolder);
  const std::vector<env::TFindEntry> savedFiles = FilesOf(saveFolder);
  const std::uint64_t size = TotalSize(dataFiles) + TotalSize(savedFiles);
  const std::string temp = env::GetTempFolder();
  const auto free = temp.empty() ? std::nullopt : env::DriveFreeBytes(temp);
  if (!free) {
    result.reason = "the free space of the temporary folder is not known";
    return result;
  }
  const std::uint64_t needed = kRoomFactor * size + kSpareRoom;
  if (*free < needed) {
    result.reason = "the temporary folder has " + std::to_string(*free / kMegabyte) +
                    " MB free, a repair of a copy needs " + std::to_string(needed / kMegabyte) + " MB";
    return result;
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const std::string scratch = env::IncludeTrailingSeparator(
      ScratchFolderStem() + std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
  try {
    CopyFiles(dataFolder, dataFiles, scratch);
    if (!savedFiles.empty()) {
      CopyFiles(saveFolder, savedFiles, scratch + saveFolder.substr(dataFolder.size()));
    }
    const TDataFolderSwap swap(scratch);
    RunOnCopy(commandLine, view, sequence, result);
  } catch (const env::ERemdoError& error) {
    result.made = false;
    result.reason = "the data folder could not be copied: " + std::string(error.what());
  }
  (void)repair::RemoveFolderTree(env::DefaultFileSystem(), scratch);
  return result;
}

}  // namespace remdo::app
