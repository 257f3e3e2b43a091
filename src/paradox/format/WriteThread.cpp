// The write thread: a job slot, a busy flag and the last job's error, under
// one mutex.
#include "paradox/format/WriteThread.h"

#include <system_error>
#include <utility>

namespace remdo::paradox {

TWriteThread::~TWriteThread() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TWriteThread::Start(std::function<void()> write) {
  {
    const std::lock_guard lock(mutex_);
    job_ = std::move(write);
    busy_ = true;
  }
  if (thread_.joinable()) {
    changed_.notify_all();
    return;
  }
  try {
    thread_ = std::thread(&TWriteThread::Run, this);
  } catch (const std::system_error&) {
    std::function<void()> job;
    {
      const std::lock_guard lock(mutex_);
      job = std::exchange(job_, nullptr);
    }
    RunJob(job);
  }
}

void TWriteThread::RunJob(const std::function<void()>& job) {
  try {
    job();
    Done(nullptr);
  } catch (...) {
    Done(std::current_exception());
  }
}

void TWriteThread::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void TWriteThread::Run() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || job_ != nullptr; });
      if (job_ == nullptr) return;
      job = std::exchange(job_, nullptr);
    }
    RunJob(job);
  }
}

void TWriteThread::Done(std::exception_ptr error) {
  {
    const std::lock_guard lock(mutex_);
    error_ = std::move(error);
    busy_ = false;
  }
  changed_.notify_all();
}

}  // namespace remdo::paradox
