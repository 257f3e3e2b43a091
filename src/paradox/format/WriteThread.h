// One thread that runs a writer's background writes one after another, for
// the writer's whole life: a large file goes out in hundreds of buffers, and
// a thread started for each cost more than some of the writes.
#ifndef REMDO_PARADOX_FORMAT_WRITETHREAD_H_
#define REMDO_PARADOX_FORMAT_WRITETHREAD_H_

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace remdo::paradox {

class TWriteThread {
 public:
  TWriteThread() = default;
  // Waits for the write under way; its error, if any, is dropped.
  ~TWriteThread();
  TWriteThread(const TWriteThread&) = delete;
  TWriteThread& operator=(const TWriteThread&) = delete;

  // Runs write on the thread (started by the first call). Call Wait first
  // if a write may be under way. Without a thread to be had, writes here.
  void Start(std::function<void()> write);
  // Waits for the write under way, if any, and throws the error it threw.
  void Wait();

 private:
  void Run();
  // Runs one job and records its outcome.
  void RunJob(const std::function<void()>& job);
  void Done(std::exception_ptr error);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;  // waiting for the thread
  bool busy_ = false;          // a write handed over and not yet done
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;  // last: it uses the members above
};

}  // namespace remdo::paradox

#endif  // REMDO_PARADOX_FORMAT_WRITETHREAD_H_
