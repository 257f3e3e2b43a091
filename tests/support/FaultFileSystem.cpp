// The fault-injecting file system and its file wrapper.
#include "support/FaultFileSystem.h"

#include "env/Errors.h"

namespace remdo::test {

namespace {

constexpr std::uint32_t kInjectedCode = 0xFA17;
const char* const kInjectedText = "Injected I/O failure";

env::TIoResult Injected() { return env::TIoResult::Failure(kInjectedCode, kInjectedText); }

class TFaultFile final : public env::TFile {
 public:
  TFaultFile(TFaultFileSystem& owner, std::unique_ptr<env::TFile> base) : owner_(owner), base_(std::move(base)) {}

  const std::string& Path() const override { return base_->Path(); }

  std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
    if (owner_.ShouldFail("ReadAt " + Path())) throw env::EReadError(Message("read"));
    return base_->ReadAt(offset, out);
  }
  void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
    if (owner_.ShouldFail("WriteAt " + Path())) throw env::EWriteError(Message("write"));
    base_->WriteAt(offset, data);
  }
  std::uint64_t Size() override {
    if (owner_.ShouldFail("Size " + Path())) throw env::EReadError(Message("read"));
    return base_->Size();
  }
  void Truncate(std::uint64_t size) override {
    if (owner_.ShouldFail("Truncate " + Path())) throw env::EWriteError(Message("write"));
    base_->Truncate(size);
  }
  void Flush() override {
    if (owner_.ShouldFail("Flush " + Path())) throw env::EWriteError(Message("write"));
    base_->Flush();
  }
  void Close() override {
    if (owner_.ShouldFail("Close " + Path())) throw env::EWriteError(Message("close"));
    base_->Close();
  }
  bool WritesOnAnyThread() const override { return owner_.WritesOnAnyThread() && base_->WritesOnAnyThread(); }

 private:
  std::string Message(const char* verb) const {
    return std::string("Cannot ") + verb + " file \"" + Path() + "\". " + kInjectedText;
  }

  TFaultFileSystem& owner_;
  std::unique_ptr<env::TFile> base_;
};

}  // namespace

void TFaultFileSystem::Arm(long nth, TFault fault) {
  const std::lock_guard lock(mutex_);
  calls_ = 0;
  armedAt_ = nth;
  fault_ = fault;
  triggered_ = false;
  failedCall_.clear();
}

void TFaultFileSystem::ArmAtCall(std::string call, TFault fault) {
  Arm(0, fault);
  const std::lock_guard lock(mutex_);
  armedCall_ = std::move(call);
}

void TFaultFileSystem::Disarm() {
  const std::lock_guard lock(mutex_);
  armedAt_ = 0;
  armedCall_.clear();
}

bool TFaultFileSystem::ShouldFail(const std::string& what) {
  const std::lock_guard lock(mutex_);
  ++calls_;
  if (!armedCall_.empty() && !triggered_ && what.starts_with(armedCall_)) armedAt_ = calls_;
  if (armedAt_ <= 0) return false;
  if (calls_ == armedAt_) {
    triggered_ = true;
    failedCall_ = what;
    return true;
  }
  return triggered_ && fault_ == TFault::kStop;
}

std::unique_ptr<env::TFile> TFaultFileSystem::Open(std::string_view path, env::TOpenMode mode) {
  if (ShouldFail("Open " + std::string(path))) {
    const std::string text = "\"" + std::string(path) + "\". " + kInjectedText;
    if (mode == env::TOpenMode::kCreate || mode == env::TOpenMode::kCreateNew) {
      throw env::EFCreateError("Cannot create file " + text);
    }
    throw env::EFOpenError("Cannot open file " + text);
  }
  return std::make_unique<TFaultFile>(*this, base_.Open(path, mode));
}

env::TIoResult TFaultFileSystem::SetAttributes(std::string_view path, std::uint32_t bits) {
  if (ShouldFail("SetAttributes " + std::string(path))) return Injected();
  return base_.SetAttributes(path, bits);
}

env::TIoResult TFaultFileSystem::Rename(std::string_view from, std::string_view to, bool replace) {
  if (ShouldFail("Rename " + std::string(from) + " -> " + std::string(to))) return Injected();
  return base_.Rename(from, to, replace);
}

env::TIoResult TFaultFileSystem::Remove(std::string_view path) {
  if (ShouldFail("Remove " + std::string(path))) return Injected();
  return base_.Remove(path);
}

env::TIoResult TFaultFileSystem::MakeFolder(std::string_view path) {
  if (ShouldFail("MakeFolder " + std::string(path))) return Injected();
  return base_.MakeFolder(path);
}

env::TIoResult TFaultFileSystem::RemoveFolder(std::string_view path) {
  if (ShouldFail("RemoveFolder " + std::string(path))) return Injected();
  return base_.RemoveFolder(path);
}

env::TIoResult TFaultFileSystem::SyncFolder(std::string_view path) {
  if (ShouldFail("SyncFolder " + std::string(path))) return Injected();
  return base_.SyncFolder(path);
}

env::TIoResult TFaultFileSystem::SetModifiedTime(std::string_view path, std::int64_t unixSeconds) {
  if (ShouldFail("SetModifiedTime " + std::string(path))) return Injected();
  return base_.SetModifiedTime(path, unixSeconds);
}

bool RunFaulted(TFaultFileSystem& faults, long nth, TFault fault,
                const std::function<void(const std::function<void()>& arm)>& change) {
  TInstalledFileSystem installed(faults);
  try {
    change([&] { faults.Arm(nth, fault); });
  } catch (const env::EDBEngineError&) {
  }
  faults.Disarm();
  return faults.Triggered();
}

void ExpectNoCommitLeftovers(const std::string& folder) {
  for (const char* leftover : {"*.commit", "*.new", "*.old"}) {
    EXPECT_TRUE(env::RealFileSystem().Find(folder + leftover, 0).empty()) << leftover;
  }
}

}  // namespace remdo::test
