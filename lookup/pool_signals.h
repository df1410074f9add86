// PoolSignals: the two signals a TaskPool worker waits on, behind one
// mutex and one condition variable.
//
//   task signal  counting; one count per submitted task
//   stop signal  stays set once set; workers empty the queue and end
//
// Wait() reports exactly one signal. When both are ready it reports the
// task signal and takes one count from it; the stop signal is never
// consumed.
//
// Threads: every member may be called from any thread.
#pragma once

#include <condition_variable>
#include <mutex>

namespace quorvo {

enum class PoolSignal { Task, Stop };

class PoolSignals {
 public:
  void ReleaseTask() {
    {
      std::lock_guard lock(mutex_);
      // The semaphore is created with the maximum count 0x7FFFFFFF; a
      // release beyond it is refused, as the platform's semaphores refuse it.
      if (tasks_ == 0x7FFFFFFF) return;
      ++tasks_;
    }
    ready_.notify_one();
  }
  void SetStop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    ready_.notify_all();
  }

  // Blocks until a signal is ready; the one reported.
  PoolSignal Wait() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return tasks_ > 0 || stop_; });
    if (tasks_ > 0) {
      --tasks_;
      return PoolSignal::Task;
    }
    return PoolSignal::Stop;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  int tasks_ = 0;      // guarded by mutex_
  bool stop_ = false;  // guarded by mutex_
};

}  // namespace quorvo
