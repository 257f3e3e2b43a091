// A file system that wraps the real one and fails its Nth call, for I/O fault
// and crash tests. Counted calls are those that can fail on a real disk:
// open, read, write, size, truncate, flush, close, attribute changes, rename,
// remove, folder creation and removal, folder sync, time changes. Queries
// (exists, attributes, find) pass through uncounted.
//
// kFail: the Nth call fails the way the OS would fail it (the open, read and
// write errors are thrown, the others return a failure); later calls work.
// kStop: the Nth call and every later counted call fail, so nothing reaches
// the disk after the Nth call: the state on disk is that of a crash there.
#ifndef REMDO_TESTS_SUPPORT_FAULTFILESYSTEM_H_
#define REMDO_TESTS_SUPPORT_FAULTFILESYSTEM_H_

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "env/FileSystem.h"
#include "support/InstalledFileSystem.h"

namespace remdo::test {

enum class TFault { kFail, kStop };

class TFaultFileSystem final : public env::TFileSystem {
 public:
  explicit TFaultFileSystem(env::TFileSystem& base = env::RealFileSystem()) : base_(base) {}

  // Fails the nth counted call from now (1-based).
  void Arm(long nth, TFault fault);
  // Fails the first counted call whose description (FailedCall) starts so.
  void ArmAtCall(std::string call, TFault fault);
  void Disarm();
  // Whether its files let the engine write them on another thread, as the
  // real ones do, so that faults reach its background writes. Off by
  // default: the order of calls made on two threads may differ between runs.
  void WriteOnAnyThread(bool on) { writesOnAnyThread_ = on; }
  bool WritesOnAnyThread() const { return writesOnAnyThread_; }
  // Counted calls since construction or the last Arm.
  long Calls() const { return calls_; }
  // True once the armed call has been reached.
  bool Triggered() const { return triggered_; }
  // A description of the call that failed ("Rename C:\x -> C:\y").
  const std::string& FailedCall() const { return failedCall_; }

  // Counts a call and says whether it must fail. Used by the file wrapper.
  bool ShouldFail(const std::string& what);

  std::unique_ptr<env::TFile> Open(std::string_view path, env::TOpenMode mode) override;
  bool FileExists(std::string_view path) override { return base_.FileExists(path); }
  bool FolderExists(std::string_view path) override { return base_.FolderExists(path); }
  std::optional<std::uint32_t> Attributes(std::string_view path) override { return base_.Attributes(path); }
  env::TIoResult SetAttributes(std::string_view path, std::uint32_t bits) override;
  env::TIoResult Rename(std::string_view from, std::string_view to, bool replace) override;
  env::TIoResult Remove(std::string_view path) override;
  env::TIoResult MakeFolder(std::string_view path) override;
  env::TIoResult RemoveFolder(std::string_view path) override;
  env::TIoResult SyncFolder(std::string_view path) override;
  std::vector<env::TFindEntry> Find(std::string_view pattern, std::uint32_t mask) override {
    return base_.Find(pattern, mask);
  }
  std::optional<std::int64_t> ModifiedTime(std::string_view path) override { return base_.ModifiedTime(path); }
  env::TIoResult SetModifiedTime(std::string_view path, std::int64_t unixSeconds) override;
  std::string TempFolder() override { return base_.TempFolder(); }

 private:
  env::TFileSystem& base_;
  std::mutex mutex_;  // the counts, for calls made on a write thread
  bool writesOnAnyThread_ = false;
  long calls_ = 0;
  long armedAt_ = 0;
  TFault fault_ = TFault::kFail;
  bool triggered_ = false;
  std::string failedCall_;
  std::string armedCall_;
};

// Runs change with faults installed. change calls the arm it is given where
// counting should begin, so that the nth counted call from there fails as
// fault says. An engine error is the expected outcome of a failure and is
// swallowed. Returns whether the armed call was reached; faults is disarmed
// and uninstalled on return.
bool RunFaulted(TFaultFileSystem& faults, long nth, TFault fault,
                const std::function<void(const std::function<void()>& arm)>& change);

// Checks that folder holds no file a family commit leaves only while it is
// under way (marker, new and old files).
void ExpectNoCommitLeftovers(const std::string& folder);

// The names of a test parameterised by TFault: "Fail", "Stop".
inline const char* FaultName(const ::testing::TestParamInfo<TFault>& info) {
  return info.param == TFault::kFail ? "Fail" : "Stop";
}

}  // namespace remdo::test

#endif  // REMDO_TESTS_SUPPORT_FAULTFILESYSTEM_H_
